// Every generated file, and every corpus file, under the option sets users reach for: qpdf finds a sound PDF
// with the input's page count, or the job fails cleanly with the message listed for its file below.

#include "tests/integration/Jobs.h"

namespace {

// Opens only with the user password "view" (resized with it below).
constexpr char kNeedsPassword[] = "qpdf__qpdf_qtest_qpdf_enc-R3_V2_U_view_O_view.pdf";
// Files a job may not resize, and the start of the message it ends with.
const std::map<std::string, std::string> kExpectedFailures = {
    {kNeedsPassword, "Encrypted PDF file needs a password"},
    // Its page tree root, object 172, is nowhere in the file (qpdf finds no pages either).
    {"py-pdf__017-unreadable-meta-data_unreadablemetadata.pdf", "Top-level pages object is wrong type"},
};
// Warnings qpdf may give about an output, which the program means: the page's only content stream was deleted by
// an update; the wrapped Contents array keeps the reference to the deleted object, which readers skip.
const std::map<std::string, std::string> kToleratedWarnings = {
    {"qpdf__qpdf_qtest_qpdf_incremental-3.pdf", "ignoring non-stream in an array of streams"},
};

// The page count `qpdf --show-npages` printed (with --check: its one all-digit line), or -1.
long pageCountIn(const std::string& output) {
    std::smatch match;
    return std::regex_search(output, match, std::regex("(^|\n)(\\d+)\n")) ? std::stol(match[2]) : -1;
}

std::string judge(const std::string& input, long inputPages, const std::string& folder, const std::string& options) {
    const std::string file = input.substr(input.find_last_of('/') + 1);
    const Job job = runJob(input, folder, options);
    const auto failure = kExpectedFailures.find(file);
    const auto tolerated = kToleratedWarnings.find(file);
    if (!job.problem.empty()) return job.problem;
    if (job.run.status != 0) {
        const bool expected = failure != kExpectedFailures.end() && job.run.output.find(failure->second) != std::string::npos;
        return expected ? "" : "failed: " + job.run.output;
    }
    if (failure != kExpectedFailures.end()) return "resized, but expected to fail with: " + failure->second;
    const CommandResult check = runCommand("qpdf --password= --check --show-npages " + shellQuote(job.output));
    if (check.status != 0 && check.status != kQpdfWarnings) return "qpdf --check fails: " + check.output;
    std::istringstream lines(check.output);
    for (std::string line; std::getline(lines, line);) {
        const bool known = tolerated != kToleratedWarnings.end() && line.find(tolerated->second) != std::string::npos;
        if (line.find("WARNING") != std::string::npos && !known) return "qpdf warns: " + line;
    }
    const long pages = pageCountIn(check.output);
    return pages == inputPages ? "" : "has " + std::to_string(pages) + " pages instead of " + std::to_string(inputPages);
}

void expectSoundOutputsOrKnownMessages(const std::vector<std::string>& files, const std::vector<long>& pages,
                                       const std::vector<OptionSet>& sets) {
    const auto problems = judgeInParallel(files.size() * sets.size(), [&](size_t i, const std::string& folder) {
        const size_t file = i % files.size();
        const std::string problem = judge(files[file], pages[file], folder, sets[i / files.size()].options);
        return problem.empty() ? problem : files[file] + ", " + sets[i / files.size()].options + ": " + problem;
    });
    for (const std::string& problem : problems) ADD_FAILURE() << problem;
}

class Resize : public ::testing::TestWithParam<OptionSet> {};

TEST_P(Resize, EveryGeneratedFileGivesASoundOutputOrAKnownMessage) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    std::vector<std::string> files;
    for (const std::string& name : generatedNames()) files.push_back(generatedPdf(name));
    expectSoundOutputsOrKnownMessages(files, std::vector<long>(files.size(), kGeneratedPages), {GetParam()});
}

INSTANTIATE_TEST_SUITE_P(OptionSets, Resize, ::testing::ValuesIn(kOptionSets),
                         [](const testing::TestParamInfo<OptionSet>& info) { return std::string(info.param.name); });

TEST(CorpusResize, EveryFileGivesASoundOutputOrAKnownMessage) {
    SKIP_WITHOUT_CORPUS();
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    const std::vector<std::string> files = corpusFiles();
    std::vector<long> pages;
    for (const std::string& path : files)
        pages.push_back(pageCountIn(runCommand("qpdf --show-npages " + shellQuote(path)).output));
    expectSoundOutputsOrKnownMessages(files, pages, {std::begin(kOptionSets), std::end(kOptionSets)});
    TempDir dir;  // the file that needs its user password resizes with it
    const Job job = succeeded(corpusFolder() + "/" + kNeedsPassword, dir, "view", "-scale50 -password view");
    EXPECT_EQ(runCommand("qpdf --password=view --check " + shellQuote(job.output)).status, 0);
}

}  // namespace
