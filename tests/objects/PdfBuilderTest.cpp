// The fixture builder is checked against qpdf, an independent reader, so that
// the other layers' tests start from files that are known to be sound.

#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

#define REQUIRE_QPDF()                                     \
    do {                                                   \
        if (!haveTool("qpdf"))                             \
            GTEST_SKIP() << "qpdf is not installed";       \
    } while (0)

CommandResult qpdf(const TempDir& dir, const std::string& bytes, const std::string& arguments) {
    const std::string path = dir.file("fixture.pdf");
    writeFile(path, bytes);
    return runCommand("qpdf " + arguments + " " + shellQuote(path));
}

// A document with a gap in the numbering (6 to 8 unused) and objects 9 and 10
// that can go into an object stream numbered 20.
PdfBuilder mixedBuilder() {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 300] /Contents 4 0 R"
                         " /Resources << /Font << /F1 9 0 R >> >> /Annots [10 0 R] >>");
    builder.addStream(4, "", "BT /F1 10 Tf 20 20 Td (mixed) Tj ET", true);
    builder.addObject(5, "(an info string)");
    builder.addObject(9, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");
    builder.addObject(10, "<< /Type /Annot /Subtype /Square /Rect [10 10 50 50] >>");
    builder.setTrailer("/Root 1 0 R");
    return builder;
}

std::string showXref(const TempDir& dir, const std::string& bytes) {
    const CommandResult shown = qpdf(dir, bytes, "--show-xref");
    EXPECT_EQ(0, shown.status) << shown.output;
    return shown.output;
}

}  // namespace

TEST(PdfBuilderTest, QpdfAcceptsEveryLayout) {
    REQUIRE_QPDF();
    TempDir dir;
    struct Case {
        const char* name;
        PdfBuilder::Options options;
        bool objectStream;
    };
    std::vector<Case> cases;
    cases.push_back({"classic", {}, false});
    PdfBuilder::Options crlf;
    crlf.eol = "\r\n";
    cases.push_back({"classic CR LF", crlf, false});
    PdfBuilder::Options cr;
    cr.eol = "\r";
    cases.push_back({"classic CR", cr, false});
    PdfBuilder::Options stream;
    stream.xrefStream = true;
    cases.push_back({"xref stream", stream, true});
    PdfBuilder::Options predicted = stream;
    predicted.xrefPredictor = true;
    predicted.widths = {1, 3, 1};
    cases.push_back({"xref stream with predictor", predicted, true});
    PdfBuilder::Options hybrid;
    hybrid.hybrid = true;
    cases.push_back({"hybrid", hybrid, true});

    for (const Case& c : cases) {
        PdfBuilder builder = mixedBuilder();
        if (c.objectStream)
            builder.putInObjectStream(20, {9, 10});
        const CommandResult checked = qpdf(dir, builder.build(c.options), "--check");
        EXPECT_EQ(0, checked.status) << c.name << "\n" << checked.output;
        EXPECT_EQ(std::string::npos, checked.output.find("WARNING")) << c.name << "\n" << checked.output;
    }
    const CommandResult simple = qpdf(dir, buildSimpleDocument(3), "--check");
    EXPECT_EQ(0, simple.status) << simple.output;
    EXPECT_NE(std::string::npos, simple.output.find("No syntax or stream encoding errors"));
}

TEST(PdfBuilderTest, OffsetsPointAtObjectHeadersAndCountFromTheHeader) {
    const std::string junk = "junk before the header\n";
    for (bool xrefStream : {false, true}) {
        PdfBuilder builder = mixedBuilder();
        builder.setLeadingJunk(junk);
        PdfBuilder::Options options;
        options.xrefStream = xrefStream;
        const std::string file = builder.build(options);
        ASSERT_EQ(0u, file.find(junk + "%PDF-1.4\n"));
        for (int number : {1, 2, 3, 4, 5, 9, 10}) {
            const std::string expected = std::to_string(number) + " 0 obj";
            EXPECT_EQ(expected, file.substr(junk.size() + builder.offsetOf(number), expected.size()));
        }
        const std::smatch::size_type startxrefAt = file.rfind("startxref\n");
        const uint32_t startxref = static_cast<uint32_t>(std::stoul(file.substr(startxrefAt + 10)));
        const std::string section = file.substr(junk.size() + startxref, 8);
        EXPECT_TRUE(xrefStream ? section.find(" 0 obj") != std::string::npos : section.rfind("xref", 0) == 0)
            << section;
        EXPECT_THROW(builder.offsetOf(7), std::out_of_range);
    }
}

TEST(PdfBuilderTest, ClassicTableHasTwentyByteRowsAndSubsectionsForGaps) {
    PdfBuilder builder = mixedBuilder();
    for (const std::string eol : {"\n", "\r\n"}) {
        PdfBuilder::Options options;
        options.eol = eol;
        const std::string file = builder.build(options);
        const size_t table = file.rfind(eol + "xref" + eol) + eol.size();
        const size_t trailer = file.find("trailer", table);
        ASSERT_NE(std::string::npos, trailer);
        std::string body = file.substr(table, trailer - table);
        std::regex subsection("(^|[\r\n])(\\d+) (\\d+)" + std::string(eol == "\n" ? "\n" : "\r\n"));
        std::vector<std::string> headers;
        for (std::sregex_iterator it(body.begin(), body.end(), subsection), end; it != end; ++it)
            headers.push_back((*it)[2].str() + " " + (*it)[3].str());
        EXPECT_EQ((std::vector<std::string>{"0 6", "9 2"}), headers);
        const size_t firstRow = table + 4 + eol.size() + 3 + eol.size();
        EXPECT_EQ("0000000000 65535 f" + std::string(eol == "\n" ? " \n" : "\r\n"),
                  file.substr(firstRow, 20));
        const std::string row5 = file.substr(firstRow + 5 * 20, 20);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%010u 00000 n", builder.offsetOf(5));
        EXPECT_EQ(expected, row5.substr(0, 18));
        EXPECT_NE(std::string::npos, file.find("<< /Size 11 /Root 1 0 R >>", trailer));
    }
}

TEST(PdfBuilderTest, CompressedObjectsAreListedAsType2Entries) {
    REQUIRE_QPDF();
    TempDir dir;
    for (bool predictor : {false, true}) {
        PdfBuilder builder = mixedBuilder();
        builder.putInObjectStream(20, {10, 9});
        PdfBuilder::Options options;
        options.xrefStream = true;
        options.xrefPredictor = predictor;
        const std::string file = builder.build(options);
        const std::string xref = showXref(dir, file);
        EXPECT_NE(std::string::npos, xref.find("10/0: compressed; stream = 20, index = 0")) << xref;
        EXPECT_NE(std::string::npos, xref.find("9/0: compressed; stream = 20, index = 1")) << xref;
        EXPECT_NE(std::string::npos,
                  xref.find("5/0: uncompressed; offset = " + std::to_string(builder.offsetOf(5))))
            << xref;
        EXPECT_NE(std::string::npos,
                  xref.find("21/0: uncompressed; offset = " + std::to_string(builder.offsetOf(21))))
            << xref;
        EXPECT_EQ(std::string::npos, xref.find("7/0")) << xref;
        EXPECT_EQ(predictor, file.find("/Predictor 12 /Columns 7") != std::string::npos);
        const CommandResult font = qpdf(dir, file, "--show-object=9");
        EXPECT_NE(std::string::npos, font.output.find("/BaseFont /Courier")) << font.output;
    }
}

TEST(PdfBuilderTest, HybridTableLeavesCompressedObjectsToTheXRefStm) {
    PdfBuilder builder = mixedBuilder();
    builder.putInObjectStream(20, {9, 10});
    PdfBuilder::Options options;
    options.hybrid = true;
    const std::string file = builder.build(options);
    const size_t table = file.rfind("\nxref\n");
    ASSERT_NE(std::string::npos, table);
    const std::string tail = file.substr(table);
    // 9 and 10 are not in the table; the object stream 20 and the xref stream 21 are.
    EXPECT_NE(std::string::npos, tail.find("\n0 6\n"));
    EXPECT_NE(std::string::npos, tail.find("\n20 2\n"));
    EXPECT_EQ(std::string::npos, tail.find("\n9 "));
    const std::string xrefStm = "/XRefStm " + std::to_string(builder.offsetOf(21));
    EXPECT_NE(std::string::npos, tail.find(xrefStm)) << tail;
    EXPECT_EQ("21 0 obj", file.substr(builder.offsetOf(21), 8));
    EXPECT_NE(std::string::npos, file.find("/Index [9 2]"));
}

TEST(PdfBuilderTest, AppendUpdateRedefinesObjectsAndChainsPrev) {
    REQUIRE_QPDF();
    TempDir dir;
    for (bool junk : {false, true}) {
        for (bool stream : {false, true}) {
            PdfBuilder base = mixedBuilder();
            if (junk)
                base.setLeadingJunk("garbage\n");
            PdfBuilder::Options options;
            options.xrefStream = stream;
            const std::string first = base.build(options);
            const std::string firstStart = first.substr(first.rfind("startxref\n") + 10);
            const std::string previousOffset = firstStart.substr(0, firstStart.find('\n'));

            PdfBuilder update;
            update.addObject(5, "(the newer info string)");
            update.addObject(12, "<< /Producer (builder) >>");
            update.setTrailer("/Root 1 0 R /Info 12 0 R");
            const std::string updated = update.appendUpdate(first, options);
            ASSERT_EQ(0u, updated.find(first));
            EXPECT_NE(std::string::npos, updated.find("/Prev " + previousOffset, first.size()));
            const size_t headerPos = junk ? 8 : 0;
            EXPECT_EQ("12 0 obj", updated.substr(headerPos + update.offsetOf(12), 8));

            const CommandResult checked = qpdf(dir, updated, "--check");
            EXPECT_EQ(0, checked.status) << checked.output;
            if (!junk) {
                const CommandResult shown = qpdf(dir, updated, "--show-object=5");
                EXPECT_NE(std::string::npos, shown.output.find("the newer info string")) << shown.output;
            }
        }
    }
}

TEST(PdfBuilderTest, MisuseIsRefused) {
    PdfBuilder builder = mixedBuilder();
    builder.putInObjectStream(20, {9});
    EXPECT_THROW(builder.build(), std::invalid_argument);  // classic table cannot list compressed objects
    PdfBuilder::Options options;
    options.xrefStream = true;
    builder.putInObjectStream(20, {4});  // a stream cannot go into an object stream
    EXPECT_THROW(builder.build(options), std::invalid_argument);
    builder.putInObjectStream(3, {9});  // number already taken by a page
    EXPECT_THROW(builder.build(options), std::invalid_argument);
    EXPECT_THROW(PdfBuilder().appendUpdate("no cross-reference here", options), std::invalid_argument);
}
