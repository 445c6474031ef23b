// Objects inside object streams, in parsed and raw text form, and the caches that serve them.

#include <gtest/gtest.h>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/security/ObjectEncryptor.h"
#include "pdf/xref/PdfObjectStream.h"
#include "tests/support/PdfBuilder.h"
#include "tests/xref/XRefFixtures.h"

namespace {

const std::string kTwo = "/Type /ObjStm /N 2 /First 10";

// Object 10 is an object stream with the given dictionary and data; the cross-reference stream puts
// objects 11 and 12 at its indexes 0 and 1.
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

// An object in both forms: its value (the /K of a dictionary) and its text.
std::string both(CPdfXRef& xref, int number, unsigned generation = 0) {
    const CPdfElement object = fetchObject(xref, number, generation);
    CPdfElement value;  // lookup writes into an empty element
    if (object.is(kindDictionary)) object.getDictionary()->lookup("K", value);
    uint32_t length = 0;
    const char* text = xref.getCompressedObjectText(number, generation, length);
    return describe(object.is(kindDictionary) ? value : object) + " | " + (text ? std::string(text, length) : "none");
}

}  // namespace

// Objects are taken by index and must carry the number asked for; bad headers give none.
TEST(ObjectStream, ObjectsAreFoundByIndexAndOffsetsStayInsideTheData) {
    const std::vector<std::vector<std::string>> cases = {
        // Texts run to the next object or the end; parsed objects resolve references through the table.
        {kTwo, "11 0 12 5 (ab) << /K 11 0 R >>\n", "(ab) | (ab) ", "(ab) | << /K 11 0 R >>\n"},
        {kTwo, "11 0 14 5 (ab) (cd)", "(ab) | (ab) ", "null | none"},  // index 1 holds object 14, not 12
        {"/Type /ObjStm /First 10", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},         // no N
        {"/Type /ObjStm /N 2.0 /First 10", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},
        {"/Type /ObjStm /N -2 /First 10", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},
        {"/Type /ObjStm /N 2000000000 /First 10", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},
        {"/Type /ObjStm /N 2", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},              // no First
        {"/Type /ObjStm /N 2 /First 500", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},
        {"/Type /ObjStm /N 2 /First -3", "11 0 12 5 (ab) (cd)", "null | none", "null | none"},
        {kTwo, "11 0 12 /x (ab) (cd)", "null | none", "null | none"},                             // a bad pair
        {"/Type /ObjStm /N 2 /First 12", "11 5 12 -1  (ab) (cd)", "(cd) | (cd)", "null | none"},
        {"/Type /ObjStm /N 2 /First 12", "11 5 12 0   (ab) (cd)", "(cd) | (cd)", "(ab) | (ab) (cd)"},  // reversed
        {"/Type /ObjStm /N 2 /First 12", "11 0 12 99  (ab) (cd)", "(ab) | (ab) (cd)", "null | none"},
    };
    for (const std::vector<std::string>& c : cases) {
        SCOPED_TRACE(c[0] + " | " + c[1]);
        auto pdf = withObjectStream(c[1], c[0]);
        EXPECT_EQ(both(pdf->xref(), 11), c[2]);
        EXPECT_EQ(both(pdf->xref(), 12), c[3]);
    }
    auto pdf = withObjectStream("11 0 12 5 (ab) (cd)");
    EXPECT_EQ(both(pdf->xref(), 12, 1), "null | none");  // another generation
    uint32_t length = 0;
    EXPECT_EQ(pdf->xref().getCompressedObjectText(1, 0, length), nullptr);  // not compressed
    EXPECT_EQ(messageOf([&] { pdf->xref().getCompressedObjectText(14, 0, length); }), "Corrupted PDF file");
}

TEST(ObjectStream, CachedObjectsAndTextsStayRightAcrossManyStreams) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog >>");
    const int streams = 80;  // more than the cache holds
    for (int i = 0; i < streams; ++i) {
        builder.addObject(100 + i, "<< /K " + std::to_string(i) + " /Filler (" + std::string(2000, 'x') + ") >>");
        builder.putInObjectStream(300 + i, {100 + i});
    }
    builder.setTrailer("/Root 1 0 R");
    PdfBuilder::Options options;
    options.xrefStream = true;
    OpenedPdf pdf(builder.build(options));
    CPdfXRef& xref = pdf.open();
    uint32_t length = 0;
    const char* text = xref.getCompressedObjectText(100, 0, length);
    ASSERT_NE(text, nullptr);
    const std::string copy(text, length);
    // The text stays valid while other streams are read in parsed form, and each reads right back and forth.
    for (const int i : {1, 79, 2, 40, 79, 1}) {
        const std::string k = std::to_string(i);
        EXPECT_EQ(both(xref, 100 + i).substr(0, 2 * k.size() + 9), k + " | << /K " + k);
    }
    EXPECT_EQ(std::string(text, length), copy);
}

TEST(ObjectStream, BombsAndObjectsThatLeadBackToThemselvesEndQuietlyOrWithAMessage) {
    const auto bomb = withObjectStream(deflateBytes(std::string(CPdfObjectStreamData::kMaxDecodedBytes + 1, ' ')),
                                       kTwo + " /Filter /FlateDecode");
    EXPECT_EQ(messageOf([&] { both(bomb->xref(), 11); }), "Object stream too large");

    // Object stream 10 lists itself as compressed in itself; object 11 lives in it.
    HandPdf pdf;
    pdf.object(5, "<< /Length 5 0 R >>\nstream\nabc\nendstream");
    pdf.section("");
    pdf.stream(12, "/Type /XRef /Size 13 /W [1 2 1] /Index [1 1 5 1 10 2] /Root 1 0 R",
               row(1, pdf.offsetOf(1), 0) + row(1, pdf.offsetOf(5), 0) + row(2, 10, 0) + row(2, 10, 1));
    OpenedPdf opened(pdf.finish());
    CPdfXRef& xref = opened.open();
    EXPECT_EQ(both(xref, 11), "null | none");
    EXPECT_EQ(both(xref, 10), "null | none");
    EXPECT_TRUE(fetchObject(xref, 5).is(kindError));  // a Length that names its own stream is no length
}

TEST(ObjectStream, AnEncryptedObjectStreamIsDecryptedAsAWholeAndItsStringsNotAgain) {
    const uint8_t key[5] = {9, 8, 7, 6, 5};
    auto pdf = withObjectStream(ObjectEncryptor(key, 5, kCipherRc4).encrypt("11 0 12 9 (stored) (other)", 10, 0));
    pdf->xref().setEncryption(0xFFFFFFFC, false, key, 5, 1, kCipherRc4);
    EXPECT_EQ(both(pdf->xref(), 11), "(stored) | (stored) ");
    EXPECT_EQ(both(pdf->xref(), 12), "(other) | (other)");
}
