// Opening a document: header, failures, unauthorised encryption, the page tree; files against qpdf.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <iomanip>

#include "pdf/document/PdfCatalog.h"
#include "pdf/document/PdfDocument.h"
#include "pdf/document/PdfOutline.h"
#include "pdf/document/PdfPageTree.h"
#include "tests/support/GeneratedPdfs.h"
#include "tests/support/PdfBuilder.h"
#include "tests/xref/XRefFixtures.h"

namespace {

using Objects = std::map<int, std::string>;

constexpr char kCatalog[] = "<< /Type /Catalog /Pages 2 0 R >>";
constexpr char kNoPages[] = "<< /Type /Pages /Kids [] /Count 0 >>";
constexpr char kPage[] = "<< /Type /Page >>";

// The catalog as object 1 (none when empty), the top pages node as object 2.
PdfBuilder builderOf(const std::string& catalog, const std::string& pages, const Objects& objects = {}) {
    PdfBuilder builder;
    if (!catalog.empty()) builder.addObject(1, catalog);
    builder.addObject(2, pages);
    for (const auto& [number, body] : objects) builder.addObject(number, body);
    builder.setTrailer("/Root 1 0 R");
    return builder;
}

std::string openPath(const std::string& path, CPdfDocument* document = nullptr) {
    CPdfDocument local;
    return messageOf([&] { (document ? *document : local).open(path.c_str(), nullptr, nullptr); });
}

// The open file outlives its name; `load` also reads the catalog, which opening alone does not.
std::string openBytes(const std::string& bytes, CPdfDocument* document = nullptr, bool load = false) {
    TempDir dir;
    writeFile(dir.file("in.pdf"), bytes);
    const std::string opened = openPath(dir.file("in.pdf"), document);
    return opened == "ok" && load ? messageOf([&] { document->getCatalog(); }) : opened;
}

TEST(DocumentOpen, HeaderIsSoughtUpToPosition1017) {
    // Junk before the header moves every offset with it; junk inside the header text (not found at 1018) does not.
    for (const auto& [junk, inHeader, start, repaired] : {std::tuple<size_t, size_t, size_t, bool>{1017, 0, 1017, false},
                                                          {0, 1018, 0, false}, {0, 1017, 1017, true}}) {
        PdfBuilder builder = builderOf(kCatalog, "<< /Kids [3 0 R] /Count 1 >>", {{3, kPage}});
        builder.setLeadingJunk(std::string(junk, 'x')), builder.setHeader(std::string(inHeader, 'x') + "%PDF-1.4\n");
        CPdfDocument document;
        ASSERT_EQ(openBytes(builder.build(), &document), "ok") << start;
        EXPECT_EQ(std::to_string(document.getXRef()->getStart()) + (document.getXRef()->wasRepaired() ? " rebuilt" : ""),
                  std::to_string(start) + (repaired ? " rebuilt" : ""));
    }
    EXPECT_EQ(openBytes("%PDF"), "PDF file was damaged") << "a cut header never matches past the end";
}

TEST(DocumentOpen, FailuresLeaveTheDocumentClosed) {
    CPdfDocument document;
    EXPECT_NE(openBytes("", &document), "ok");
    EXPECT_TRUE(!document.isOk() && !document.getXRef() && !document.getCatalog());
    EXPECT_TRUE(openBytes(builderOf(kCatalog, kNoPages).build(), &document) == "ok" && document.getXRef()) << "reopened";
    EXPECT_EQ(openPath("/nonexistent/in.pdf"), "Can't open file");
    // Files of 2 GiB and more are refused; one byte less is read like any other (this one has no startxref).
    TempDir dir;
    writeFile(dir.file("huge.pdf"), "");
    std::error_code error;
    std::filesystem::resize_file(dir.file("huge.pdf"), uintmax_t(1) << 31, error);
    if (error) GTEST_SKIP() << "no sparse file of 2 GiB here: " << error.message();
    EXPECT_EQ(openPath(dir.file("huge.pdf")), "File too large (2 GiB or more)");
    std::filesystem::resize_file(dir.file("huge.pdf"), (uintmax_t(1) << 31) - 1);
    EXPECT_EQ(openPath(dir.file("huge.pdf")), "PDF file was damaged");
}

TEST(DocumentOpen, EncryptionThatCannotBeAuthorisedLeavesTheCrossReferenceReadable) {
    const std::string keys = " /O <" + std::string(64, 'A') + "> /U <" + std::string(64, 'A') + "> /P -4 >>";
    for (const std::string& encrypt :  // not the Standard handler; the Standard one, but no password matches
         {"<< /Filter /FooSecurity /V 1 /R 2" + keys, "<< /Filter /Standard /V 2 /R 3 /Length 128" + keys}) {
        PdfBuilder builder = builderOf(kCatalog, kNoPages, {{9, encrypt}});
        builder.setTrailer("/Root 1 0 R /Encrypt 9 0 R /ID [<00112233445566778899AABBCCDDEEFF> <00>]");
        CPdfDocument document;
        ASSERT_EQ(openBytes(builder.build(), &document), "ok") << encrypt;
        EXPECT_TRUE(!document.isOk() && !document.getCatalog() && !document.getOutline()) << encrypt;
        CPdfElement catalog;
        EXPECT_TRUE((document.getXRef()->fetch(1, 0, catalog), catalog.is(kindDictionary))) << encrypt;
    }
}

TEST(PageTree, LeavesComeInWalkOrderOrTheTreeIsRefused) {
    const std::string kids = "Kids object is wrong type", kid = "Kid object is wrong type";
    const std::string top = "Top-level pages object is wrong type";
    // Catalog, top node, object 10; each page's number and rotation (its identity here), or the message.
    const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
        // Depth first in Kids order, through direct nodes; a page may be listed twice. Pages 20 to 24 turn by their number.
        {kCatalog, "<< /Kids [22 0 R 5 0 R 21 0 R << /Kids [24 0 R] >> << /Kids [23 0 R] >>] /Count 6 >>", "",
         "1:22 2:20 3:23 4:21 5:24 6:23 "},
        {"", kNoPages, "", "Catalog object is wrong type"},  // no object 1: a Root whose entry is free
        {"<< /Type /Catalog >>", kNoPages, "", top}, {kCatalog, "[10 0 R]", kPage, top},
        // Count is only a hint; a kid without Kids is a page, whatever its Type says.
        {kCatalog, "<< /Kids [10 0 R] /Count 99 >>", "<< /MediaBox [0 0 1 1] >>", "1:0 "},
        {kCatalog, "<< /Count 1 >>", "", kids}, {kCatalog, "<< /Kids 10 0 R /Count 1 >>", kPage, kids},
        // Not a dictionary, a wrong generation.
        {kCatalog, "<< /Kids [10 0 R 12] /Count 1 >>", kPage, kid}, {kCatalog, "<< /Kids [10 1 R] /Count 1 >>", kPage, kid},
    };
    for (const auto& [catalog, pages, page10, expected] : rows) {
        Objects objects = {{5, "<< /Type /Pages /Kids [20 0 R 6 0 R] >>"}, {6, "<< /Kids [23 0 R] >>"}};
        for (int n = 20; n <= 24; ++n) objects[n] = "<< /Type /Page /Rotate " + std::to_string(n) + " >>";
        if (!page10.empty()) objects[10] = page10;
        CPdfDocument document;
        std::string result = openBytes(builderOf(catalog, pages, objects).build(), &document, true);
        if (result == "ok") {
            result.clear();
            for (const CPdfPage& leaf : document.getCatalog()->getPages())
                result += std::to_string(leaf.getPageNumber()) + ":" + std::to_string(leaf.getRotate()) + " ";
        }
        EXPECT_EQ(result, expected) << catalog << pages << page10;
    }
}

// `levels` nodes below the top, each listing the next `width` times, down to one page.
std::string nestedTree(int levels, int width) {
    Objects objects = {{1000, kPage}};
    for (int level = 1; level <= levels; ++level) {
        std::string kids;
        for (int i = 0; i < width; ++i) kids += (level == levels ? "1000" : std::to_string(level + 3)) + " 0 R ";
        objects[level + 2] = "<< /Type /Pages /Kids [" + kids + "] >>";
    }
    return builderOf(kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", objects).build();
}

TEST(PageTree, DepthAndWorkAreBounded) {
    CPdfDocument document;
    EXPECT_EQ(openBytes(nestedTree(CPdfPageTree::kMaxDepth, 1), &document, true), "ok");
    EXPECT_EQ(openBytes(nestedTree(CPdfPageTree::kMaxDepth + 1, 1), &document, true), "Page tree is nested too deeply");
    // Every kid counts against the budget, also a page listed again; this tree has seven.
    ASSERT_EQ(openBytes(nestedTree(1, 6), &document), "ok");
    CPdfCatalog catalog;
    EXPECT_EQ(messageOf([&] { catalog.load(*document.getXRef(), 7); }), "ok");
    EXPECT_EQ(messageOf([&] { catalog.load(*document.getXRef(), 6); }), "Page tree has too many nodes");
}

// Page count, rotations, outline titles where they differ from qpdf's, or ""; `compared` counts fair comparisons.
std::string disagreement(const std::string& path, std::atomic<int>& compared) {
    if (runCommand("qpdf --show-npages " + shellQuote(path)).status != 0) return "";
    // Its object-stream indexes contradict the object stream's header: qpdf repairs, this reader trusts the index.
    if (path.find("qpdf_object-stream-self-ref.pdf") != std::string::npos) return "";
    const std::string script = shellQuote(QUILLMOR_SOURCE_DIR "/tests/document/qpdf_facts.py");
    const CommandResult facts = runCommand("python3 " + script + " " + shellQuote(path));
    if (facts.status != 0) return facts.output;
    CPdfDocument document;
    const std::string opened = openPath(path, &document);
    // Encryption beyond RC4 and AES-128, or that the empty password does not open, is no disagreement about structure.
    if (opened != "ok" || !document.isOk())
        return runCommand("qpdf --is-encrypted " + shellQuote(path)).status == 0 ? "" : "not read: " + opened;
    ++compared;
    const std::vector<CPdfPage>& pages = document.getCatalog()->getPages();
    const std::vector<OutlineItem>& items = document.getOutline()->getItems();
    std::ostringstream text;
    text << "pages " << pages.size() << "\n";
    for (size_t i = 0; i < pages.size(); ++i) text << "rotate " << i << " " << pages[i].getRotate() << "\n";
    text << "outline " << items.size() << "\n" << std::setfill('0');
    for (size_t i = 0; i < items.size(); ++i) {
        text << "title " << std::dec << i << " " << std::hex << (items[i].getTitle().empty() ? "-" : "");
        for (uint32_t value : items[i].getTitle()) text << std::setw(4) << value;
        text << "\n";
    }
    // Strings inside dictionaries are not decrypted, so an encrypted file's titles are not comparable.
    const size_t titles = document.getXRef()->isEncrypted() ? facts.output.find("title ") : std::string::npos;
    const std::string ours = text.str().substr(0, titles), theirs = facts.output.substr(0, titles);
    return ours == theirs ? "" : "ours:\n" + ours + "qpdf's:\n" + theirs;
}

class AgreesWithQpdf : public testing::TestWithParam<std::string> {};

TEST_P(AgreesWithQpdf, PagesRotationsAndOutlineTitles) {
    if (!haveTool("qpdf") || !haveTool("python3")) GTEST_SKIP() << "qpdf or python3 missing";
    const std::string path = generatedPdf(GetParam());
    std::atomic<int> compared{0};
    EXPECT_EQ(disagreement(path, compared), "");
    EXPECT_EQ(compared.load(), 1) << "no fair comparison";
}

INSTANTIATE_TEST_SUITE_P(Generated, AgreesWithQpdf, testing::ValuesIn(generatedNames()),
                         [](const testing::TestParamInfo<std::string>& info) { return testNameOf(info.param); });

TEST(CorpusAgreesWithQpdf, PagesRotationsAndOutlineTitles) {
    SKIP_WITHOUT_CORPUS();
    if (!haveTool("qpdf") || !haveTool("python3")) GTEST_SKIP() << "qpdf or python3 missing";
    const std::vector<std::string> files = corpusFiles();
    std::atomic<int> compared{0};
    for (const std::string& problem : judgeInParallel(files.size(), [&](size_t i, const std::string&) {
             const std::string problem = disagreement(files[i], compared);
             return problem.empty() ? problem : files[i] + ": " + problem;
         }))
        ADD_FAILURE() << problem;
    EXPECT_GT(compared.load(), static_cast<int>(files.size()) / 2) << "most files are a fair comparison";
}

}  // namespace
