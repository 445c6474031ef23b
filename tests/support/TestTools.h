#pragma once
// Small helpers shared by every test program: temporary folders, whole-file
// reads and writes, running external checkers, the corpus of real PDF files.

#include <functional>
#include <string>
#include <vector>

// A fresh folder under the system's temporary directory, removed with all its
// content when the object goes away.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path() const;
    std::string file(const std::string& name) const;   // path() + "/" + name
private:
    std::string path_;
};

// The names below `folder` (folders too; with `recursive`, paths relative to it), sorted.
std::vector<std::string> filesIn(const std::string& folder, bool recursive = false);

// Both throw std::runtime_error when the file cannot be read or written.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Runs the command through the shell; output holds its standard output and
// standard error together. status is the exit status, or -1 when the command
// could not be run or did not exit normally.
struct CommandResult {
    int status;
    std::string output;
};
CommandResult runCommand(const std::string& command);

// Wraps a path in single quotes for the shell.
std::string shellQuote(const std::string& text);

// Real PDF files of other programs live outside the project: in the folder QUILLMOR_CORPUS names, or by
// default in ../shared/corpus beside the source folder. Without it the tests that read them skip.
std::string corpusFolder();
std::vector<std::string> corpusFiles();          // sorted full paths of the corpus's *.pdf, or none
std::string noCorpusNote();                      // the line a skipped test gives: where the corpus is looked for
#define SKIP_WITHOUT_CORPUS() \
    if (corpusFiles().empty()) GTEST_SKIP() << noCorpusNote()

// Calls judge(i, folder) for every i below count on two workers (the machines have two cores), each
// call with a fresh empty folder. Returns the non-empty answers, sorted.
std::vector<std::string> judgeInParallel(size_t count,
                                         const std::function<std::string(size_t, const std::string&)>& judge);
bool haveTool(const char* name);                 // e.g. haveTool("qpdf"); skip (GTEST_SKIP) when absent

// A page drawn by mutool in gray, one byte a pixel, row by row.
struct Image {
    int width = 0, height = 0;
    std::string gray;
    int at(int x, int y) const { return static_cast<unsigned char>(gray[static_cast<size_t>(y) * width + x]); }
    bool operator==(const Image& other) const {
        return width == other.width && height == other.height && gray == other.gray;
    }
};
// The pages of `pdf` (a mutool page list, "" for all) drawn at `resolution` pixels per inch, in page
// order; none when mutool cannot draw them. render: one page, or an empty image.
std::vector<Image> drawPages(const std::string& pdf, int resolution, const std::string& pages = "",
                             const std::string& password = "");
Image render(const std::string& pdf, int resolution, int page);

// zlib format (RFC 1950) compression and decompression, for fixtures and checks.
// inflateBytes throws std::runtime_error on malformed input.
std::string deflateBytes(const std::string& data);
std::string inflateBytes(const std::string& data);
