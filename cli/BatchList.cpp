#include "cli/BatchList.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "pdf/objects/PdfException.h"
#include "platform/SignalCleanup.h"

namespace {

constexpr std::size_t listSuffixLength = 4;  // ".txt" and its kin
constexpr char listSuffixStart[] = ".tx";
constexpr char folderPrefix[] = "-f";
constexpr std::size_t folderPrefixLength = sizeof folderPrefix - 1;
constexpr int inputFileIndex = 1;
constexpr int outputFileIndex = 2;
constexpr int firstOptionIndex = 3;
constexpr int reportInputIndex = 2;  // after the report option
// The summary names this many failed lines at most, then counts the rest.
constexpr std::size_t namedFailures = 20;
// A line is read in pieces of at most this many characters, each piece taken as a line.
constexpr std::size_t lineBufferSize = 255;

constexpr char standardInputListMessage[] =
    "A list file cannot be standard input ('-'): give the name of the list file, e.g. quillmor list.txt -fout\n";
constexpr char missingFolderMessage[] = "please specify -f for output folder, e.g. -fc:\\test\n";
constexpr char doneMessage[] = "\nDone.\n";
constexpr char unexpectedMessage[] = "Unexpected exception\n";
constexpr char parentFolder[] = "..";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Gives the list's lines, cut at the first carriage return or line feed. A line longer than
// the buffer comes in pieces, each taken as a line; only the end of such a line, when it falls
// alone into a piece of its own, is not a line (it would give an empty name and stop the batch).
class ListFileReader {
public:
    explicit ListFileReader(FileHandle file) : file_(std::move(file)) {}

    bool readLine(std::string& line) {
        for (;;) {
            buffer_.fill('\0');
            if (std::fgets(buffer_.data(), static_cast<int>(buffer_.size()), file_.get()) == nullptr) {
                return false;
            }
            const char* piece = buffer_.data();
            const bool continuesLine = lineOpen_;
            lineOpen_ = std::memchr(piece, '\n', buffer_.size()) == nullptr;
            if (continuesLine && isLineEndOnly(piece)) {
                continue;
            }
            line.assign(piece, std::strcspn(piece, "\r\n"));
            return true;
        }
    }

    bool failed() const { return std::ferror(file_.get()) != 0; }

private:
    static bool isLineEndOnly(const char* piece) {
        return piece[0] != '\0' && piece[std::strspn(piece, "\r\n")] == '\0';
    }

    FileHandle file_;
    std::array<char, lineBufferSize> buffer_{};
    bool lineOpen_ = false;  // the last piece did not reach the end of its line
};

// The folders of one list line below the output folder, made as mkdir -p makes them. Those it
// made go again (when still empty) unless the job kept them: a failed job leaves no new folder.
class LineFolders {
public:
    LineFolders(const std::string& outputFolder, const std::string& relativeName) {
        std::string path = outputFolder;
        for (std::size_t start = 0, slash; (slash = relativeName.find('/', start)) != std::string::npos;
             start = slash + 1) {
            const std::string part = relativeName.substr(start, slash - start);
            if (part.empty() || part == ".") continue;
            path += "/" + part;
            std::error_code error;
            if (std::filesystem::create_directory(path, error)) made_.push_back(path);
        }
    }
    ~LineFolders() {
        if (kept_) return;
        std::error_code ignored;
        for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) std::filesystem::remove(*folder, ignored);
    }
    LineFolders(const LineFolders&) = delete;
    LineFolders& operator=(const LineFolders&) = delete;

    void keep() { kept_ = true; }

private:
    std::vector<std::string> made_;
    bool kept_ = false;
};

// What a batch did, for the summary line and the names of the lines that failed.
class BatchSummary {
public:
    void startLine() { ++lineNumber_; }
    void resized() { ++resized_; }
    void failed(const std::string& line) {
        if (failed_.size() < namedFailures) failed_.push_back(line);
        ++failures_;
    }
    bool allResized() const { return failures_ == 0; }

    void print(int signalNumber) const {
        std::printf("\r\n%zu of %zu files resized", resized_, resized_ + failures_);
        if (signalNumber != 0) {
            std::printf(", stopped by signal %d after line %zu of the list", signalNumber, lineNumber_);
        }
        std::fputs("\r\n", stdout);
        for (const std::string& line : failed_) std::printf("Not resized: '%s'\r\n", line.c_str());
        if (failures_ > failed_.size()) std::printf("... and %zu more not resized\r\n", failures_ - failed_.size());
    }

private:
    std::size_t lineNumber_ = 0;
    std::size_t resized_ = 0;
    std::size_t failures_ = 0;
    std::vector<std::string> failed_;
};

// While a list runs, a signal is recorded rather than acted on at once (the handler still removes
// the current job's temporary file): the job stops at its next write, and the batch after it.
struct RecordedSignals {
    RecordedSignals() { SignalCleanup::install(SignalCleanup::Response::record); }
    ~RecordedSignals() { SignalCleanup::install(SignalCleanup::Response::endProcess); }
    RecordedSignals(const RecordedSignals&) = delete;
    RecordedSignals& operator=(const RecordedSignals&) = delete;
};

// A job's message, on a line of its own: the next job's lines follow it.
void printMessage(const std::string& message) {
    std::fputs(message.c_str(), stdout);
    if (message.empty() || message.back() != '\n') std::fputs("\n", stdout);
}

bool hasOption(int argumentCount, const char* const* arguments, const char* option) {
    for (int index = firstOptionIndex; index < argumentCount; ++index) {
        if (std::strcmp(arguments[index], option) == 0) return true;
    }
    return false;
}

// A ".." part would take the output out of the output folder.
bool leavesFolder(const std::string& relativeName) {
    for (std::size_t start = 0; start <= relativeName.size();) {
        const std::size_t end = std::min(relativeName.find('/', start), relativeName.size());
        if (relativeName.compare(start, end - start, parentFolder) == 0) return true;
        start = end + 1;
    }
    return false;
}

// A line names a file, also a line "-", which as an argument would be standard input.
std::string listedFile(const std::string& line) { return line == "-" ? "./-" : line; }

// One line's job: its output is the folder, "/" and the line, mirrored below the folder even when
// the line is an absolute path. Throws what the job throws.
void runLine(const std::string& line, const std::string& folder, std::vector<const char*>& jobArguments,
             const JobRunner& runJob) {
    const std::string relativeName = line.substr(std::min(line.find_first_not_of('/'), line.size()));
    if (leavesFolder(relativeName)) {
        throw CPdfException("\nList line refused, its '..' would lead out of the output folder: '" + line + "'\r\n");
    }
    const std::string outputName = folder + "/" + relativeName;
    LineFolders folders(folder, relativeName);
    const std::string input = listedFile(line);
    jobArguments[inputFileIndex] = input.c_str();
    jobArguments[outputFileIndex] = outputName.c_str();
    runJob(static_cast<int>(jobArguments.size()), jobArguments.data());
    folders.keep();
    std::fputs(doneMessage, stdout);
}

// The folder of "-f<folder>", or false when the argument gives none. An empty folder is refused
// too: it would send every output to the root of the file system.
bool readFolder(const char* argument, std::string& folder) {
    if (argument == nullptr || std::strncmp(argument, folderPrefix, folderPrefixLength) != 0) {
        return false;
    }
    folder = argument + folderPrefixLength;
    return !folder.empty();
}

}  // namespace

bool isListFileName(const char* name) {
    const std::size_t length = std::strlen(name);
    if (length <= listSuffixLength) {
        return true;
    }
    return std::strncmp(name + length - listSuffixLength, listSuffixStart, sizeof listSuffixStart - 1) == 0;
}

int runReportList(const char* listName, int argumentCount, const char* const* arguments, const JobRunner& runReport) {
    if (!isListFileName(listName) || std::strcmp(listName, "-") == 0) return batchNotAList;
    FileHandle file(std::fopen(listName, "rb"));
    if (!file) {
        std::printf("Unable to open file list: '%s'\r\n", listName);
        return batchNotStarted;
    }
    ListFileReader reader(std::move(file));
    std::vector<const char*> reportArguments(arguments, arguments + argumentCount);
    std::string line;
    while (reader.readLine(line)) {
        const std::string input = listedFile(line);
        reportArguments[reportInputIndex] = input.c_str();
        runReport(argumentCount, reportArguments.data());
    }
    if (reader.failed()) throw CPdfException("Unable to read file list: '" + std::string(listName) + "'\r\n");
    return batchFinished;
}

int runBatchList(const char* firstArgument, const char* secondArgument, int argumentCount,
                 const char* const* arguments, const JobRunner& runJob) {
    if (firstArgument == nullptr || !isListFileName(firstArgument)) {
        return batchNotAList;
    }
    std::string folder;
    // "-" is standard input, which holds a PDF: a list must be a file of its own. Only an output
    // folder after it says that a list was meant.
    if (std::strcmp(firstArgument, "-") == 0) {
        if (!readFolder(secondArgument, folder)) return batchNotAList;
        std::fputs(standardInputListMessage, stdout);
        return batchNotStarted;
    }
    if (argumentCount <= outputFileIndex || !readFolder(secondArgument, folder)) {
        std::fputs(missingFolderMessage, stdout);
        return batchNotStarted;
    }
    // An existing folder is fine; one that cannot be made shows up as the first job's output error.
    std::error_code ignored;
    std::filesystem::create_directory(folder, ignored);

    FileHandle file(std::fopen(firstArgument, "rb"));
    if (!file) {
        std::printf("Unable to open file list: '%s'\r\n", firstArgument);
        return batchNotStarted;
    }
    ListFileReader reader(std::move(file));
    const bool keepGoing = hasOption(argumentCount, arguments, keepGoingOption);
    std::vector<const char*> jobArguments(arguments, arguments + argumentCount);
    BatchSummary summary;
    {
        const RecordedSignals recorded;
        std::string line;
        while (SignalCleanup::receivedSignal() == 0 && reader.readLine(line)) {
            summary.startLine();
            if (keepGoing && line.empty()) continue;
            try {
                runLine(line, folder, jobArguments, runJob);
                summary.resized();
            } catch (const CPdfException& error) {
                if (!keepGoing && SignalCleanup::receivedSignal() == 0) throw;
                printMessage(error.getMessage());
                summary.failed(line);
            } catch (...) {
                if (!keepGoing) throw;
                std::fputs(unexpectedMessage, stdout);
                summary.failed(line);
            }
        }
    }
    const int signalNumber = SignalCleanup::receivedSignal();
    if (keepGoing || signalNumber != 0) summary.print(signalNumber);
    SignalCleanup::endIfSignalled();
    // A read error must not pass for the end of the list (a folder opens like a file, for one).
    if (reader.failed()) {
        throw CPdfException("Unable to read file list: '" + std::string(firstArgument) + "'\r\n");
    }
    return summary.allResized() ? batchFinished : batchFailed;
}
