// The fixture builder and examples/sample.pdf against qpdf, so that the other layers' tests start
// from files that an independent reader finds sound.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/PdfBuilder.h"
#include "tests/support/SampleDocument.h"
#include "tests/support/TestTools.h"

namespace {

// Every layout, with an update appended: qpdf accepts it, and its cross-reference view agrees
// with the offsets the builder reports (which count from the header, after the leading junk).
TEST(PdfBuilder, QpdfReadsEveryLayoutAsBuilt) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    PdfBuilder::Options crlf, stream, predicted, hybrid;
    crlf.eol = "\r\n";
    stream.xrefStream = true;
    predicted = stream;
    predicted.xrefPredictor = true;
    predicted.widths = {1, 3, 1};
    hybrid.hybrid = true;
    TempDir dir;
    const std::string path = dir.file("fixture.pdf");
    for (const PdfBuilder::Options& options : {PdfBuilder::Options(), crlf, stream, predicted, hybrid}) {
        const bool objectStream = options.xrefStream || options.hybrid;
        PdfBuilder builder, update;
        builder.setLeadingJunk("junk\n");
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 300] /Contents 4 0 R >>");
        builder.addStream(4, "", "0 0 m 200 300 l S", true);
        builder.addObject(5, "(older)");
        builder.addObject(9, "<< /Unused true >>");  // 6 to 8 are missing
        if (objectStream) builder.putInObjectStream(20, {9});
        builder.setTrailer("/Root 1 0 R");
        update.addObject(5, "(newer)");
        update.setTrailer("/Root 1 0 R");
        // An update in hybrid form lists no compressed object and gets an empty /Index: a classic one.
        writeFile(path, update.appendUpdate(builder.build(options), options.hybrid ? PdfBuilder::Options() : options));

        const CommandResult checked = runCommand("qpdf --check " + shellQuote(path));
        EXPECT_EQ(0, checked.status) << checked.output;  // 3 would mean warnings
        const std::string xref = runCommand("qpdf --show-xref " + shellQuote(path)).output;
        for (const std::string& entry : {"3/0: uncompressed; offset = " + std::to_string(builder.offsetOf(3)),
                                         "5/0: uncompressed; offset = " + std::to_string(update.offsetOf(5)),
                                         std::string(objectStream ? "9/0: compressed; stream = 20, index = 0" : "")})
            EXPECT_NE(std::string::npos, xref.find(entry)) << entry << "\n" << xref;
        EXPECT_EQ(std::string::npos, xref.find("7/0")) << xref;
    }
}

// examples/sample.pdf is made by buildSampleDocument(); QUILLMOR_UPDATE_SAMPLE=1 rewrites it.
TEST(SampleDocument, CommittedFileMatchesTheGeneratorAndReadersAcceptIt) {
    const std::string path = std::string(QUILLMOR_SOURCE_DIR) + "/examples/sample.pdf";
    const std::string generated = buildSampleDocument();
    if (std::getenv("QUILLMOR_UPDATE_SAMPLE")) writeFile(path, generated);
    EXPECT_TRUE(readFile(path) == generated) << "examples/sample.pdf differs from buildSampleDocument(); regenerate it";
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    EXPECT_EQ(0, runCommand("qpdf --check " + shellQuote(path)).status);
    EXPECT_EQ("2\n", runCommand("qpdf --show-npages " + shellQuote(path)).output);
}

}  // namespace
