// Every generated file, and every corpus file, under the option sets users reach for: qpdf finds a sound PDF
// with the input's page count, or the job fails cleanly with the message listed for its file below.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/integration/Jobs.h"
#include "tests/support/GeneratedPdfs.h"

namespace {

struct Known {
    const char* file;
    const char* text;  // the start of the message the job ends with, or of a warning qpdf gives
    const char* reason;
};

const Known kExpectedFailures[] = {
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2_U_view_O_view.pdf", "Encrypted PDF file needs a password",
     "opens only with the user password \"view\" (resized with it below)"},
    {"py-pdf__017-unreadable-meta-data_unreadablemetadata.pdf", "Top-level pages object is wrong type",
     "its page tree root, object 172, is nowhere in the file (qpdf finds no pages either)"},
};

// Warnings qpdf may give about an output, and why they are what the program means to write.
const Known kToleratedWarnings[] = {
    {"qpdf__qpdf_qtest_qpdf_incremental-3.pdf", "ignoring non-stream in an array of streams",
     "the page's only content stream was deleted by an update; the wrapped Contents array keeps the "
     "reference to the deleted object, which readers skip"},
};

// The page count `qpdf --show-npages` printed (with --check: its one all-digit line), or -1.
long pageCountIn(const std::string& output) {
    std::istringstream lines(output);
    long count = -1;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) count = std::atol(line.c_str());
    }
    return count;
}

std::string judge(const std::string& input, long inputPages, const std::string& folder, const std::string& options) {
    const std::string file = input.substr(input.find_last_of('/') + 1);
    const Job job = runJob(input, folder, options);
    if (!job.problem.empty()) return job.problem;
    const Known* failure = nullptr;
    for (const Known& known : kExpectedFailures) failure = file == known.file ? &known : failure;
    if (job.run.status != 0) {
        const bool expected = failure && job.run.output.find(failure->text) != std::string::npos;
        return expected ? "" : "failed: " + job.run.output;
    }
    if (failure) return std::string("resized, but expected to fail with: ") + failure->text;
    const CommandResult check = runCommand("qpdf --password= --check --show-npages " + shellQuote(job.output));
    if (check.status != 0 && check.status != kQpdfWarnings) return "qpdf --check fails: " + check.output;
    std::istringstream lines(check.output);
    for (std::string line; std::getline(lines, line);) {
        bool tolerated = false;
        for (const Known& known : kToleratedWarnings)
            tolerated |= file == known.file && line.find(known.text) != std::string::npos;
        if (line.find("WARNING") != std::string::npos && !tolerated) return "qpdf warns: " + line;
    }
    const long pages = pageCountIn(check.output);
    if (pages != inputPages) return "has " + std::to_string(pages) + " pages instead of " + std::to_string(inputPages);
    return "";
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
    const Job job = succeeded(corpusFolder() + "/" + kExpectedFailures[0].file, dir, "view", "-scale50 -password view");
    EXPECT_EQ(runCommand("qpdf --password=view --check " + shellQuote(job.output)).status, 0);
}

}  // namespace
