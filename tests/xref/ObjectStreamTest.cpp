// Objects inside object streams, in parsed and raw text form, and the caches that serve them.

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/security/ObjectEncryptor.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"
#include "tests/xref/HandPdf.h"
#include "tests/xref/OpenedPdf.h"

namespace {

// A file whose object 10 is an object stream with the given dictionary entries and data, and a
// cross-reference stream that puts objects 11 and 12 at indexes 0 and 1 of it.
std::string fileWithObjectStream(const std::string& dictEntries, const std::string& data) {
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    pdf.stream(10, dictEntries, data);
    const std::string rows = field(0, 1) + field(0, 2) + field(255, 1) + field(1, 1) + field(pdf.offsetOf(1), 2) +
                             field(0, 1) + field(1, 1) + field(pdf.offsetOf(10), 2) + field(0, 1) + field(2, 1) +
                             field(10, 2) + field(0, 1) + field(2, 1) + field(10, 2) + field(1, 1);
    const uint32_t xref = pdf.position();
    pdf.stream(13, "/Type /XRef /Size 14 /W [1 2 1] /Index [0 2 10 3] /Root 1 0 R", rows);
    return pdf.finish(xref);
}

std::string pump(z_stream& zlib, const std::vector<unsigned char>& input, int flush) {
    std::string packed;
    std::vector<unsigned char> out(1 << 16);
    zlib.next_in = const_cast<unsigned char*>(input.data());
    zlib.avail_in = static_cast<uInt>(input.size());
    do {
        zlib.next_out = out.data();
        zlib.avail_out = static_cast<uInt>(out.size());
        deflate(&zlib, flush);
        packed.append(reinterpret_cast<char*>(out.data()), out.size() - zlib.avail_out);
    } while (zlib.avail_out == 0);
    return packed;
}

// The zlib form of `mebibytes` MiB of zero bytes, about a thousandth of that size. Once the
// history is all zeros, each flushed MiB compresses to the same bytes, which are repeated.
std::string zeroBomb(size_t mebibytes) {
    z_stream zlib{};
    deflateInit(&zlib, Z_BEST_COMPRESSION);
    const std::vector<unsigned char> zeros(size_t{1} << 20, 0);
    std::string packed = pump(zlib, zeros, Z_SYNC_FLUSH);
    const std::string repeated = pump(zlib, zeros, Z_SYNC_FLUSH);
    std::string tail = pump(zlib, {}, Z_FINISH);
    deflateEnd(&zlib);
    for (size_t i = 1; i < mebibytes; ++i) packed += repeated;
    // The Adler-32 of n zero bytes: sum a stays 1, sum b is n.
    const uint32_t adler = static_cast<uint32_t>(((mebibytes << 20) % 65521) << 16 | 1);
    tail.replace(tail.size() - 4, 4, field(adler, 4));
    return packed + tail;
}

std::string textOf(CPdfXRef& xref, int number, unsigned generation = 0) {
    uint32_t length = 0;
    const char* text = xref.getCompressedObjectText(number, generation, length);
    return text ? std::string(text, length) : "none";
}

// The integer under `key` of a dictionary, or of its first entry when no key is given; -1 otherwise.
int integerIn(const CPdfElement& dictionary, const char* key = nullptr) {
    if (!dictionary.is(kindDictionary) || dictionary.getDictionary()->getLength() == 0) return -1;
    CPdfElement value;
    if (key) {
        dictionary.getDictionary()->lookup(key, value);
    } else {
        dictionary.getDictionary()->getValue(0, value);
    }
    return value.is(kindInteger) ? value.getInteger() : -1;
}

std::string messageOfFetch(CPdfXRef& xref, int number) {
    try {
        fetchObject(xref, number);
    } catch (const CPdfException& error) {
        return error.getMessage();
    }
    return "no exception";
}

}  // namespace

TEST(ObjectStream, ObjectsAreTakenByIndexAndMustCarryTheNumberAskedFor) {
    for (const bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "stored");
        PdfBuilder builder;
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
        builder.addObject(4, "[1 2 (three)]");
        builder.setTrailer("/Root 1 0 R");
        builder.putInObjectStream(8, {2, 3, 4}, compress);
        PdfBuilder::Options options;
        options.xrefStream = true;
        auto pdf = OpenedPdf::fromBytes(builder.build(options));
        CPdfXRef& xref = pdf->open();
        EXPECT_EQ(xref.getEntries()[3].type, 2u);
        const CPdfElement page = fetchObject(xref, 3);
        ASSERT_TRUE(page.is(kindDictionary));
        EXPECT_TRUE(page.getDictionary()->isType("Page"));
        // Parsed objects resolve through the table like any other.
        CPdfElement parent;
        page.getDictionary()->lookup("Parent", parent);
        ASSERT_TRUE(parent.is(kindDictionary));
        EXPECT_TRUE(parent.getDictionary()->isType("Pages"));
        const CPdfElement array = fetchObject(xref, 4);
        ASSERT_TRUE(array.is(kindArray));
        EXPECT_STREQ(array.getArray()->at(2).getString(), "three");
        EXPECT_TRUE(fetchObject(xref, 3, 1).is(kindNull));
        EXPECT_EQ(textOf(xref, 3, 1), "none");
    }

    // The cross-reference stream says index 1 for object 12, but the header puts object 14 there.
    auto pdf = OpenedPdf::fromBytes(fileWithObjectStream("/Type /ObjStm /N 2 /First 10", "11 0 14 5 (ab) (cd)"));
    CPdfXRef& xref = pdf->open();
    EXPECT_EQ(describe(fetchObject(xref, 11)), "(ab)");
    EXPECT_TRUE(fetchObject(xref, 12).is(kindNull));
    EXPECT_EQ(textOf(xref, 12), "none");
}

TEST(ObjectStream, TheTextOfAnObjectRunsToTheNextOneOrToTheEnd) {
    auto pdf = OpenedPdf::fromBytes(fileWithObjectStream("/Type /ObjStm /N 2 /First 10", "11 0 12 5 (ab) << /K [1 2] >>\n"));
    CPdfXRef& xref = pdf->open();
    EXPECT_EQ(textOf(xref, 11), "(ab) ");
    EXPECT_EQ(textOf(xref, 12), "<< /K [1 2] >>\n");
    EXPECT_EQ(describe(fetchObject(xref, 11)), "(ab)");
    EXPECT_EQ(describe(fetchObject(xref, 12)), "dictionary");
    // Only compressed entries have a text; numbers outside the table are an error.
    EXPECT_EQ(textOf(xref, 1), "none");
    uint32_t length = 0;
    EXPECT_THROW(xref.getCompressedObjectText(14, 0, length), CPdfException);
    EXPECT_THROW(xref.getCompressedObjectText(-1, 0, length), CPdfException);
}

TEST(ObjectStream, OneObjectStreamAtATimeKeepsItsParsedObjects) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog >>");
    builder.addObject(11, "<< /A 1 >>");
    builder.addObject(12, "<< /B 2 >>");
    builder.addObject(20, "<< /C 3 >>");
    builder.setTrailer("/Root 1 0 R");
    builder.putInObjectStream(30, {11, 12});
    builder.putInObjectStream(31, {20});
    PdfBuilder::Options options;
    options.xrefStream = true;
    auto pdf = OpenedPdf::fromBytes(builder.build(options));
    CPdfXRef& xref = pdf->open();

    const CPdfElement first = fetchObject(xref, 11);
    const CPdfElement again = fetchObject(xref, 11);
    EXPECT_EQ(first.getDictionary(), again.getDictionary());  // copies share the cached object
    EXPECT_EQ(integerIn(fetchObject(xref, 12)), 2);
    EXPECT_EQ(integerIn(fetchObject(xref, 20)), 3);
    const CPdfElement reloaded = fetchObject(xref, 11);
    EXPECT_NE(reloaded.getDictionary(), first.getDictionary());  // another stream replaced the cache
    EXPECT_EQ(integerIn(reloaded), 1);

    // Alternating between the two streams gives the same objects each time, in both forms.
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(integerIn(fetchObject(xref, 20)), 3);
        EXPECT_EQ(textOf(xref, 11).substr(0, 10), "<< /A 1 >>");
        EXPECT_EQ(integerIn(fetchObject(xref, 12)), 2);
        EXPECT_EQ(textOf(xref, 20).substr(0, 10), "<< /C 3 >>");
    }
}

TEST(ObjectStream, TheTextStaysValidWhileOtherStreamsAreReadInParsedForm) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog >>");
    const int streams = 80;
    for (int i = 0; i < streams; ++i) {
        builder.addObject(100 + i, "<< /Index " + std::to_string(i) + " /Filler (" + std::string(2000, 'x') + ") >>");
        builder.putInObjectStream(300 + i, {100 + i});
    }
    builder.setTrailer("/Root 1 0 R");
    PdfBuilder::Options options;
    options.xrefStream = true;
    auto pdf = OpenedPdf::fromBytes(builder.build(options));
    CPdfXRef& xref = pdf->open();
    uint32_t length = 0;
    const char* text = xref.getCompressedObjectText(100, 0, length);
    ASSERT_NE(text, nullptr);
    const std::string copy(text, length);
    for (int i = 1; i < streams; ++i) EXPECT_EQ(integerIn(fetchObject(xref, 100 + i), "Index"), i);
    EXPECT_EQ(std::string(text, length), copy);
    EXPECT_EQ(integerIn(fetchObject(xref, 100), "Index"), 0);
}

TEST(ObjectStream, UnusableObjectStreamsHoldNoObjects) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/Type /ObjStm /First 10", "11 0 12 5 (ab) (cd)"},               // no N
        {"/Type /ObjStm /N 2.0 /First 10", "11 0 12 5 (ab) (cd)"},        // N not an integer
        {"/Type /ObjStm /N -2 /First 10", "11 0 12 5 (ab) (cd)"},         // N negative
        {"/Type /ObjStm /N 2", "11 0 12 5 (ab) (cd)"},                    // no First
        {"/Type /ObjStm /N 2 /First 500", "11 0 12 5 (ab) (cd)"},         // First beyond the data
        {"/Type /ObjStm /N 2 /First -3", "11 0 12 5 (ab) (cd)"},          // First negative
        {"/Type /ObjStm /N 2000000000 /First 10", "11 0 12 5 (ab) (cd)"}, // N beyond the header
        {"/Type /ObjStm /N 2 /First 10", "11 0 12 /x (ab) (cd)"},         // a bad pair
    };
    for (const auto& [dictionary, data] : cases) {
        SCOPED_TRACE(dictionary + " | " + data);
        auto pdf = OpenedPdf::fromBytes(fileWithObjectStream(dictionary, data));
        CPdfXRef& xref = pdf->open();
        EXPECT_TRUE(fetchObject(xref, 11).is(kindNull));
        EXPECT_TRUE(fetchObject(xref, 12).is(kindNull));
        EXPECT_EQ(textOf(xref, 11), "none");
    }

    // Offsets out of order or outside the data keep every object inside the data.
    auto pdf = OpenedPdf::fromBytes(fileWithObjectStream("/Type /ObjStm /N 2 /First 12", "11 5 12 -1  (ab) (cd)"));
    CPdfXRef& xref = pdf->open();
    EXPECT_EQ(textOf(xref, 11), "(cd)");
    EXPECT_EQ(textOf(xref, 12), "none");
    EXPECT_TRUE(fetchObject(xref, 12).is(kindNull));
    auto reversed = OpenedPdf::fromBytes(fileWithObjectStream("/Type /ObjStm /N 2 /First 12", "11 5 12 0   (ab) (cd)"));
    CPdfXRef& backwards = reversed->open();
    EXPECT_EQ(textOf(backwards, 11), "(cd)");
    EXPECT_EQ(textOf(backwards, 12), "(ab) (cd)");
    auto beyond = OpenedPdf::fromBytes(fileWithObjectStream("/Type /ObjStm /N 2 /First 12", "11 0 12 99  (ab) (cd)"));
    CPdfXRef& outside = beyond->open();
    EXPECT_EQ(textOf(outside, 11), "(ab) (cd)");
    EXPECT_EQ(textOf(outside, 12), "none");
}

TEST(ObjectStream, ADecompressionBombEndsWithAMessage) {
    const std::string bomb = zeroBomb(1024);
    auto pdf = OpenedPdf::fromBytes(fileWithObjectStream("/Type /ObjStm /N 2 /First 10 /Filter /FlateDecode", bomb));
    CPdfXRef& xref = pdf->open();
    EXPECT_EQ(messageOfFetch(xref, 11), "Object stream too large");
    uint32_t length = 0;
    EXPECT_THROW(xref.getCompressedObjectText(12, 0, length), CPdfException);
}

TEST(ObjectStream, ObjectsThatLeadBackToThemselvesFindNothing) {
    // Object stream 10 lists itself as compressed in itself; object 11 lives in it.
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    pdf.object(5, "<< /Length 5 0 R >>\nstream\nabc\nendstream");
    const std::string rows = field(1, 1) + field(pdf.offsetOf(1), 2) + field(0, 1) + field(1, 1) +
                             field(pdf.offsetOf(5), 2) + field(0, 1) + field(2, 1) + field(10, 2) + field(0, 1) +
                             field(2, 1) + field(10, 2) + field(1, 1);
    const uint32_t xref = pdf.position();
    pdf.stream(12, "/Type /XRef /Size 13 /W [1 2 1] /Index [1 1 5 1 10 2] /Root 1 0 R", rows);
    auto opened = OpenedPdf::fromBytes(pdf.finish(xref));
    CPdfXRef& table = opened->open();
    EXPECT_TRUE(fetchObject(table, 11).is(kindNull));
    EXPECT_TRUE(fetchObject(table, 10).is(kindNull));
    EXPECT_EQ(textOf(table, 11), "none");
    // A stream whose Length names the stream itself has no length.
    EXPECT_TRUE(fetchObject(table, 5).is(kindError));
}

TEST(ObjectStream, EncryptedDocumentsDecryptStringObjectsInTheFileAndObjectStreamsAsAWhole) {
    const uint8_t key[5] = {9, 8, 7, 6, 5};
    const ObjectEncryptor rc4(key, 5, kCipherRc4);
    auto literal = [](const std::string& bytes) {
        std::string text = "(";
        for (const char c : bytes) {
            if (c == '(' || c == ')' || c == '\\') text += '\\';
            text += c;
        }
        return text + ")";
    };
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog >>");
    builder.addObject(3, literal(rc4.encrypt("direct", 3, 0)));
    builder.addObject(4, "<< /S " + literal(rc4.encrypt("inside", 4, 0)) + " >>");
    builder.setTrailer("/Root 1 0 R");
    PdfBuilder::Options options;
    options.xrefStream = true;
    auto pdf = OpenedPdf::fromBytes(builder.build(options));
    CPdfXRef& xref = pdf->open();
    xref.setEncryption(0xFFFFFFFC, false, key, 5, 1, kCipherRc4);
    EXPECT_TRUE(xref.isEncrypted());
    EXPECT_EQ(xref.getKeyLength(), 5);
    EXPECT_EQ(describe(fetchObject(xref, 3)), "(direct)");
    CPdfElement inside;
    fetchObject(xref, 4).getDictionary()->lookup("S", inside);
    EXPECT_NE(describe(inside), "(inside)");
    EXPECT_EQ(std::string(inside.getString()), rc4.encrypt("inside", 4, 0).substr(0, std::string(inside.getString()).size()));

    // An object stream's data is encrypted as a whole under its own key; the strings of the
    // objects inside it are then plain and are not decrypted again.
    const std::string members = "11 0 12 9 (stored) (other)";
    auto packed = OpenedPdf::fromBytes(
        fileWithObjectStream("/Type /ObjStm /N 2 /First 10", rc4.encrypt(members, 10, 0)));
    CPdfXRef& packedXRef = packed->open();
    packedXRef.setEncryption(0xFFFFFFFC, false, key, 5, 1, kCipherRc4);
    EXPECT_EQ(describe(fetchObject(packedXRef, 11)), "(stored)");
    EXPECT_EQ(describe(fetchObject(packedXRef, 12)), "(other)");

    const uint8_t longKey[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    CPdfXRef other;
    other.setEncryption(0, true, longKey, 20, 4, kCipherAes);
    EXPECT_EQ(other.getKeyLength(), 16);
    EXPECT_EQ(other.getCipherKind(), kCipherAes);
    EXPECT_EQ(other.getFileKey()[15], 16);
}
