// Cross-reference data that no longer fits the bytes is rebuilt from the objects: the job says so and writes a
// sound file with every page, the newest version of each object and decryption intact.

#include <functional>

#include "tests/integration/Jobs.h"

namespace {

constexpr char kRebuilt[] = "rebuilt from the objects in the file";
constexpr char kNewerBox[] = "/MediaBox [ 0.000000 0.000000 300.000000 300.000000 ]";

// Three pages; the second lies in an object stream when `objectStreams` is set.
PdfBuilder threePages(bool objectStreams) {
    PdfBuilder builder = simpleDocumentBuilder(3);
    if (objectStreams) builder.putInObjectStream(10, {3, 6});
    return builder;
}

// The file with its first page replaced by an update that makes it 300 by 300 points.
std::string updated(const PdfBuilder& base, const PdfBuilder::Options& options) {
    PdfBuilder update;
    update.addObject(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents 5 0 R >>");
    update.setTrailer("/Root 1 0 R");
    return update.appendUpdate(base.build(options), options);
}

using Damage = std::function<std::string(const std::string&)>;

}  // namespace

// Encrypted object streams can be read only once the key is known: they join the table then.
TEST(Repair, DamagedCrossReferenceDataIsRebuiltFromTheObjects) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is needed";
    PdfBuilder::Options table, stream;
    stream.xrefStream = true;
    TempDir qpdfDir;
    const std::string plain = qpdfDir.file("plain.pdf"), encrypted = qpdfDir.file("encrypted.pdf");
    writeFile(plain, updated(threePages(true), stream));
    ASSERT_EQ(runCommand("qpdf --object-streams=generate --encrypt '' owner 128 --use-aes=y -- " + shellQuote(plain) +
                         " " + shellQuote(encrypted)).status, 0);
    const std::vector<std::pair<const char*, std::string>> inputs = {
        {"classic table", updated(threePages(false), table)},
        {"object streams", updated(threePages(true), stream)},
        {"encrypted object streams", readFile(encrypted)},
    };
    const std::vector<std::pair<const char*, Damage>> damages = {
        {"40 bytes after the header line",
         [](const std::string& pdf) { return pdf.substr(0, 9) + std::string(39, '%') + "\n" + pdf.substr(9); }},
        {"startxref pointing nowhere",
         [](const std::string& pdf) { return pdf.substr(0, pdf.rfind("startxref")) + "startxref\n999999999\n%%EOF\n"; }},
        {"no startxref left", [](std::string pdf) {
             for (size_t at = pdf.find("startxref"); at != std::string::npos; at = pdf.find("startxref", at)) {
                 pdf[at] = '%';
             }
             return pdf;
         }},
        {"a line inserted before the second object", [](const std::string& pdf) {
             const size_t second = pdf.find("\n2 0 obj") + 1;
             return pdf.substr(0, second) + "% an editor's note\n" + pdf.substr(second);
         }},
    };
    for (const auto& [layout, input] : inputs) {
        ASSERT_NE(input.find("\n2 0 obj"), std::string::npos) << layout;
        for (const auto& [damage, apply] : damages) {
            SCOPED_TRACE(std::string(layout) + ", " + damage);
            TempDir dir;
            writeFile(dir.file("in.pdf"), apply(input));
            const Job job = succeeded(dir.file("in.pdf"), dir, "out", "");
            EXPECT_NE(job.run.output.find(kRebuilt), std::string::npos) << job.run.output;
            const CommandResult check = runCommand("qpdf --check --show-npages " + shellQuote(job.output));
            EXPECT_EQ(check.status, 0) << check.output;
            EXPECT_NE(check.output.find("\n3\n"), std::string::npos) << check.output;
            EXPECT_NE(readFile(job.output).find(kNewerBox), std::string::npos) << "the update's page wins";
        }
    }
}

// Readers show a content stream whose /Length is wrong: the page is wrapped and the stream copied as it stands.
TEST(Repair, AContentStreamWithAWrongLengthStaysThePagesContent) {
    constexpr char kDamaged[] = "5 0 obj\n<< /Length 999 >>\nstream\nBT /F1 12 Tf 72 720 Td (Page 1) Tj ET\nendstream\nendobj\n";
    PdfBuilder builder = simpleDocumentBuilder(1);
    builder.addRawObject(5, kDamaged);
    TempDir dir;
    writeFile(dir.file("in.pdf"), builder.build());
    for (const char* options : {"-scale50", "-scale50 -incremental"}) {
        SCOPED_TRACE(options);
        const Job job = succeeded(dir.file("in.pdf"), dir, std::to_string(std::string(options).size()), options);
        const std::string output = readFile(job.output);
        EXPECT_NE(output.find("/Contents  [  6 0 R  5 0 R   7 0 R  ]"), std::string::npos);
        EXPECT_NE(output.find(kDamaged), std::string::npos);
    }
}
