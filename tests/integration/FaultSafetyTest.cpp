// A job that is killed, interrupted or runs out of disk loses nothing and leaves nothing behind; "-" for the input
// and the output: a resize in a pipeline, and nothing but the PDF on standard output.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "tests/integration/Jobs.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kShellSignalBase = 128;
constexpr size_t kPageBytes = 10000;  // text on every page, so that a job runs for a while

// Starts `command` through the shell with the handled signals at their default action (a test run in the
// background would pass SIGINT on ignored).
pid_t launch(const std::string& command) {
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, number);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, "/bin/sh", nullptr, &attributes, const_cast<char**>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    return failed ? -1 : pid;
}

const std::string kProgram = shellQuote(QUILLMOR_BINARY);

std::string job(const std::string& input, const std::string& output) {
    return "exec " + kProgram + " " + shellQuote(input) + " " + shellQuote(output) +
           " -scale50 > /dev/null";
}

// The status as a shell reports it: the exit status, or 128 + the signal that ended the process.
int shellStatus(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFSIGNALED(status) ? kShellSignalBase + WTERMSIG(status) : WEXITSTATUS(status);
}

// Starts `command` and sends it the signal once `ready` holds: its status, or -1 when it ended first.
template <typename Ready>
int signalWhen(const std::string& command, Ready ready, int signalNumber) {
    const pid_t pid = launch(command);
    while (!ready()) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return -1;
    }
    ::kill(pid, signalNumber);
    return shellStatus(pid);
}

class FaultSafety : public testing::Test {
protected:
    static const std::string& original() {
        static const std::string bytes = buildSimpleDocument(1000, "", kPageBytes);
        return bytes;
    }
    TempDir dir_;
};

TEST_F(FaultSafety, SigkillDuringAnInPlaceJobLeavesTheOriginalOrTheWholeResult) {
    const std::string file = dir_.file("doc.pdf");
    writeFile(file, original());
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(shellStatus(launch(job(file, file))), 0);
    const auto duration = Clock::now() - start;
    const std::string result = readFile(file);
    ASSERT_NE(result, original());
    if (haveTool("qpdf")) {
        EXPECT_EQ(runCommand("qpdf --check " + shellQuote(file)).status, 0);
        EXPECT_EQ(runCommand("qpdf --show-npages " + shellQuote(file)).output, "1000\n");
    }

    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto microseconds = std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
    std::uniform_int_distribution<long long> moment(0, microseconds);
    int midWrite = 0;
    for (int kill = 0; kill < 20; ++kill) {
        writeFile(file, original());
        const pid_t pid = launch(job(file, file));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ::kill(pid, SIGKILL);
        shellStatus(pid);
        const std::string now = readFile(file);
        EXPECT_TRUE(now == original() || now == result) << "kill " << kill << ": " << now.size() << " bytes";
        // A temporary file left behind means the kill fell while the result was being written.
        for (const std::string& name : filesIn(dir_.path())) {
            if (name == "doc.pdf") continue;
            ++midWrite;
            fs::remove(dir_.file(name));
        }
    }
    EXPECT_GT(midWrite, 0) << "no kill fell while the output was being written";
}

TEST_F(FaultSafety, HandledSignalsRemoveTheTemporaryFileAndEndWithTheSignalsStatus) {
    const std::string input = dir_.file("in.pdf"), output = dir_.file("out.pdf");
    writeFile(input, original());
    const std::pair<int, int> rows[] = {{SIGTERM, 143}, {SIGINT, 130}, {SIGHUP, 129}, {SIGPIPE, 141}};
    for (const auto& [signalNumber, status] : rows) {
        SCOPED_TRACE("signal " + std::to_string(signalNumber));
        int got = -1;
        for (int attempt = 0; attempt < 5 && got != status; ++attempt) {  // the job may end before the signal
            fs::remove(output);
            got = signalWhen(job(input, output), [&] { return fs::exists(output + ".quillmor-tmp0"); }, signalNumber);
            EXPECT_TRUE(got == status || got == 0 || got == -1) << got;
        }
        EXPECT_EQ(got, status);
        EXPECT_EQ(filesIn(dir_.path()), std::vector<std::string>{"in.pdf"});
    }
}

TEST_F(FaultSafety, ASignalStopsABatchOnceTheCurrentJobHasCleanedUp) {
    writeFile(dir_.file("a.pdf"), original());
    ASSERT_EQ(shellStatus(launch(job(dir_.file("a.pdf"), dir_.file("single.pdf")))), 0);
    fs::create_hard_link(dir_.file("a.pdf"), dir_.file("b.pdf"));
    writeFile(dir_.file("list.txt"), "a.pdf\nb.pdf\na.pdf\n");
    const std::string batch = "cd " + shellQuote(dir_.path()) + " && exec " + kProgram +
                              " list.txt -fout -scale50 -keepgoing > console.txt";
    for (const auto& [signalNumber, status] : {std::pair<int, int>{SIGTERM, 143}, {SIGINT, 130}}) {
        SCOPED_TRACE("signal " + std::to_string(signalNumber));
        // The job may end before the signal comes: a few tries find it at work.
        int got = -1;
        for (int attempt = 0; attempt < 5 && (got != status || fs::exists(dir_.file("out/b.pdf"))); ++attempt) {
            fs::remove_all(dir_.file("out"));
            got = signalWhen(batch, [&] { return fs::exists(dir_.file("out/b.pdf.quillmor-tmp0")); }, signalNumber);
        }
        // The finished output stays; the current job's file goes, and the list ends there.
        EXPECT_EQ(got, status);
        EXPECT_EQ(filesIn(dir_.file("out")), std::vector<std::string>{"a.pdf"});
        EXPECT_EQ(readFile(dir_.file("out/a.pdf")), readFile(dir_.file("single.pdf")));
        const std::string console = readFile(dir_.file("console.txt"));
        EXPECT_NE(console.find("\r\n1 of 2 files resized, stopped by signal " + std::to_string(signalNumber) +
                               " after line 2 of the list\r\nNot resized: 'b.pdf'\r\n"),
                  std::string::npos) << console;
    }
}

TEST_F(FaultSafety, FullFileSystemGivesTheWriteErrorAndNoFile) {
    if (!haveTool("unshare")) GTEST_SKIP() << "unshare is missing: the full file system is not tried";
    const std::string small = dir_.file("small"), input = dir_.file("in.pdf");
    fs::create_directory(small);
    writeFile(input, buildSimpleDocument(60, "", kPageBytes));  // one copy fits into the file system, two do not
    const std::string& program = kProgram;
    const std::string doc = shellQuote(small + "/doc.pdf");
    const std::string script = "mount -t tmpfs -o size=1m none " + shellQuote(small) + " || exit 77; cp " +
                               shellQuote(input) + " " + doc + "; " + program + " " + shellQuote(input) + " " +
                               shellQuote(small + "/new.pdf") + " -scale50; echo \" status $?\"; " + program + " " +
                               doc + " " + doc + " -scale50; echo \" status $?\"; cmp -s " + shellQuote(input) + " " +
                               doc + " && echo unchanged; ls -A " + shellQuote(small);
    const CommandResult run = runCommand("unshare -rm sh -c " + shellQuote(script));
    if (run.status == 77 || run.output.find(" status ") == std::string::npos)
        GTEST_SKIP() << "no tmpfs could be mounted here: " << run.output;
    // The new name is never made; the file replaced in place keeps its old content.
    const std::string failed = "\nOutput file write error\n status 1\n";
    const size_t first = run.output.find(failed);
    EXPECT_NE(first, std::string::npos) << run.output;
    EXPECT_NE(run.output.find(failed + "unchanged\ndoc.pdf\n", first + 1), std::string::npos) << run.output;
}

TEST(StandardStreams, APipedResizeGivesTheBytesOfTheNamedOne) {
    // input, options, and the command line with Q for the program and O for the options.
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {"classic", "-page a4", "cat in.pdf | Q - - O > piped.pdf"},
        {"junk-crlf", "-scale50 -incremental", "cat in.pdf | Q - - O > piped.pdf"},
        {"qpdf-aes-128", "-pageL letter -con -center -s2-3", "Q - - O < in.pdf > piped.pdf"},
        // The input's bytes go through a pipe too, not only into a file.
        {"incremental", "-scalex150 -incremental", "Q in.pdf - O | cat > piped.pdf"},
        // More than a pipe holds, copied from the input straight into the pipe.
        {"large", "-scale50", "Q in.pdf - O | cat > piped.pdf"},
    };
    for (const auto& [name, options, line] : rows) {
        SCOPED_TRACE(line + " " + options + " on " + name);
        const bool large = std::string(name) == "large";
        const std::string input = large ? "" : generatedPdf(name);
        if (!large && input.empty()) continue;  // made by qpdf, which is missing
        TempDir dir;
        fs::create_directory(dir.file("tmp"));
        writeFile(dir.file("in.pdf"), large ? buildSimpleDocument(40, "", 8192) : readFile(input));
        ASSERT_EQ(inFolder(dir.path(), std::string("in.pdf named.pdf ") + options).status, 0);
        std::string command = line;
        command.replace(command.find(" O "), 3, std::string(" ") + options + " 2> console.txt ");
        command.replace(command.find('Q'), 1, "TMPDIR=tmp " + kProgram);
        const CommandResult piped = runCommand("cd " + shellQuote(dir.path()) + " && " + command);
        EXPECT_EQ(piped.status, 0) << readFile(dir.file("console.txt"));
        EXPECT_TRUE(readFile(dir.file("piped.pdf")) == readFile(dir.file("named.pdf"))) << "the piped bytes differ";
        // Every message went to standard error, and the copy of standard input is gone.
        EXPECT_NE(readFile(dir.file("console.txt")).find("output file: '-'\n"), std::string::npos);
        EXPECT_TRUE(fs::is_empty(dir.file("tmp")));
    }
}

TEST_F(FaultSafety, AFailedOrStoppedJobLeavesNoCopyOfStandardInput) {
    const std::string tmp = dir_.file("tmp"), fifo = dir_.file("fifo");
    fs::create_directory(tmp);
    const CommandResult junk = runCommand("echo junk | TMPDIR=" + shellQuote(tmp) + " " + kProgram + " - " +
                                          shellQuote(dir_.file("out.pdf")) + " -scale50");
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.output.find("Input file: '-'"), std::string::npos) << junk.output;
    EXPECT_FALSE(fs::exists(dir_.file("out.pdf")));
    EXPECT_TRUE(fs::is_empty(tmp));
    // A writer that keeps the pipe open holds the job in its copy of standard input; a signal ends it there.
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR);  // open for reading too: no wait for the job's end
    ASSERT_EQ(::write(writer, "%PDF-1.4\n", 9), 9);
    const std::string command = "exec env TMPDIR=" + shellQuote(tmp) + " " + kProgram + " - - -scale50 < " +
                                shellQuote(fifo) + " > /dev/null";
    EXPECT_EQ(signalWhen(command, [&] { return !fs::is_empty(tmp); }, SIGTERM), kShellSignalBase + SIGTERM);
    ::close(writer);
    EXPECT_TRUE(fs::is_empty(tmp));
}

}  // namespace
