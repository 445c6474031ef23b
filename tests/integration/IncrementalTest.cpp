// -incremental: the output is the input's bytes, whole, and an update after them, which readers
// must take for the same document as the whole new file the job writes without the option.

#include "tests/integration/Jobs.h"

namespace {

constexpr char kOptions[] = "-page a4 -con -center";
constexpr char kSignedNote[] = "Note: the input's signatures stay valid";
constexpr char kSignedWarning[] = "Warning: the input is signed";

// Two pages, the second in an object stream where the layout allows, and a link annotation.
PdfBuilder twoPages(bool objectStreams) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>");
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Annots [7 0 R] >>");
    builder.addStream(4, "", "0 0 1 rg 100 600 200 100 re f");
    builder.addObject(5, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Contents 6 0 R >>");
    builder.addStream(6, "", "1 0 0 rg 10 10 100 100 re f", true);
    builder.addObject(7, "<< /Type /Annot /Subtype /Link /Rect [100 600 300 700] /Border [0 0 2] >>");
    builder.setTrailer("/Root 1 0 R /ID [<0102030405060708><0102030405060708>]");
    if (objectStreams) builder.putInObjectStream(8, {5});
    return builder;
}

// What a reader makes of a file: mutool's page boxes and a rendering of each page.
std::pair<std::string, std::vector<Image>> asRead(const std::string& pdf) {
    const std::string pages = runCommand("mutool pages " + shellQuote(pdf) + " 2>/dev/null").output;
    return {pages.substr(pages.find('\n')), drawPages(pdf, 20)};
}

// The jobs without and with -incremental.
std::pair<Job, Job> resizeBothWays(const TempDir& dir, const std::string& input) {
    writeFile(dir.file("in.pdf"), input);
    return {succeeded(dir.file("in.pdf"), dir, "whole", kOptions),
            succeeded(dir.file("in.pdf"), dir, "update", kOptions + std::string(" -incremental"))};
}

}  // namespace

TEST(Incremental, TheUpdateFollowsTheInputsBytesAndReadsLikeTheWholeOutput) {
    if (!haveTool("qpdf") || !haveTool("mutool")) GTEST_SKIP() << "qpdf and mutool are needed";
    PdfBuilder::Options table, stream, hybrid;
    stream.xrefStream = true;
    hybrid.hybrid = true;
    PdfBuilder junk = twoPages(false);
    junk.setLeadingJunk("junk before the header\n");
    TempDir qpdfDir;
    writeFile(qpdfDir.file("plain.pdf"), twoPages(true).build(stream));
    ASSERT_EQ(runCommand("qpdf --encrypt '' owner 128 --use-aes=y -- " + shellQuote(qpdfDir.file("plain.pdf")) + " " +
                         shellQuote(qpdfDir.file("encrypted.pdf"))).status, 0);
    const std::vector<std::tuple<const char*, std::string, const char*>> inputs = {  // name, bytes, update form
        {"classic table", twoPages(false).build(table), "xref\n"},
        {"cross-reference stream", twoPages(true).build(stream), "/Type /XRef"},
        {"hybrid", twoPages(true).build(hybrid), "xref\n"},
        {"junk before the header", junk.build(table), "xref\n"},
        {"an update already", twoPages(false).appendUpdate(twoPages(false).build(table), table), "xref\n"},
        {"encrypted", readFile(qpdfDir.file("encrypted.pdf")), "/Type /XRef"},
    };
    for (const auto& [name, input, form] : inputs) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto [whole, update] = resizeBothWays(dir, input);
        const std::string bytes = readFile(update.output);
        EXPECT_EQ(bytes.compare(0, input.size(), input), 0) << "the input's bytes come first, unchanged";
        EXPECT_NE(bytes.find(form, input.size()), std::string::npos) << "the update takes the input's form";
        const CommandResult check = runCommand("qpdf --check " + shellQuote(update.output));
        EXPECT_EQ(check.status, 0) << check.output;
        EXPECT_EQ(check.output.find("R = 4") != std::string::npos, std::string(name) == "encrypted") << check.output;
        const auto read = asRead(update.output);
        EXPECT_EQ(read.second.size(), 2u) << "pages drawn";
        EXPECT_TRUE(read == asRead(whole.output)) << "read differently";
        // In place, the file grows by the same update.
        ASSERT_EQ(inFolder(dir.path(), "in.pdf in.pdf " + std::string(kOptions) + " -incremental").status, 0);
        EXPECT_TRUE(readFile(dir.file("in.pdf")) == bytes) << "in place";
    }
}

// A signature field with a value: the job says what becomes of the signatures either way. An input
// that had to be repaired cannot take an update and is written whole.
TEST(Incremental, SignedAndRepairedInputsAreToldApart) {
    PdfBuilder signedForm = twoPages(false);
    signedForm.addObject(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [9 0 R] >> >>");
    signedForm.addObject(9, "<< /FT /Sig /T (Signature1) /V << /Type /Sig /Contents <00> >> >>");
    const std::string signedInput = signedForm.build();
    TempDir dir, other;
    const auto [whole, update] = resizeBothWays(dir, signedInput);
    EXPECT_NE(update.run.output.find(kSignedNote), std::string::npos) << update.run.output;
    EXPECT_NE(whole.run.output.find(kSignedWarning), std::string::npos) << whole.run.output;
    EXPECT_EQ(whole.run.output.find(kSignedNote), std::string::npos);
    const std::string plain = twoPages(false).build();
    const auto [repairedWhole, repaired] =
        resizeBothWays(other, plain.substr(0, plain.rfind("startxref")) + "startxref\n9\n%%EOF\n");
    EXPECT_NE(repaired.run.output.find("cannot take an update"), std::string::npos);
    EXPECT_EQ(repaired.run.output.find(kSignedWarning), std::string::npos) << "not signed";
    EXPECT_EQ(readFile(repaired.output), readFile(repairedWhole.output));
}

// Real signed documents: every signature pdfsig finds valid in the input stays valid in the update.
TEST(Incremental, RealSignaturesStayValid) {
    if (!haveTool("pdfsig")) GTEST_SKIP() << "pdfsig (poppler-utils) is needed";
    SKIP_WITHOUT_CORPUS();
    const auto valid = [](const std::string& pdf) {
        return countOf(runCommand("pdfsig " + shellQuote(pdf) + " 2>&1").output, "Signature is Valid.");
    };
    int checked = 0;
    for (const std::string& path : corpusFiles()) {
        if (path.find("sign") == std::string::npos) continue;
        const size_t before = valid(path);
        if (before == 0) continue;
        TempDir dir;
        const Job job = runJob(path, dir.path(), std::string(kOptions) + " -incremental");
        ASSERT_EQ(job.run.status, 0) << path << job.run.output;
        EXPECT_NE(job.run.output.find(kSignedNote), std::string::npos) << path;
        EXPECT_EQ(valid(job.output), before) << path;
        ++checked;
    }
    EXPECT_GT(checked, 0) << "the corpus holds signed files";
}
