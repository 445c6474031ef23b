#pragma once
// Helpers every test program shares: temporary folders, whole files, external checkers, the corpus.

#include <functional>
#include <string>
#include <vector>

// A fresh folder under the system's temporary directory, removed with its content.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
private:
    std::string path_;
};

std::vector<std::string> filesIn(const std::string& folder, bool recursive = false);  // relative paths, sorted
std::string readFile(const std::string& path);  // both throw std::runtime_error on failure
void writeFile(const std::string& path, const std::string& bytes);

// Standard output and error together; status -1 when the command did not run or exit normally.
struct CommandResult {
    int status;
    std::string output;
};
CommandResult runCommand(const std::string& command);
std::string shellQuote(const std::string& text);
bool haveTool(const char* name);

// Real PDFs of other programs: in the folder QUILLMOR_CORPUS names, by default ../shared/corpus beside
// the sources. Without them the tests that read them skip with noCorpusNote().
std::string corpusFolder();
std::vector<std::string> corpusFiles();  // sorted full paths of its *.pdf
std::string noCorpusNote();
#define SKIP_WITHOUT_CORPUS() \
    if (corpusFiles().empty()) GTEST_SKIP() << noCorpusNote()

// judge(i, fresh empty folder) for every i below count on two workers; the non-empty answers, sorted.
std::vector<std::string> judgeInParallel(size_t count,
                                         const std::function<std::string(size_t, const std::string&)>& judge);

// A page drawn by mutool in gray, one byte a pixel, row by row.
struct Image {
    int width = 0, height = 0;
    std::string gray;
    int at(int x, int y) const { return static_cast<unsigned char>(gray[static_cast<size_t>(y) * width + x]); }
    bool operator==(const Image& other) const {
        return width == other.width && height == other.height && gray == other.gray;
    }
};
// The pages of `pdf` (a mutool page list, "" for all) in order; none when mutool cannot draw them.
std::vector<Image> drawPages(const std::string& pdf, int resolution, const std::string& pages = "",
                             const std::string& password = "");
Image render(const std::string& pdf, int resolution, int page);  // empty when it cannot be drawn

// zlib format; inflateBytes throws std::runtime_error on malformed input.
std::string deflateBytes(const std::string& data);
std::string inflateBytes(const std::string& data);
