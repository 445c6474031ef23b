// Runs the real program over every PDF of the corpus with the option sets users reach for, and
// has qpdf judge each output: it must be a sound PDF with the input's page count, or the job must
// have failed cleanly (a known message, no output file) for a reason listed below.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestTools.h"

namespace {

// Two workers: the machines that run this have two cores.
constexpr unsigned kWorkers = 2;
// qpdf --check: 0 is clean, 3 means warnings only.
constexpr int kQpdfWarnings = 3;

struct ExpectedFailure {
    const char* file;
    const char* message;  // printed by the program instead of "Done." (the start of it)
    const char* reason;
};

const ExpectedFailure kExpectedFailures[] = {
    {"qpdf__qpdf_qtest_qpdf_bad-encryption-length.pdf", "Encrypted PDF file needs a password",
     "the encryption dictionary has no Length: read as 40 bits, the empty user password does not match"},
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2_U_view_O_view.pdf", "Encrypted PDF file needs a password",
     "opens only with the user password \"view\""},
    {"qpdf__qpdf_qtest_qpdf_enc-XI-R6_V5_O_master.pdf", "Unsupported version/revision of Standard security handler",
     "AES-256 (revision 6) encryption, which the reader does not implement"},
    {"qpdf__qpdf_qtest_qpdf_good8.pdf", "Stream filter not supported",
     "a page's content stream uses a filter other than Flate"},
    {"qpdf__qpdf_qtest_qpdf_object-stream-self-ref.pdf", "Catalog object is wrong type",
     "an object stream that contains itself: the catalog in it cannot be read"},
    {"py-pdf__017-unreadable-meta-data_unreadablemetadata.pdf", "Couldn't parse an xref stream",
     "the newest cross-reference stream is not where startxref points"},
};

// Warnings qpdf may give about an output, and why they are what the program means to write.
struct ToleratedWarning {
    const char* file;
    const char* warning;
    const char* reason;
};

const ToleratedWarning kToleratedWarnings[] = {
    {"qpdf__qpdf_qtest_qpdf_incremental-3.pdf", "ignoring non-stream in an array of streams",
     "the page's only content stream was deleted by an update; the wrapped Contents array keeps the "
     "reference to the deleted object, which readers skip"},
};

struct OptionSet {
    const char* name;
    const char* options;
};

const OptionSet kOptionSets[] = {
    {"NoOptions", ""},
    {"Scale50", "-scale50"},
    {"ScaleXY", "-scalex200 -scaley150"},
    {"A4Centred", "-page a4 -con -center"},
    {"LetterLandscape", "-pageL letter -con"},
    {"PageSizeFirstPage", "-pagesize 0,0,1000,500 -s1"},
    {"NoScaleCentred", "-noscale -pagesize 0,0,1234,1234 -con -center -scale100"},
    {"Offsets", "-offsetx10 -offsety-20"},
};

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

const ExpectedFailure* expectedFailure(const std::string& file) {
    for (const ExpectedFailure& failure : kExpectedFailures) {
        if (file == failure.file) return &failure;
    }
    return nullptr;
}

bool toleratedWarning(const std::string& file, const std::string& line) {
    for (const ToleratedWarning& warning : kToleratedWarnings) {
        if (file == warning.file && line.find(warning.warning) != std::string::npos) return true;
    }
    return false;
}

// The page count in the output of `qpdf --show-npages` (with --check: its one all-digit line).
long pageCountIn(const std::string& output) {
    long count = -1;
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = std::min(output.find('\n', start), output.size());
        const std::string line = output.substr(start, end - start);
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
            count = std::strtol(line.c_str(), nullptr, 10);
        }
        start = end + 1;
    }
    return count;
}

// Everything in the job's own folder: the output and anything a job left beside it.
std::vector<std::string> folderContents(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

// Page counts of the inputs, as qpdf sees them; taken once for all option sets.
const std::map<std::string, long>& inputPageCounts() {
    static const std::map<std::string, long> counts = [] {
        std::map<std::string, long> found;
        for (const std::string& path : corpusFiles()) {
            found[path] = pageCountIn(runCommand("qpdf --show-npages " + shellQuote(path)).output);
        }
        return found;
    }();
    return counts;
}

// What is wrong with one job's result, or an empty text. `folder` is the job's own, empty folder.
std::string judge(const std::string& input, const std::string& folder, const std::string& options) {
    const std::string file = baseName(input);
    const std::string output = folder + "/out.pdf";
    const CommandResult run =
        runCommand(shellQuote(QUILLMOR_BINARY) + " " + shellQuote(input) + " " + shellQuote(output) + " " + options);
    const std::vector<std::string> left = folderContents(folder);
    const bool outputExists = left == std::vector<std::string>{"out.pdf"};
    if (left.size() > (outputExists ? 1u : 0u)) return "left stray files beside the output";
    if (run.status != 0) {
        const ExpectedFailure* expected = expectedFailure(file);
        if (!expected) return "failed unexpectedly (status " + std::to_string(run.status) + "): " + run.output;
        if (run.status != 1 || run.output.find(expected->message) == std::string::npos) {
            return "failed, but not with \"" + std::string(expected->message) + "\": " + run.output;
        }
        if (outputExists) return "failed and still left an output file";
        return "";
    }
    if (!outputExists) return "reported success without an output file";
    if (run.output.find("\nDone.\n") == std::string::npos) return "succeeded without \"Done.\": " + run.output;

    const CommandResult check = runCommand("qpdf --check --show-npages " + shellQuote(output));
    if (check.status == kQpdfWarnings) {
        size_t start = 0;
        while (start < check.output.size()) {
            const size_t end = std::min(check.output.find('\n', start), check.output.size());
            const std::string line = check.output.substr(start, end - start);
            if (line.find("WARNING") != std::string::npos && !toleratedWarning(file, line)) {
                return "qpdf warns: " + line;
            }
            start = end + 1;
        }
    } else if (check.status != 0) {
        return "qpdf --check fails: " + check.output;
    }
    const long expectedPages = inputPageCounts().at(input);
    const long pages = pageCountIn(check.output);
    if (pages != expectedPages) {
        return "has " + std::to_string(pages) + " pages instead of " + std::to_string(expectedPages);
    }
    return "";
}

class CorpusResize : public ::testing::TestWithParam<OptionSet> {};

TEST_P(CorpusResize, EveryFileGivesASoundOutputOrAKnownMessage) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    const std::vector<std::string> files = corpusFiles();
    ASSERT_FALSE(files.empty()) << "no corpus in " << QUILLMOR_CORPUS_DIR;
    inputPageCounts();

    TempDir dir;
    std::atomic<size_t> next{0};
    std::mutex problemsLock;
    std::vector<std::string> problems;
    auto worker = [&](unsigned id) {
        const std::string folder = dir.file("worker" + std::to_string(id));
        std::filesystem::create_directory(folder);
        for (size_t i = next++; i < files.size(); i = next++) {
            const std::string problem = judge(files[i], folder, GetParam().options);
            std::filesystem::remove(folder + "/out.pdf");
            if (problem.empty()) continue;
            std::lock_guard<std::mutex> lock(problemsLock);
            problems.push_back(baseName(files[i]) + ": " + problem);
        }
    };
    std::vector<std::thread> workers;
    for (unsigned id = 0; id < kWorkers; ++id) workers.emplace_back(worker, id);
    for (std::thread& thread : workers) thread.join();

    std::sort(problems.begin(), problems.end());
    for (const std::string& problem : problems) ADD_FAILURE() << problem;
}

INSTANTIATE_TEST_SUITE_P(OptionSets, CorpusResize, ::testing::ValuesIn(kOptionSets),
                         [](const testing::TestParamInfo<OptionSet>& info) { return std::string(info.param.name); });

}  // namespace
