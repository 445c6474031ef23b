#include "cli/BatchList.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "pdf/objects/PdfException.h"

namespace {

constexpr std::size_t listSuffixLength = 4;  // ".txt" and its kin
constexpr char listSuffixStart[] = ".tx";
constexpr char folderPrefix[] = "-f";
constexpr std::size_t folderPrefixLength = sizeof folderPrefix - 1;
constexpr int inputFileIndex = 1;
constexpr int outputFileIndex = 2;
// A line is read in pieces of at most this many characters, each piece taken as a line.
constexpr std::size_t lineBufferSize = 255;

constexpr char missingFolderMessage[] = "please specify -f for output folder, e.g. -fc:\\test\n";
constexpr char doneMessage[] = "\nDone.\n";

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

int runBatchList(const char* firstArgument, const char* secondArgument, int argumentCount,
                 const char* const* arguments, const JobRunner& runJob) {
    if (firstArgument == nullptr || !isListFileName(firstArgument)) {
        return batchNotAList;
    }
    std::string folder;
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
    std::vector<const char*> jobArguments(arguments, arguments + argumentCount);
    std::string inputName;
    std::string outputName;
    while (reader.readLine(inputName)) {
        outputName = folder + "/" + inputName;
        jobArguments[inputFileIndex] = inputName.c_str();
        jobArguments[outputFileIndex] = outputName.c_str();
        runJob(argumentCount, jobArguments.data());
        std::fputs(doneMessage, stdout);
    }
    // A read error must not pass for the end of the list (a folder opens like a file, for one).
    if (reader.failed()) {
        throw CPdfException("Unable to read file list: '" + std::string(firstArgument) + "'\r\n");
    }
    return batchFinished;
}
