#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/resize/CoreFixtures.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

constexpr char kHeader[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
constexpr char kPage[] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents ";

size_t count(const std::string& text, const std::string& pattern) {
    size_t found = 0;
    for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1)) ++found;
    return found;
}

// An object of the input as the builder laid it out: from its header through the line end
// after its "endobj" (objects written by addObject hold no other "endobj").
std::string inputObject(const std::string& pdf, const PdfBuilder& builder, int number) {
    const size_t first = builder.offsetOf(number);
    return pdf.substr(first, pdf.find("endobj", first) + 7 - first);
}

// Catalog 1, page tree 2, font 3, pages 4 and 6 with contents 5 and 7, Info 8: nine entries.
PdfBuilder twoPageBuilder() {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [4 0 R 6 0 R] /Count 2 >>");
    builder.addObject(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    builder.addObject(4, std::string(kPage) + "5 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
    builder.addStream(5, "", "BT /F1 12 Tf 72 720 Td (one) Tj ET");
    builder.addObject(6, std::string(kPage) + "7 0 R >>");
    builder.addStream(7, "", "0 0 m 100 100 l S");
    builder.addObject(8, "<< /Producer (test) >>");
    builder.setTrailer("/Root 1 0 R /Info 8 0 R");
    return builder;
}

std::string scaleStream(uint32_t number, const std::string& factors) {
    const std::string data = "q\n" + factors + " 0 0 cm\n";
    return std::to_string(number) + " 0 obj\n<<\n/Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "endstream\nendobj\n";
}

void expectQpdfAccepts(const std::string& path) {
    if (!haveTool("qpdf")) return;
    const CommandResult check = runCommand("qpdf --check " + shellQuote(path));
    EXPECT_EQ(check.status, 0) << check.output;
}

class Pipeline : public ::testing::Test {
protected:
    JobRun resize(const std::string& pdf, const std::vector<std::string>& options = {}) {
        writeFile(input, pdf);
        return runJob(input, output, options);
    }

    std::vector<std::string> folderContents() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    const std::string input = dir.file("in.pdf");
    const std::string output = dir.file("out.pdf");
};

TEST_F(Pipeline, CopiesEveryObjectAndWrapsEveryPage) {
    PdfBuilder builder = twoPageBuilder();
    const std::string pdf = builder.build();
    const JobRun run = resize(pdf);
    ASSERT_TRUE(run.ok) << run.error;
    const OutputLayout layout = readLayout(run.output);
    ASSERT_TRUE(layout.valid);

    EXPECT_EQ(run.output.substr(0, builder.offsetOf(1)), kHeader) << "the output opens with the input's header";
    ASSERT_EQ(layout.rows.size(), 13u) << "nine input entries and two new streams per page";
    EXPECT_FALSE(layout.rows[0].inUse);
    uint32_t previous = 0;
    for (int number : {1, 2, 3, 5, 7, 8}) {
        EXPECT_TRUE(layout.rows[number].inUse) << number;
        EXPECT_GT(layout.rows[number].offset, previous) << "copied in ascending object number";
        previous = layout.rows[number].offset;
        EXPECT_EQ(layout.object(run.output, number), inputObject(pdf, builder, number)) << number;
    }
    EXPECT_EQ(layout.rows[1].offset, builder.offsetOf(1));

    // New objects are numbered on from the input's entries, page by page.
    EXPECT_EQ(layout.object(run.output, 9), scaleStream(9, "1.00 0 0 1.00"));
    EXPECT_EQ(layout.object(run.output, 11), scaleStream(11, "1.00 0 0 1.00"));
    const std::string firstPage = layout.object(run.output, 4);
    const std::string secondPage = layout.object(run.output, 6);
    EXPECT_EQ(firstPage.substr(0, 8), "4 0 obj\n");
    EXPECT_NE(firstPage.find("10 0 R"), std::string::npos) << firstPage;
    EXPECT_NE(secondPage.find("12 0 R"), std::string::npos) << secondPage;
    EXPECT_GT(layout.rows[4].offset, layout.rows[10].offset) << "a page object comes after its streams";
    EXPECT_EQ(count(run.output, "4 0 obj"), 1u) << "a page that is rewritten is not copied first";

    EXPECT_EQ(layout.trailer, "trailer\n<<\n/Size 13\n/Root 1 0 R\n/Info 8 0 R\n>>\nstartxref\n" +
                                  std::to_string(layout.startXRef) + "\n%%EOF");
    expectQpdfAccepts(output);
}

TEST_F(Pipeline, CopiesUnselectedPagesAsTheyStand) {
    PdfBuilder builder = twoPageBuilder();
    const std::string pdf = builder.build();
    const JobRun run = resize(pdf, {"-scale50", "-s2"});
    ASSERT_TRUE(run.ok) << run.error;
    const OutputLayout layout = readLayout(run.output);
    ASSERT_EQ(layout.rows.size(), 11u);
    EXPECT_EQ(layout.object(run.output, 4), inputObject(pdf, builder, 4));
    EXPECT_EQ(layout.object(run.output, 9), scaleStream(9, "0.50 0 0 0.50"));
    EXPECT_NE(layout.object(run.output, 6).find("10 0 R"), std::string::npos);
    EXPECT_EQ(count(run.output, "6 0 obj"), 1u);
    expectQpdfAccepts(output);
}

TEST_F(Pipeline, RebuildsObjectStreamMembersAndLeavesOutOnlyObjectStreams) {
    PdfBuilder builder = twoPageBuilder();
    // Mentions of ObjStm that do not make an object stream: the stream is copied.
    builder.addStream(9, "/Type /XObject /Subtype /Form /BBox [0 0 1 1] /Note /ObjStm", "% ObjStm\n");
    builder.putInObjectStream(20, {3, 8});
    PdfBuilder::Options options;
    options.xrefStream = true;
    const std::string pdf = builder.build(options);
    const JobRun run = resize(pdf);
    ASSERT_TRUE(run.ok) << run.error;
    const OutputLayout layout = readLayout(run.output);
    ASSERT_TRUE(layout.valid);

    EXPECT_EQ(layout.object(run.output, 3), "3 0 obj\r<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\n endobj\r");
    EXPECT_EQ(layout.object(run.output, 8), "8 0 obj\r<< /Producer (test) >>\n endobj\r");
    EXPECT_EQ(layout.rows[3].generation, 0u);
    ASSERT_GT(layout.rows.size(), 20u);
    EXPECT_FALSE(layout.rows[20].inUse);
    EXPECT_EQ(layout.rows[20].offset, 0u);
    EXPECT_EQ(count(run.output, "/Type /ObjStm"), 0u);
    EXPECT_EQ(layout.object(run.output, 9), inputObject(pdf, builder, 9));
    // The input's cross-reference stream is an ordinary object and stays, unreferenced.
    EXPECT_EQ(count(run.output, "/Type /XRef"), 1u);
    for (size_t number = 1; number < layout.rows.size(); ++number) {
        if (!layout.rows[number].inUse) continue;
        EXPECT_EQ(run.output.compare(layout.rows[number].offset, std::to_string(number).size() + 1,
                                     std::to_string(number) + " "), 0)
            << "row " << number << " points at its object";
    }
    expectQpdfAccepts(output);
}

TEST_F(Pipeline, KeepsTheInputsGenerations) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>", 1);
    builder.addObject(2, "<< /Type /Pages /Kids [4 3 R] /Count 1 >>");
    builder.addObject(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>", 2);
    builder.addObject(4, std::string(kPage) + "5 0 R /Resources << /Font << /F1 3 2 R >> >> >>", 3);
    builder.addStream(5, "", "BT /F1 9 Tf (x) Tj ET");
    builder.addObject(6, "<< /Title (gen) >>", 4);
    builder.setTrailer("/Root 1 1 R /Info 6 4 R");
    const JobRun run = resize(builder.build());
    ASSERT_TRUE(run.ok) << run.error;
    const OutputLayout layout = readLayout(run.output);
    ASSERT_EQ(layout.rows.size(), 9u);
    EXPECT_EQ(layout.rows[1].generation, 1u);
    EXPECT_EQ(layout.rows[3].generation, 2u);
    EXPECT_EQ(layout.rows[4].generation, 3u) << "the rewritten page keeps its generation too";
    EXPECT_EQ(layout.rows[5].generation, 0u);
    EXPECT_EQ(layout.rows[7].generation, 0u) << "new objects";
    EXPECT_NE(layout.trailer.find("/Root 1 1 R\n/Info 6 4 R\n"), std::string::npos) << layout.trailer;
    expectQpdfAccepts(output);
}

TEST_F(Pipeline, StartsTheOutputAtTheHeader) {
    PdfBuilder builder = twoPageBuilder();
    builder.setLeadingJunk("MIME junk before the header\r\n\r\n");
    const JobRun run = resize(builder.build());
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output.substr(0, sizeof kHeader - 1), kHeader);
    const OutputLayout layout = readLayout(run.output);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.rows[1].offset, sizeof kHeader - 1);
    EXPECT_EQ(layout.object(run.output, 3).substr(0, 8), "3 0 obj\n");
    expectQpdfAccepts(output);
}

TEST_F(Pipeline, KeepsStreamDataThatHoldsEndobj) {
    PdfBuilder builder = twoPageBuilder();
    builder.addStream(5, "", "BT (endobj) Tj ET\nendobj\n");
    const std::string pdf = builder.build();
    const JobRun run = resize(pdf);
    ASSERT_TRUE(run.ok) << run.error;
    const OutputLayout layout = readLayout(run.output);
    const std::string object = pdf.substr(builder.offsetOf(5), builder.offsetOf(6) - builder.offsetOf(5));
    EXPECT_EQ(run.output.substr(layout.rows[5].offset, object.size()), object);
    EXPECT_EQ(layout.rows[7].offset, layout.rows[5].offset + object.size()) << "object 6 is held back";
    expectQpdfAccepts(output);
}

TEST_F(Pipeline, FailedJobsLeaveNoOutputAndKeepAnExistingOne) {
    const std::string pdf = twoPageBuilder().build();
    const JobRun fresh = resize(pdf, {"-s3"});
    EXPECT_FALSE(fresh.ok);
    EXPECT_EQ(fresh.error, "Page number 3 greater than 2 pages in file");
    EXPECT_FALSE(fresh.outputExists);
    EXPECT_EQ(folderContents(), std::vector<std::string>{"in.pdf"}) << "no temporary file left";

    writeFile(output, "an earlier result");
    const JobRun again = resize(pdf, {"-s3"});
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.output, "an earlier result");
}

TEST_F(Pipeline, RefusesFactorsThatAreNotFinite) {
    PdfBuilder builder = twoPageBuilder();
    builder.addObject(6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 0 842] /Contents 7 0 R >>");
    const std::string pdf = builder.build();
    const JobRun fitted = resize(pdf, {"-pagesize", "0,0,500,500"});
    EXPECT_FALSE(fitted.ok);
    EXPECT_NE(fitted.error.find("Page 2 "), std::string::npos) << fitted.error;
    EXPECT_FALSE(fitted.outputExists);

    const JobRun unscaled = resize(pdf, {"-noscale", "-pagesize", "0,0,500,500"});
    EXPECT_TRUE(unscaled.ok) << "without scaling the MediaBox does not divide anything";
}

TEST_F(Pipeline, ResizesInPlace) {
    writeFile(input, twoPageBuilder().build());
    const JobRun run = runJob(input, input, {"-scale50"});
    ASSERT_TRUE(run.ok) << run.error;
    const std::string result = readFile(input);
    const OutputLayout layout = readLayout(result);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.object(result, 9), scaleStream(9, "0.50 0 0 0.50"));
    EXPECT_EQ(folderContents(), std::vector<std::string>{"in.pdf"});
    expectQpdfAccepts(input);
}

TEST_F(Pipeline, GivesTheSameBytesForTheSameInput) {
    const std::vector<std::string> options = {"-page", "a4", "-con", "-center", "-offsetx10"};
    const JobRun first = resize(twoPageBuilder().build(), options);
    const JobRun second = resize(twoPageBuilder().build(), options);
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_TRUE(first.output == second.output);
}

TEST_F(Pipeline, RefusesEncryptedInputs) {
    PdfBuilder builder = twoPageBuilder();
    builder.addObject(9, "<< /Filter /Custom /V 1 >>");
    builder.setTrailer("/Root 1 0 R /Encrypt 9 0 R");
    const JobRun run = resize(builder.build());
    EXPECT_FALSE(run.ok);
    EXPECT_NE(run.error.find("Encrypted PDF file"), std::string::npos) << run.error;
    EXPECT_FALSE(run.outputExists);
}

TEST_F(Pipeline, PrintsTheFileNamesOnOneLine) {
    const JobRun run = resize(twoPageBuilder().build());
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.console, "Input file: '" + input + "', output file: '" + output + "'\n");

    const JobRun missing = runJob(dir.file("missing.pdf"), output);
    EXPECT_EQ(missing.error, "Input file open error\n");
    EXPECT_EQ(missing.console, "") << "the input line comes only once the file is open";

    const JobRun noFolder = runJob(input, dir.file("no-folder/out.pdf"));
    EXPECT_EQ(noFolder.error, "\nOutput file create error\n");
    EXPECT_EQ(noFolder.console, "Input file: '" + input + "'");
}

TEST_F(Pipeline, RewritesOnlyPagesThatALeafFilled) {
    PdfBuilder builder = twoPageBuilder();
    builder.addObject(2, "<< /Type /Pages /Kids [4 0 R 6 0 R] /Count 3 >>");
    const std::string pdf = builder.build();
    const JobRun run = resize(pdf);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(readLayout(run.output).rows.size(), 13u) << "two pages rewritten, not three";

    std::remove(output.c_str());
    const JobRun missingPage = resize(pdf, {"-s3"});
    EXPECT_FALSE(missingPage.ok);
    EXPECT_FALSE(missingPage.outputExists);
}

TEST_F(Pipeline, FitsEachPageToTheTargetSize) {
    // 842 / 595 and 1191 / 842, about 141.51 and 141.45 percent.
    const JobRun run = resize(twoPageBuilder().build(), {"-pagesize", "0,0,842,1191"});
    ASSERT_TRUE(run.ok) << run.error;
    const OutputLayout layout = readLayout(run.output);
    EXPECT_EQ(layout.object(run.output, 9), scaleStream(9, "1.42 0 0 1.41"));
    EXPECT_NE(layout.object(run.output, 4).find("/MediaBox [ 0.000000 0.000000 842.000000 1191.000000 ]"),
              std::string::npos);
}

}  // namespace
