// The installed program as a whole: its exit statuses and a list of files run through the
// real resize engine.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestTools.h"

namespace {

namespace fs = std::filesystem;

const std::string program = QUILLMOR_BINARY;
const std::string samplePdf = std::string(QUILLMOR_SOURCE_DIR) + "/examples/sample.pdf";

CommandResult runIn(const TempDir& folder, const std::string& arguments) {
    return runCommand("cd " + shellQuote(folder.path()) + " && " + shellQuote(program) + " " + arguments);
}

// Width and height of every page's MediaBox, as `mutool pages` reports them, in page order.
std::vector<std::pair<double, double>> pageSizes(const std::string& path) {
    const CommandResult pages = runCommand("mutool pages " + shellQuote(path));
    std::vector<std::pair<double, double>> sizes;
    std::size_t position = 0;
    while ((position = pages.output.find("<MediaBox ", position)) != std::string::npos) {
        double left = 0;
        double bottom = 0;
        double right = 0;
        double top = 0;
        const std::string tag = pages.output.substr(position, pages.output.find('>', position) - position);
        if (std::sscanf(tag.c_str(), "<MediaBox l=\"%lf\" b=\"%lf\" r=\"%lf\" t=\"%lf\"", &left, &bottom, &right,
                        &top) == 4) {
            sizes.emplace_back(right - left, top - bottom);
        }
        ++position;
    }
    return sizes;
}

TEST(ProgramBinary, ExitStatuses) {
    ASSERT_TRUE(fs::exists(program)) << program;
    TempDir folder;
    EXPECT_EQ(runIn(folder, "").status, 0);
    EXPECT_EQ(runIn(folder, "a.pdf 'b*.pdf'").status, 1);
    EXPECT_EQ(runIn(folder, "a.pdf").status, 1);
    const CommandResult missing = runIn(folder, "missing.pdf out.pdf");
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(fs::exists(folder.file("out.pdf")));
    EXPECT_EQ(runIn(folder, "list.txt out").status, 1);
    EXPECT_EQ(runIn(folder, "missing.txt -fout").status, 1);
    EXPECT_EQ(runIn(folder, shellQuote(samplePdf) + " out.pdf -page").status, 1);
}

TEST(ProgramBinary, ListOfFilesWithOddPagesOnly) {
    if (!haveTool("mutool") || !haveTool("qpdf")) {
        GTEST_SKIP() << "mutool and qpdf check the outputs";
    }
    TempDir folder;
    fs::copy_file(samplePdf, folder.file("one.pdf"));
    fs::copy_file(samplePdf, folder.file("two.pdf"));
    writeFile(folder.file("list.txt"), "one.pdf\r\ntwo.pdf");
    const auto original = pageSizes(samplePdf);
    ASSERT_EQ(original.size(), 2u) << "the sample has two pages";

    const CommandResult batch = runIn(folder, "list.txt -fout -scale50 -sodd");
    ASSERT_EQ(batch.status, 0) << batch.output;
    for (const char* name : {"one.pdf", "two.pdf"}) {
        const std::string output = folder.file(std::string("out/") + name);
        ASSERT_TRUE(fs::exists(output)) << output;
        EXPECT_EQ(runCommand("qpdf --check " + shellQuote(output)).status, 0) << name;
        const auto sizes = pageSizes(output);
        ASSERT_EQ(sizes.size(), original.size()) << name;
        // The odd page is halved, the even page keeps its size.
        EXPECT_DOUBLE_EQ(sizes[0].first, original[0].first / 2) << name;
        EXPECT_DOUBLE_EQ(sizes[0].second, original[0].second / 2) << name;
        EXPECT_EQ(sizes[1], original[1]) << name;
    }
}

}  // namespace
