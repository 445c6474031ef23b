// "-" for the input and the output: a resize in a pipeline, and nothing but the PDF on standard output.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "tests/integration/Jobs.h"
#include "tests/support/GeneratedPdfs.h"
#include "tests/support/PdfBuilder.h"

namespace {

namespace fs = std::filesystem;

std::string program() { return shellQuote(QUILLMOR_BINARY); }

// The folder the copy of standard input goes to, so that a test sees what a run left there.
std::string withTemporaryFolder(const TempDir& dir) { return "TMPDIR=" + shellQuote(dir.file("tmp")) + " "; }

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
        if (large) {
            writeFile(dir.file("in.pdf"), buildSimpleDocument(40, "", 8192));
        } else {
            fs::copy_file(input, dir.file("in.pdf"));
        }
        ASSERT_EQ(inFolder(dir.path(), std::string("in.pdf named.pdf ") + options).status, 0);
        std::string command = line;
        command.replace(command.find(" O "), 3, std::string(" ") + options + " 2> console.txt ");
        command.replace(command.find('Q'), 1, withTemporaryFolder(dir) + program());
        const CommandResult piped = runCommand("cd " + shellQuote(dir.path()) + " && " + command);
        EXPECT_EQ(piped.status, 0) << readFile(dir.file("console.txt"));
        EXPECT_TRUE(readFile(dir.file("piped.pdf")) == readFile(dir.file("named.pdf"))) << "the piped bytes differ";
        // Every message went to standard error, and the copy of standard input is gone.
        EXPECT_NE(readFile(dir.file("console.txt")).find("output file: '-'\n"), std::string::npos);
        EXPECT_TRUE(fs::is_empty(dir.file("tmp")));
    }
}

TEST(StandardStreams, AFailedOrStoppedJobLeavesNoCopyOfStandardInput) {
    TempDir dir;
    fs::create_directory(dir.file("tmp"));
    const CommandResult junk = runCommand("echo junk | " + withTemporaryFolder(dir) + program() + " - " +
                                          shellQuote(dir.file("out.pdf")) + " -scale50");
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.output.find("Input file: '-'"), std::string::npos) << junk.output;
    EXPECT_FALSE(fs::exists(dir.file("out.pdf")));
    EXPECT_TRUE(fs::is_empty(dir.file("tmp")));

    // A writer that keeps the pipe open holds the job in its copy of standard input; a signal ends it there.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(pipeEnds[0], STDIN_FILENO);
        ::close(pipeEnds[1]);
        ::setenv("TMPDIR", dir.file("tmp").c_str(), 1);
        ::signal(SIGTERM, SIG_DFL);
        ::execl(QUILLMOR_BINARY, "quillmor", "-", "-", "-scale50", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[0]);
    ASSERT_EQ(::write(pipeEnds[1], "%PDF-1.4\n", 9), 9);
    while (fs::is_empty(dir.file("tmp")) && ::waitpid(pid, nullptr, WNOHANG) == 0) {}
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(pipeEnds[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(fs::is_empty(dir.file("tmp")));
}

}  // namespace
