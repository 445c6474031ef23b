#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "tests/resize/ResizeFixtures.h"

namespace {

constexpr char kHeader[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
constexpr char kPage[] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents ";

// Catalog 1, page tree 2, font 3, pages 4 and 6 with contents 5 and 7, Info 8; some generations are not 0.
PdfBuilder twoPageBuilder() {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>", 1);
    builder.addObject(2, "<< /Type /Pages /Kids [4 3 R 6 0 R] /Count 2 >>");
    builder.addObject(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    builder.addObject(4, std::string(kPage) + "5 0 R /Resources << /Font << /F1 3 0 R >> >> >>", 3);
    builder.addStream(5, "", "BT /F1 12 Tf 72 720 Td (one) Tj ET");
    builder.addObject(6, std::string(kPage) + "7 2 R >>");
    builder.addStream(7, "", "0 0 m 100 100 l S", false, 2);
    builder.addObject(8, "<< /Producer (test) >>", 4);
    builder.setTrailer("/Root 1 1 R /Info 8 4 R");
    return builder;
}

std::string scaleStream(uint32_t number, const std::string& factors) {
    return std::to_string(number) + " 0 obj\n<<\n/Length 23 >>\nstream\nq\n" + factors + " 0 0 cm\nendstream\nendobj\n";
}

class Pipeline : public ::testing::Test {
protected:
    JobRun resize(const std::string& pdf, const std::vector<std::string>& options = {}) {
        writeFile(input, pdf);
        return runJob(input, output, options);
    }
    void expectQpdfAccepts(const std::string& path) const {
        if (!haveTool("qpdf")) return;
        const CommandResult check = runCommand("qpdf --check " + shellQuote(path));
        EXPECT_EQ(check.status, 0) << check.output;
    }
    // Files in the job's folder: in.pdf alone when no output and no temporary file are left.
    size_t files() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
    }

    TempDir dir;
    const std::string input = dir.file("in.pdf");
    const std::string output = dir.file("out.pdf");
};

TEST_F(Pipeline, CopiesEveryObjectAndWrapsEverySelectedPage) {
    PdfBuilder builder = twoPageBuilder();
    const std::string pdf = builder.build();
    const JobRun run = resize(pdf);
    EXPECT_EQ(run.console, "Input file: '" + input + "', output file: '" + output + "'\n");
    InputJob out(run.output);
    ASSERT_EQ(out.entries().size(), 13u) << "nine input entries and two new streams per page";
    EXPECT_EQ(run.output.substr(0, builder.offsetOf(1)), kHeader);
    uint32_t previous = 0;
    for (int number : {1, 2, 3, 5, 7, 8}) {
        EXPECT_GT(out.entries()[number].offset, previous) << "copied in ascending object number";
        previous = out.entries()[number].offset;
        EXPECT_EQ(out.raw(number), objectAt(pdf, builder.offsetOf(number))) << number;
    }
    // New objects are numbered on from the input's entries, page by page, before their page.
    EXPECT_EQ(out.raw(9), scaleStream(9, "1.00 0 0 1.00"));
    EXPECT_EQ(out.raw(11), scaleStream(11, "1.00 0 0 1.00"));
    EXPECT_NE(out.raw(4).find("10 0 R"), std::string::npos);
    EXPECT_NE(out.raw(6).find("12 0 R"), std::string::npos);
    EXPECT_GT(out.entries()[4].offset, out.entries()[10].offset);
    const uint32_t generations[] = {65535, 1, 0, 0, 3, 0, 0, 2, 4, 0, 0, 0, 0};  // the rewritten page keeps its own
    for (size_t i = 0; i < 13; ++i) EXPECT_EQ(out.entries()[i].generation, generations[i]) << i;
    EXPECT_EQ(run.output.find("4 3 obj"), out.entries()[4].offset) << "a page that is rewritten is not copied first";
    const size_t start = run.output.rfind("xref\n0 13\r");  // 13 rows of 20 bytes follow, then the trailer
    EXPECT_EQ(run.output.substr(start + std::strlen("xref\n0 13\r") + 13 * 20),
              "trailer\n<<\n/Size 13\n/Root 1 1 R\n/Info 8 4 R\n>>\nstartxref\n" + std::to_string(start) + "\n%%EOF");
    expectQpdfAccepts(output);

    // Fitted to 842 x 1191 (842 / 595 and 1191 / 842; x1, y1 and the scale take no part), the second page only.
    const std::string selected = resize(pdf, {"-scale50", "-pagesize", "500,500,842,1191", "-s2"}).output;
    InputJob second(selected);
    ASSERT_EQ(second.entries().size(), 11u);
    EXPECT_EQ(second.raw(4), objectAt(pdf, builder.offsetOf(4))) << "copied as it stands";
    EXPECT_EQ(second.raw(9), scaleStream(9, "1.42 0 0 1.41"));
    EXPECT_NE(second.raw(6).find("/MediaBox [ 0.000000 0.000000 842.000000 1191.000000 ]\n /Contents  [  9 0 R"),
              std::string::npos) << second.raw(6);
}

// Leading junk, a comment before the first object, object streams (one holding a page), a stream that
// mentions ObjStm without being one, and a stream larger than any block the reader uses, holding "endobj".
TEST_F(Pipeline, CopiesOddInputsWholeAndTheSameEachTime) {
    const std::string junk = "MIME junk before the header\r\n\r\n";
    const std::string header = std::string(kHeader) + "% a comment before the first object\n";
    PdfBuilder builder = twoPageBuilder();
    builder.setLeadingJunk(junk);
    builder.setHeader(header);
    builder.addStream(9, "/Type /XObject /Subtype /Form /BBox [0 0 1 1] /Note /ObjStm", "% ObjStm\n");
    std::string data = "BT (endobj) Tj ET\nendobj\n";
    for (uint64_t i = 0; data.size() < 3 * 1024 * 1024; ++i) data += std::to_string(i * 7919) + (i % 13 ? " " : "\n");
    builder.addStream(10, "/Subtype /Big", data);
    builder.putInObjectStream(20, {3, 6});
    PdfBuilder::Options options;
    options.xrefStream = true;
    const std::string pdf = builder.build(options);
    const std::vector<std::string> pageOptions = {"-page", "a4", "-con", "-center", "-offsetx10"};
    const JobRun run = resize(pdf, pageOptions);
    EXPECT_TRUE(resize(pdf, pageOptions).output == run.output) << "the same input gives the same bytes";
    InputJob out(run.output);
    ASSERT_GT(out.entries().size(), 20u) << run.error;
    EXPECT_EQ(run.output.substr(0, header.size()), header) << "the output starts at the header";
    EXPECT_EQ(out.entries()[1].offset, header.size());
    EXPECT_EQ(out.raw(3), "3 0 obj\r<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\n endobj\r");
    EXPECT_EQ(out.raw(6).substr(0, 8), "6 0 obj\r") << "a page rebuilt from its object stream, rewritten";
    EXPECT_EQ(out.entries()[6].generation, 0u);
    EXPECT_EQ(out.raw(9), objectAt(pdf, junk.size() + builder.offsetOf(9)));
    const size_t start = junk.size() + builder.offsetOf(10);
    EXPECT_TRUE(out.raw(10) == pdf.substr(start, pdf.find("endobj", pdf.find("endstream", start)) + 7 - start));
    EXPECT_EQ(out.entries()[20].type, 0u) << "the object stream is left out";
    EXPECT_EQ(run.output.find("/Type /ObjStm"), std::string::npos);
    EXPECT_NE(run.output.find("/Type /XRef"), std::string::npos) << "the input's cross-reference stream stays";
    expectQpdfAccepts(output);
}

TEST_F(Pipeline, FailedJobsLeaveNoOutputAndKeepAnExistingOne) {
    const std::string pdf = twoPageBuilder().build();
    PdfBuilder shortTree = twoPageBuilder();  // page 2 has no object of its own, and Count promises a fourth
    shortTree.addObject(2, "<< /Type /Pages /Kids [4 3 R << /Type /Page >> 6 0 R] /Count 4 >>");
    PdfBuilder flatPage = twoPageBuilder();
    flatPage.addObject(6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 0 842] /Contents 7 2 R >>");
    PdfBuilder customEncryption = twoPageBuilder();
    customEncryption.addObject(9, "<< /Filter /Custom /V 2 /R 3 /P -4 /O <00> /U <00> >>");
    customEncryption.setTrailer("/Root 1 1 R /Encrypt 9 0 R /ID [<0102><0102>]");
    const std::tuple<std::string, std::vector<std::string>, std::string> cases[] = {  // input, options, message
        {pdf, {"-s3"}, "Page number 3 greater than 2 pages in file"},
        {shortTree.build(), {"-s2"}, "Page 2 is missing"},
        {shortTree.build(), {"-s4"}, "Page 4 is missing"},
        {flatPage.build(), {"-pagesize", "0,0,500,500"}, "Page 2 cannot be fitted"},  // an infinite factor
        {customEncryption.build(), {}, "\nEncrypted PDF file uses a security handler other than Standard"},
    };
    for (const auto& [bytes, options, message] : cases) {
        std::remove(output.c_str());
        EXPECT_NE(resize(bytes, options).error.find(message), std::string::npos) << message;
        EXPECT_EQ(files(), 1u) << message;
        writeFile(output, "an earlier result");
        EXPECT_EQ(resize(bytes, options).output, "an earlier result") << message;
    }
    EXPECT_EQ(InputJob(resize(shortTree.build()).output).entries().size(), 13u) << "two pages rewritten, not four";
    EXPECT_EQ(resize(flatPage.build(), {"-noscale", "-pagesize", "0,0,500,500"}).error, "<no error>") << "no division";

    writeFile(input, pdf);
    const JobRun inPlace = runJob(input, input, {"-scale50"});
    EXPECT_EQ(InputJob(readFile(input)).raw(9), scaleStream(9, "0.50 0 0 0.50")) << inPlace.error;
    EXPECT_EQ(files(), 2u);

    const JobRun missing = runJob(dir.file("missing.pdf"), output);
    EXPECT_EQ(missing.error, "Input file open error\n");
    EXPECT_EQ(missing.console, "") << "the input line comes only once the input is open";
    const JobRun noFolder = runJob(input, dir.file("no-folder/out.pdf"));
    EXPECT_EQ(noFolder.error, "\nOutput file create error\n");
    EXPECT_EQ(noFolder.console, "Input file: '" + input + "'");
}

}  // namespace
