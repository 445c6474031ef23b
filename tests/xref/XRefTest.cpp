// Hybrid files, where entries lead, object streams and their caches, and every layout in files against qpdf.
#include <gtest/gtest.h>

#include <sstream>

#include "pdf/security/ObjectEncryptor.h"
#include "tests/support/GeneratedPdfs.h"
#include "tests/support/PdfBuilder.h"
#include "tests/xref/XRefFixtures.h"

namespace {

const std::string kFree = tableRow(0, 0, 'f');

TEST(XRef, AHybridStreamFillsOnlyWhatItsTableLeftUndefinedOrFree) {
    HandPdf pdf;
    pdf.object(2, "(two from the table)");
    pdf.stream(4, "/Type /ObjStm /N 3 /First 14", "2 0 3 22 5 30 (two from the stream) (three) (five)");
    const uint32_t olderTable = pdf.position();
    pdf.bytes += "xref\n0 7\n" + tableRow(0, 65535, 'f') + tableRow(pdf.offsetOf(1), 0, 'n') + kFree + kFree +
                 tableRow(pdf.offsetOf(4), 0, 'n') + kFree + kFree + "trailer\n<< /Root 1 0 R >>\n";
    pdf.object(6, "(six)");
    // 2: the newer table says in use; 3: free there; 5: undefined there; 6: in use there.
    const uint32_t hybridStream = pdf.position();
    pdf.stream(8, "/Type /XRef /Size 9 /W [1 2 1] /Index [2 2 5 2] /Prev 999999",
               row(2, 4, 0) + row(2, 4, 1) + row(2, 4, 2) + row(1, 0, 0));
    pdf.section("xref\n2 2\n" + tableRow(pdf.offsetOf(2), 0, 'n') + kFree + "6 1\n" +
                tableRow(pdf.offsetOf(6), 0, 'n') + "trailer\n<< /Root 1 0 R /Prev " + std::to_string(olderTable) +
                " /XRefStm " + std::to_string(hybridStream) + " >>\n");
    OpenedPdf opened(pdf.finish());
    CPdfXRef& xref = opened.open();
    EXPECT_EQ(describe(fetchObject(xref, 2)) + describe(fetchObject(xref, 3)) + describe(fetchObject(xref, 5)) +
              describe(fetchObject(xref, 6)), "(two from the table)(three)(five)(six)");
    // The older table still fills what neither newer part defined; the stream's Prev is not read.
    EXPECT_EQ(xref.getEntries()[4].offset, pdf.offsetOf(4));
}

TEST(XRef, FetchFindsNothingWhereTheEntryDoesNotLead) {
    HandPdf pdf;
    pdf.object(8, "(eight)");
    pdf.object(9, "(nine)", 3);
    pdf.object(13, "(thirteen)");
    const uint32_t eight = pdf.offsetOf(8), at = pdf.position();
    // 2: past the end; 3: free; 4: inside an object; 5: header; 6: generation 1 at 1; 7: at 8; 10-12: gap.
    pdf.bytes += ("xref\n0 10\n" + tableRow(0, 65535, 'f') + tableRow(pdf.offsetOf(1), 0, 'n') + tableRow(999999, 0, 'n') +
            tableRow(eight, 0, 'f') + tableRow(eight + 1, 0, 'n') + tableRow(0, 0, 'n') +
            tableRow(pdf.offsetOf(1), 1, 'n') + tableRow(eight, 0, 'n') + tableRow(eight, 0, 'n') +
            tableRow(pdf.offsetOf(9), 3, 'n') + "13 1\n" + tableRow(pdf.offsetOf(13), 0, 'n') +
            "trailer\n<< /Root 1 0 R >>\n");
    // The last startxref counts (the first here points at the header); its number is read like strtol.
    OpenedPdf opened(pdf.finish() + "startxref\r\n  \t" + std::to_string(at) + "\n%%EOF\n");
    CPdfXRef& xref = opened.open();
    for (const int n : {2, 3, 4, 5, 6, 7, 10, 11, 12}) EXPECT_EQ(describe(fetchObject(xref, n)), "null") << n;
    // The generation asked for must be the entry's.
    EXPECT_EQ(describe(fetchObject(xref, 8, 1)) + describe(fetchObject(xref, 9)), "nullnull");
    EXPECT_EQ(describe(fetchObject(xref, 8)) + describe(fetchObject(xref, 9, 3)) + describe(fetchObject(xref, 13)),
              "(eight)(nine)(thirteen)");
    for (const int n : {-1, 14, 1 << 30}) EXPECT_EQ(messageOf([&] { fetchObject(xref, n); }), "Corrupted PDF file");
}

const std::string kTwo = "/Type /ObjStm /N 2 /First 10";

// Object 10 is an object stream of this dictionary and data, holding objects 11 and 12 at indexes 0 and 1.
std::unique_ptr<OpenedPdf> withObjectStream(const std::string& data, const std::string& dict = kTwo) {
    HandPdf pdf;
    pdf.stream(10, dict, data);
    pdf.section("");
    pdf.stream(13, "/Type /XRef /Size 14 /W [1 2 1] /Index [1 1 10 3] /Root 1 0 R",
               row(1, pdf.offsetOf(1), 0) + row(1, pdf.offsetOf(10), 0) + row(2, 10, 0) + row(2, 10, 1));
    auto opened = std::make_unique<OpenedPdf>(pdf.finish());
    opened->open();
    return opened;
}

// An object in both forms: its value (the /K of a dictionary, looked up through the table) and its text.
std::string both(CPdfXRef& xref, int number, unsigned generation = 0) {
    const CPdfElement object = fetchObject(xref, number, generation);
    CPdfElement value;  // lookup writes into an empty element
    if (object.is(kindDictionary)) object.getDictionary()->lookup("K", value);
    uint32_t length = 0;
    const char* text = xref.getCompressedObjectText(number, generation, length);
    return describe(object.is(kindDictionary) ? value : object) + " | " + (text ? std::string(text, length) : "none");
}

// Objects are taken by index and must carry the number asked for; bad headers give none; decrypted once.
TEST(ObjectStream, ObjectsAreFoundByIndexAndOffsetsStayInsideTheData) {
    const std::vector<std::vector<std::string>> cases = {
        // Texts run to the next object or the end; parsed objects resolve references through the table.
        {kTwo, "11 0 12 5 (ab) << /K 11 0 R >>\n", "(ab) | (ab) ", "(ab) | << /K 11 0 R >>\n"},
        {kTwo, "11 0 14 5 (ab) (cd)", "(ab) | (ab) ", "null | none"},  // index 1 holds object 14, not 12
        {kTwo, "11 0 12 5 (ab) <</Length 2>> stream\nab\nendstream", "(ab) | (ab) ",  // no streams in there
         "error | <</Length 2>> stream\nab\nendstream"},
        {"/Type /ObjStm /N -2 /First 10", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},
        {"/Type /ObjStm /N 2000000000 /First 10", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},
        {"/Type /ObjStm /N 2 /First 500", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},
        {kTwo, "11 0 12 /x (ab) (cd)", "null | none", "null | none"},                             // a bad pair
        {"/Type /ObjStm /N 2 /First 12", "11 5 12 -1  (ab) (cd)", "(cd) | (cd)", "null | none"},
        {"/Type /ObjStm /N 2 /First 12", "11 5 12 0   (ab) (cd)", "(cd) | (cd)", "(ab) | (ab) (cd)"},  // reversed
        {"/Type /ObjStm /N 2 /First 12", "11 0 12 99  (ab) (cd)", "(ab) | (ab) (cd)", "null | none"},
    };
    for (const std::vector<std::string>& c : cases) {
        auto pdf = withObjectStream(c[1], c[0]);
        EXPECT_EQ(both(pdf->xref(), 11) + ", " + both(pdf->xref(), 12), c[2] + ", " + c[3]) << c[0] << " | " << c[1];
    }
    auto pdf = withObjectStream("11 0 12 5 (ab) (cd)");
    uint32_t length = 0;
    EXPECT_TRUE(both(pdf->xref(), 12, 1) == "null | none" && !pdf->xref().getCompressedObjectText(1, 0, length));
    EXPECT_EQ(messageOf([&] { pdf->xref().getCompressedObjectText(14, 0, length); }), "Corrupted PDF file");
    const uint8_t key[5] = {9, 8, 7, 6, 5};
    pdf = withObjectStream(ObjectEncryptor({key, 5, CipherKind::rc4}).encrypt("11 0 12 9 (stored) (other)", 10, 0));
    pdf->xref().setEncryption(0xFFFFFFFC, false, key, 5, 1, CipherKind::rc4);
    EXPECT_EQ(both(pdf->xref(), 11) + ", " + both(pdf->xref(), 12), "(stored) | (stored) , (other) | (other)");
}

TEST(ObjectStream, CachedObjectsAndTextsStayRightAcrossManyStreams) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog >>"), builder.setTrailer("/Root 1 0 R");
    for (int i = 0; i < 80; ++i) {  // more streams than the cache holds
        builder.addObject(100 + i, "<< /K " + std::to_string(i) + " /Filler (" + std::string(2000, 'x') + ") >>");
        builder.putInObjectStream(300 + i, {100 + i});
    }
    PdfBuilder::Options options;
    options.xrefStream = true;
    OpenedPdf pdf(builder.build(options));
    CPdfXRef& xref = pdf.open();
    uint32_t length = 0;
    const char* text = xref.getCompressedObjectText(100, 0, length);
    const std::string copy(text ? text : "", text ? length : 0);
    ASSERT_FALSE(copy.empty());
    // The text stays valid while other streams are read in parsed form, and each reads right back and forth.
    for (const std::string k : {"1", "79", "2", "40", "79", "1"})
        EXPECT_EQ(both(xref, 100 + std::stoi(k)).substr(0, 2 * k.size() + 9), k + " | << /K " + k);
    EXPECT_EQ(std::string(text, length), copy);
}

TEST(ObjectStream, ObjectsThatLeadBackToThemselvesGiveNothing) {
    // Object stream 10 lists itself as compressed in itself; object 11 lives in it.
    HandPdf pdf;
    pdf.object(5, "<< /Length 5 0 R >>\nstream\nabc\nendstream");
    pdf.section("");
    pdf.stream(12, "/Type /XRef /Size 13 /W [1 2 1] /Index [1 1 5 1 10 2] /Root 1 0 R",
               row(1, pdf.offsetOf(1), 0) + row(1, pdf.offsetOf(5), 0) + row(2, 10, 0) + row(2, 10, 1));
    OpenedPdf opened(pdf.finish());
    CPdfXRef& xref = opened.open();
    EXPECT_EQ(both(xref, 11) + ", " + both(xref, 10), "null | none, null | none");
    EXPECT_TRUE(fetchObject(xref, 5).is(kindError));  // a Length that names its own stream is no length
}

// Files where qpdf has no doubts agree with its listing, offsets counted from the header; returns how many.
int expectEntriesAgreeWithQpdf(const std::vector<std::string>& paths) {
    // Its object stream lists object 1 at the Root's index: we take objects by index, qpdf by number.
    const std::string rootNotFetched = "qpdf__qpdf_qtest_qpdf_object-stream-self-ref.pdf";
    int compared = 0;
    for (const std::string& path : paths) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        SCOPED_TRACE(name);
        const CommandResult check = runCommand("qpdf --check " + shellQuote(path) + " 2>&1");
        if (check.status != 0 || check.output.find("WARNING") != std::string::npos) continue;
        std::map<int, XRefEntry> expected;
        std::istringstream lines(runCommand("qpdf --show-xref " + shellQuote(path)).output);
        for (std::string text; std::getline(lines, text);) {
            unsigned n = 0, g = 0, at = 0, index = 0;
            if (std::sscanf(text.c_str(), "%u/%u: uncompressed; offset = %u", &n, &g, &at) == 3) expected[n] = {at, g, XRefEntryType::inUse};
            if (std::sscanf(text.c_str(), "%u/%u: compressed; stream = %u, index = %u", &n, &g, &at, &index) == 4)
                expected[n] = {at, index, XRefEntryType::compressed};
        }
        OpenedPdf pdf(readFile(path));
        EXPECT_TRUE(!expected.empty() && messageOf([&] { pdf.open(); }) == "ok");
        for (const auto& [number, want] : expected) {
            if (static_cast<size_t>(number) >= pdf.xref().getEntries().size()) { ADD_FAILURE() << number; break; }
            const XRefEntry& got = pdf.xref().getEntries()[number];
            EXPECT_EQ(std::tie(got.type, got.offset, got.generation), std::tie(want.type, want.offset, want.generation))
                << number;
        }
        const ObjectRef root = pdf.xref().getRootRef();
        CPdfElement catalog;
        EXPECT_EQ(messageOf([&] { catalog = fetchObject(pdf.xref(), root.number, root.generation); }), "ok");
        EXPECT_EQ(catalog.is(kindDictionary), name != rootNotFetched);
        ++compared;
    }
    return compared;
}

TEST(XRefAgreesWithQpdf, GeneratedFiles) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    std::vector<std::string> paths;
    for (const std::string& name : generatedNames()) paths.push_back(generatedPdf(name));
    EXPECT_EQ(expectEntriesAgreeWithQpdf(paths), static_cast<int>(paths.size())) << "qpdf doubts a generated file";
}

TEST(XRefAgreesWithQpdf, CorpusFiles) {
    SKIP_WITHOUT_CORPUS();
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    EXPECT_GT(expectEntriesAgreeWithQpdf(corpusFiles()), 0);
}

}  // namespace
