// Damaged and hostile files end with a message or open, never with a crash or a hang; hybrid files, where entries
// lead, object streams and their caches, and every layout in files against qpdf.
#include <gtest/gtest.h>

#include <sstream>

#include "pdf/parser/PdfParser.h"
#include "pdf/security/ObjectEncryptor.h"
#include "tests/support/GeneratedPdfs.h"
#include "tests/support/PdfBuilder.h"
#include "tests/xref/XRefFixtures.h"

namespace {

const std::string kDamaged = "PDF file was damaged", kRepaired = "repaired";

// "ok" when read as they are, "repaired" when rebuilt from the objects (catalog 1 found), or the message.
std::string openResult(const std::string& bytes) {
    OpenedPdf pdf(bytes);
    const std::string message = messageOf([&] { pdf.open(); });
    if (message != "ok" || !pdf.xref().wasRepaired()) return message;
    return pdf.xref().getRootRef().number == 1 && fetchObject(pdf.xref(), 1).is(kindDictionary) ? kRepaired
                                                                                                 : "no catalog";
}

// A catalog (at offset 9) and, at startxref, the given classic section or cross-reference stream (object 2).
std::string withSection(const std::string& section) {
    HandPdf pdf;
    return pdf.section(section), pdf.finish();
}
std::string withXRefStream(const std::string& dictEntries, const std::string& data = row(1, 9, 0)) {
    return withSection("2 0 obj\n" + streamText("/Type /XRef /Root 1 0 R " + dictEntries, data) + "\nendobj\n");
}

const std::string kHead = "xref\n0 2\n" + tableRow(0, 65535, 'f') + tableRow(9, 0, 'n');

// Sections that cannot be used, whatever is wrong with them, give way to a table rebuilt from the objects.
TEST(MalformedXRef, DamagedSectionsAreRebuiltFromTheObjects) {
    const std::string trailer = kHead + "trailer\n";
    // Without any object there is nothing to rebuild from.
    const std::pair<std::string, std::string> cases[] = {
        {"", kDamaged}, {"%PDF-1.4\nstartxref\n99999999999\n%%EOF\n", kDamaged},
        {"%PDF-1.5\n2 x obj\n<< >>\nstream\n\nendstream\nstartxref\n9\n%%EOF\n", kDamaged},
        {withSection(trailer + "<< /Root 1 0 R >>\n"), "ok"}, {withXRefStream("/Size 2 /W [1 2 1] /Index [1 1]"), "ok"},
        {withSection(trailer + "<< /Root 1 0 R /XRefStm 9 >>\n"), "ok"},  // no cross-reference stream there: ignored
        {withXRefStream("/Size 2 /W [1 2 1 9] /Index [1 1 7]"), "ok"},
        {withXRefStream("/Size 2 /W [0 0 0] /Index [1 1 2 100000]", ""), kRepaired},  // no bytes still cost one each
        {withXRefStream("/Size 2 /W [1 2 1] /Index [1 1]", row(3, 9, 0)), kRepaired},
    };
    for (const auto& [input, result] : cases) EXPECT_EQ(openResult(input), result) << input.substr(0, 120);
    for (const std::string& section : {trailer + "[/Root 1 0 R]\n", kHead + "/trailer << /Root 1 0 R >>\n",
             "xref\n0 2\n" + tableRow(0, 65535, 'f') + "0000000009 00000 x \ntrailer<<>>", std::string("xref\n0 x\n"),
             trailer + "<< /Root << /Type /Catalog >> >>\n", trailer + "<< /Info 1 0 R >>\n", std::string("junk\n"),
             trailer + "<< /Root 1 0 R /Prev 999999 >>\n", std::string("xref\n0 2000000000\n"),  // absurd sizes
             "xref\n0 100000\n" + tableRow(0, 65535, 'f'), kHead + "2147483000 1\n" + tableRow(0, 0, 'f'),
             std::string("2 0 obj\n<< /Type /XRef /Size 2 /W [1 2 1] >>\nendobj\n"),
             // A sound section that points at the wrong bytes.
             "xref\n0 2\n" + tableRow(0, 65535, 'f') + tableRow(5, 0, 'n') + "trailer\n<< /Root 1 0 R >>\n"})
        EXPECT_EQ(openResult(withSection(section)), kRepaired) << section;
    for (const char* entries : {"/Size 2147483647 /W [1 2 1] /Index [1 1]", "/Size 2 /W [1 2 1] /Index [1 1 5 8388608]",
             "/Size 2 /W [1 2 1] /Index [-1 2]", "/Size 2 /W [1 -2 1] /Index [1 1]", "/W [1 2 1] /Index [1 1]",
             "/Size 2 /W 7 0 R /Index [1 1]", "/Size 2 /W [1 2] /Index [1 1]", "/Size 2 /W [1 2 1] /Index [1 /One]",
             "/Size 2 /W [1 2 1] /Index [1 1 2 1]"})
        EXPECT_EQ(openResult(withXRefStream(entries)), kRepaired) << entries;
}

TEST(MalformedXRef, EveryCutThroughATableStillOpens) {
    const std::string section = kHead + "trailer\n<< /Size 2 /Root 1 0 R >>\n";
    // Once the Root reference is whole, the end of the input closes the trailer and the sections serve.
    for (size_t cut = 0; cut < section.size(); ++cut)
        EXPECT_EQ(openResult(withSection(section.substr(0, cut))), cut >= section.find("R >>") + 2 ? "ok" : kRepaired) << cut;
}

// Prev chains that come back end there; Length chains end the fetch with a message (array nesting is the parser's).
TEST(MalformedXRef, PrevAndLengthChainsEnd) {
    EXPECT_EQ(openResult(withSection(kHead + "trailer\n<< /Root 1 0 R /Prev 45 >>\n")), "ok");  // Prev is itself
    HandPdf pdf;  // two sections that name each other, the second in the form of a reference
    pdf.object(2, "(two)");
    const uint32_t first = pdf.position();
    const std::string firstSection = "xref\n1 1\n" + tableRow(pdf.offsetOf(1), 0, 'n') + "trailer << /Prev ";
    const uint32_t second = first + static_cast<uint32_t>(firstSection.size() + 14);  // 10 digits and " >>\n"
    pdf.bytes += (firstSection + tableRow(second, 0, 'n').substr(0, 10) + " >>\n");
    pdf.section("xref\n2 1\n" + tableRow(pdf.offsetOf(2), 0, 'n') + "trailer\n<< /Root 1 0 R /Prev " +
            std::to_string(first) + " 0 R >>\n");
    OpenedPdf opened(pdf.finish());
    CPdfXRef& prev = opened.open();
    EXPECT_TRUE(prev.getEntries()[1].offset == pdf.offsetOf(1) && describe(fetchObject(prev, 2)) == "(two)");

    PdfBuilder builder;
    const int depth = CPdfParser::kMaxNesting - 2;  // each object nests a stream deep in arrays
    for (int number = 2; number < 60; ++number)
        builder.addObject(number, std::string(depth, '[') + "<< /Length " + std::to_string(number + 1) +
                                      " 0 R >>\nstream\nx\nendstream" + std::string(depth, ']'));
    builder.addObject(60, "1"), builder.setTrailer("/Root 60 0 R");
    OpenedPdf lengths(builder.build());
    CPdfXRef& xref = lengths.open();
    EXPECT_EQ(messageOf([&] { fetchObject(xref, 2); }), "Object references nested too deeply");
    // The end of the chain is in reach from close enough.
    EXPECT_TRUE(fetchObject(xref, 60 - static_cast<int>(CPdfXRef::kMaxFetchDepth) + 1).is(kindArray));
}

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
