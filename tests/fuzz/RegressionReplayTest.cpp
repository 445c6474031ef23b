// Replays every input that once broke a fuzz target; each must now run to its end.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "fuzz/FuzzTargets.h"
#include "tests/support/TestTools.h"

// A crash, a sanitizer report or an exception other than CPdfException fails the run.
TEST(FuzzRegressions, EveryInputRunsToItsEnd) {
    namespace fs = std::filesystem;
    const std::pair<const char*, void (*)(const uint8_t*, size_t)> targets[] = {
        {"parser", fuzzParser}, {"flate", fuzzFlate}, {"document", fuzzDocument}, {"resize", fuzzResize}, {"jobs", fuzzJobs},
        {"aes256", fuzzAes256}, {"repair", fuzzRepair}};
    int replayed = 0;
    for (const auto& [name, target] : targets) {
        const fs::path folder = fs::path(QUILLMOR_SOURCE_DIR) / "fuzz" / "regressions" / name;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().filename() == ".keep") continue;
            SCOPED_TRACE(entry.path().string());
            const std::string bytes = readFile(entry.path().string());
            target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << "no regression inputs found: the folder moved?";
}
