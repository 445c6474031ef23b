#include "tests/support/TestTools.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quillmor-test-XXXXXX").string();
    if (!mkdtemp(&pattern[0])) throw std::runtime_error("cannot create a temporary folder from " + pattern);
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;  // a leftover folder is harmless; a throwing destructor is not
    fs::remove_all(path_, ignored);
}

std::vector<std::string> filesIn(const std::string& folder, bool recursive) {
    std::vector<std::string> files;
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it) {
        if (!recursive) it.disable_recursion_pending();
        files.push_back(fs::relative(it->path(), folder));
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (!in || !(bytes << in.rdbuf()) || in.bad()) throw std::runtime_error("cannot read " + path);
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

CommandResult runCommand(const std::string& command) {
    FILE* pipe = popen(("(" + command + ") 2>&1").c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string output;
    char block[4096];
    for (size_t got; (got = fread(block, 1, sizeof block, pipe)) > 0;) output.append(block, got);
    const int raw = pclose(pipe);
    return {raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output};
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string corpusFolder() {
    const char* chosen = std::getenv("QUILLMOR_CORPUS");
    return chosen && *chosen ? chosen : QUILLMOR_SOURCE_DIR "/../shared/corpus";
}

std::string noCorpusNote() {
    return "no corpus of real PDF files in " + corpusFolder() + " (set QUILLMOR_CORPUS to run these checks)";
}

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    std::error_code error;
    for (fs::directory_iterator it(corpusFolder(), error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file() && it->path().extension() == ".pdf") files.push_back(it->path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> judgeInParallel(size_t count,
                                         const std::function<std::string(size_t, const std::string&)>& judge) {
    TempDir dir;
    std::atomic<size_t> next{0};
    std::mutex lock;
    std::vector<std::string> problems;
    auto work = [&](int worker) {
        const std::string folder = dir.file(std::to_string(worker));
        for (size_t i = next++; i < count; i = next++) {
            fs::create_directory(folder);
            const std::string problem = judge(i, folder);
            fs::remove_all(folder);
            const std::lock_guard<std::mutex> guard(lock);
            if (!problem.empty()) problems.push_back(problem);
        }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    std::sort(problems.begin(), problems.end());
    return problems;
}

bool haveTool(const char* name) { return runCommand("command -v " + shellQuote(name) + " >/dev/null").status == 0; }

std::vector<Image> drawPages(const std::string& pdf, int resolution, const std::string& pages,
                             const std::string& password) {
    TempDir dir;
    if (runCommand("mutool draw -q -r " + std::to_string(resolution) + " -c gray -p " + shellQuote(password) + " -o " +
                   shellQuote(dir.file("%d.pgm")) + " " + shellQuote(pdf) + " " + pages).status != 0) {
        return {};
    }
    std::map<int, std::string> files;  // by page number
    for (const auto& entry : fs::directory_iterator(dir.path())) files[std::stoi(entry.path().stem())] = entry.path();
    std::vector<Image> images;
    for (const auto& [page, file] : files) {
        std::istringstream in(readFile(file));  // binary PGM: "P5", width, height, maximum, one space, the pixels
        std::string magic;
        int maximum = 0;
        Image image;
        in >> magic >> image.width >> image.height >> maximum, in.get();
        image.gray.assign(std::istreambuf_iterator<char>(in), {});
        if (magic != "P5" || image.gray.size() != static_cast<size_t>(image.width) * image.height) return {};
        images.push_back(std::move(image));
    }
    return images;
}

Image render(const std::string& pdf, int resolution, int page) {
    const std::vector<Image> images = drawPages(pdf, resolution, std::to_string(page));
    return images.size() == 1 ? images[0] : Image();
}

std::string deflateBytes(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    return packed.substr(0, size);
}

std::string inflateBytes(const std::string& data) {
    // Z_BUF_ERROR only when the output did not fit; cut or damaged data is Z_DATA_ERROR.
    for (uLongf capacity = 4 * data.size() + 1024;; capacity *= 4) {
        std::string out(capacity, '\0');
        uLongf size = capacity;
        const int status = uncompress(reinterpret_cast<Bytef*>(&out[0]), &size,
                                      reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()));
        if (status == Z_OK) return out.substr(0, size);
        if (status != Z_BUF_ERROR) throw std::runtime_error("malformed zlib data");
    }
}
