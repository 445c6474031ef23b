// Replays every input that once broke a fuzz target; each must now run to its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzTargets.h"

namespace {

using FuzzEntry = void (*)(const uint8_t*, size_t);

std::vector<std::filesystem::path> regressionInputs(const std::string& target) {
    std::vector<std::filesystem::path> inputs;
    const std::filesystem::path folder = std::filesystem::path(QUILLMOR_SOURCE_DIR) / "fuzz" / "regressions" / target;
    if (!std::filesystem::is_directory(folder)) return inputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().filename() != ".keep") inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

void replay(const std::string& target, FuzzEntry entry) {
    for (const auto& path : regressionInputs(target)) {
        SCOPED_TRACE(path.string());
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        entry(bytes.data(), bytes.size());
    }
}

}  // namespace

// A crash, a sanitizer report or an exception other than CPdfException fails the run.
TEST(FuzzRegressions, ParserInputsRunToTheirEnd) { replay("parser", fuzzParser); }
TEST(FuzzRegressions, FlateInputsRunToTheirEnd) { replay("flate", fuzzFlate); }
TEST(FuzzRegressions, DocumentInputsRunToTheirEnd) { replay("document", fuzzDocument); }
TEST(FuzzRegressions, ResizeInputsRunToTheirEnd) { replay("resize", fuzzResize); }
