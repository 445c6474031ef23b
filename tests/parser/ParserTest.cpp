// Objects built from tokens: references, arrays, dictionaries, streams, string decryption, limits.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/objects/PdfString.h"
#include "pdf/security/ObjectEncryptor.h"
#include "pdf/stream/PdfEmbedStream.h"
#include "pdf/stream/PdfStream.h"
#include "tests/parser/ParserFixture.h"
#include "tests/support/TestTools.h"

namespace {

std::string messageOf(ParsedText& text) {
    try {
        text.next();
    } catch (const CPdfException& error) {
        return error.getMessage();
    }
    return "no exception";
}

CPdfElement valueOf(const CPdfElement& dictionary, const char* key) {
    CPdfElement value;
    dictionary.getDictionary()->lookupUnresolved(key, value);
    return value;
}

// A literal string that writes every byte as an octal escape.
std::string literalOf(const std::string& bytes) {
    std::string text = "(";
    for (const unsigned char c : bytes) {
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\%03o", c);
        text += escape;
    }
    return text + ")";
}

}  // namespace

TEST(Parser, OnlyTwoIntegersAndRMakeAReference) {
    ParsedText reference("12 0 R 7");
    const CPdfElement ref = reference.next();
    ASSERT_TRUE(ref.is(kindReference));
    EXPECT_EQ(ref.getRefNumber(), 12);
    EXPECT_EQ(ref.getRefGeneration(), 0u);
    EXPECT_EQ(reference.next().getInteger(), 7);

    ParsedText header("12 0 obj");
    EXPECT_EQ(header.next().getInteger(), 12);
    EXPECT_EQ(header.next().getInteger(), 0);
    EXPECT_TRUE(header.next().isCommand("obj"));

    ParsedText real("1.5 0 R");
    EXPECT_DOUBLE_EQ(real.next().getReal(), 1.5);
    EXPECT_EQ(real.next().getInteger(), 0);
    EXPECT_TRUE(real.next().isCommand("R"));

    ParsedText alone("12");
    EXPECT_EQ(alone.next().getInteger(), 12);
    EXPECT_TRUE(alone.next().is(kindEof));

    ParsedText inArray("[1 2 R 3 4 5 R]");
    const CPdfElement array = inArray.next();
    ASSERT_EQ(array.getArray()->getLength(), 3);
    EXPECT_EQ(array.getArray()->at(0).getRefNumber(), 1);
    EXPECT_EQ(array.getArray()->at(1).getInteger(), 3);
    EXPECT_EQ(array.getArray()->at(2).getRefNumber(), 4);
    EXPECT_EQ(array.getArray()->at(2).getRefGeneration(), 5u);
}

TEST(Parser, ArraysNestAndTheEndOfInputClosesThem) {
    IntegerResolver xref;
    ParsedText text("[1 (a) /N [2 []] <<>> ] [1 [2", &xref);
    const CPdfElement array = text.next();
    ASSERT_TRUE(array.is(kindArray));
    const CPdfArray& items = *array.getArray();
    ASSERT_EQ(items.getLength(), 5);
    EXPECT_EQ(items.at(0).getInteger(), 1);
    EXPECT_STREQ(items.at(1).getString(), "a");
    EXPECT_STREQ(items.at(2).getName(), "N");
    ASSERT_TRUE(items.at(3).is(kindArray));
    EXPECT_EQ(items.at(3).getArray()->getLength(), 2);
    EXPECT_TRUE(items.at(4).is(kindDictionary));
    EXPECT_EQ(items.getXRef(), &xref);
    EXPECT_EQ(items.at(4).getDictionary()->getXRef(), &xref);

    const CPdfElement cut = text.next();
    ASSERT_TRUE(cut.is(kindArray));
    ASSERT_EQ(cut.getArray()->getLength(), 2);
    EXPECT_EQ(cut.getArray()->at(1).getArray()->getLength(), 1);
    EXPECT_TRUE(text.next().is(kindEof));
}

TEST(Parser, DictionariesSkipWhatCannotBeAKey) {
    ParsedText missingValue("<< /A 1 /B >> /C 3 >>");
    const CPdfElement first = missingValue.next();
    EXPECT_EQ(valueOf(first, "A").getInteger(), 1);
    EXPECT_TRUE(valueOf(first, "B").isCommand(">>"));
    EXPECT_EQ(valueOf(first, "C").getInteger(), 3);
    EXPECT_TRUE(missingValue.next().is(kindEof));

    ParsedText errorValue("<< /A ) /B 2 >>");
    const CPdfElement dropped = errorValue.next();
    EXPECT_EQ(dropped.getDictionary()->getLength(), 1);
    EXPECT_EQ(valueOf(dropped, "B").getInteger(), 2);

    ParsedText numberKey("<< 1 /A 2 (x) [3] /B /C >>");
    const CPdfElement skipped = numberKey.next();
    EXPECT_EQ(skipped.getDictionary()->getLength(), 2);
    EXPECT_EQ(valueOf(skipped, "A").getInteger(), 2);
    EXPECT_STREQ(valueOf(skipped, "B").getName(), "C");

    ParsedText repeated("<< /A 1 /A 2 /R 4 0 R >>");
    const CPdfElement once = repeated.next();
    EXPECT_EQ(valueOf(once, "A").getInteger(), 1);
    EXPECT_EQ(valueOf(once, "R").getRefNumber(), 4);
}

TEST(Parser, TheEndOfInputClosesADictionaryWithoutAddingIt) {
    ParsedText text("<< /A [1 2 /B << /C");
    const CPdfElement outer = text.next();
    ASSERT_TRUE(outer.is(kindDictionary));
    const CPdfElement array = valueOf(outer, "A");
    ASSERT_TRUE(array.is(kindArray));
    ASSERT_EQ(array.getArray()->getLength(), 4);
    const CPdfElement& inner = array.getArray()->at(3);
    ASSERT_TRUE(inner.is(kindDictionary));
    EXPECT_EQ(inner.getDictionary()->getLength(), 0);
    EXPECT_TRUE(text.next().is(kindEof));
}

TEST(Parser, NestingBeyondTheLimitEndsWithAnExceptionNotAStackOverflow) {
    const std::string deepArrays(100000, '[');
    ParsedText arrays(deepArrays);
    EXPECT_EQ(messageOf(arrays), "Arrays and dictionaries nested too deeply");

    std::string deepDictionaries;
    for (int i = 0; i < 100000; ++i) deepDictionaries += "<</A ";
    ParsedText dictionaries(deepDictionaries);
    EXPECT_EQ(messageOf(dictionaries), "Arrays and dictionaries nested too deeply");

    // Nesting that real files use still parses, down to the innermost value.
    const int depth = 200;
    ParsedText usual(std::string(depth, '[') + "7" + std::string(depth, ']'));
    CPdfElement level = usual.next();
    for (int i = 1; i < depth; ++i) {
        ASSERT_TRUE(level.is(kindArray));
        CPdfElement inner;
        level.getArray()->getUnresolved(0, inner);
        level = std::move(inner);
    }
    EXPECT_EQ(level.getArray()->at(0).getInteger(), 7);
}

TEST(Parser, StreamsAreCutByTheirLength) {
    ParsedText text("<< /Length 5 >>\nstream\nhello\nendstream\n9 <</Length 3>> stream\r\nabc endstream 10");
    const CPdfElement stream = text.next();
    ASSERT_TRUE(stream.is(kindStream));
    EXPECT_EQ(stream.getStream()->getRefCount(), 1);
    EXPECT_EQ(readAll(stream.getStream()), "hello");
    EXPECT_EQ(text.next().getInteger(), 9);

    const CPdfElement crlf = text.next();
    ASSERT_TRUE(crlf.is(kindStream));
    EXPECT_EQ(readAll(crlf.getStream()), "abc");
    EXPECT_EQ(text.next().getInteger(), 10);
}

TEST(Parser, AnIndirectLengthIsResolvedThroughTheTable) {
    IntegerResolver xref;
    xref.set(8, 4);
    ParsedText resolved("<< /Length 8 0 R >> stream\nwxyz\nendstream", &xref);
    const CPdfElement stream = resolved.next();
    ASSERT_TRUE(stream.is(kindStream));
    EXPECT_EQ(readAll(stream.getStream()), "wxyz");
    EXPECT_EQ(xref.fetches, 1);

    // Without a table the reference stays a reference, which is no length.
    ParsedText unresolved("<< /Length 8 0 R >> stream\nwxyz\nendstream");
    EXPECT_TRUE(unresolved.next().is(kindError));
    ParsedText missing("<< /Type /X >> stream\nwxyz\nendstream");
    EXPECT_TRUE(missing.next().is(kindError));
    ParsedText real("<< /Length 4.0 >> stream\nwxyz\nendstream");
    EXPECT_TRUE(real.next().is(kindError));
}

TEST(Parser, AWrongLengthIsMissingEndstreamUnlessOnlyWhiteSpaceIsCovered) {
    ParsedText tooLong("<< /Length 6 >> stream\nhello\nendstream");
    const CPdfElement newlineIncluded = tooLong.next();
    ASSERT_TRUE(newlineIncluded.is(kindStream));
    EXPECT_EQ(readAll(newlineIncluded.getStream()), "hello\n");

    ParsedText intoKeyword("<< /Length 7 >> stream\nhello\nendstream");
    EXPECT_EQ(messageOf(intoKeyword), "Missing 'endstream'");
    ParsedText tooShort("<< /Length 3 >> stream\nhello\nendstream");
    EXPECT_EQ(messageOf(tooShort), "Missing 'endstream'");
    ParsedText beyondEnd("<< /Length 4000 >> stream\nhello\nendstream");
    EXPECT_EQ(messageOf(beyondEnd), "Missing 'endstream'");
}

TEST(Parser, AZeroLengthStreamHasNoDataButKeepsItsDictionary) {
    ParsedText text("<< /Length 0 /Type /Empty >> stream\nendstream 5 more bytes follow");
    const CPdfElement stream = text.next();
    ASSERT_TRUE(stream.is(kindStream));
    EXPECT_EQ(stream.getStream()->getChar(), CPdfStream::kEnd);
    ASSERT_NE(stream.getStream()->getDict(), nullptr);
    EXPECT_TRUE(stream.getStream()->getDict()->isType("Empty"));
    EXPECT_EQ(text.next().getInteger(), 5);

    ParsedText flate("<< /Length 0 /Filter /FlateDecode >> stream\nendstream");
    const CPdfElement empty = flate.next();
    ASSERT_TRUE(empty.is(kindStream));
    EXPECT_EQ(readAll(empty.getStream()), "");
}

TEST(Parser, StreamFiltersAreSetUpFromTheDictionary) {
    const std::string plain = "BT /F1 12 Tf (compressed) Tj ET";
    const std::string packed = deflateBytes(plain);
    const std::string input = "<< /Filter /FlateDecode /Length " + std::to_string(packed.size()) + " >> stream\n" +
                              packed + "\nendstream";
    ParsedText flate(input);
    const CPdfElement stream = flate.next();
    ASSERT_TRUE(stream.is(kindStream));
    EXPECT_EQ(readAll(stream.getStream()), plain);

    ParsedText twoFilters("<< /Filter [/ASCIIHexDecode /FlateDecode] /Length 2 >> stream\nab\nendstream 3");
    EXPECT_TRUE(twoFilters.next().is(kindError));
    ParsedText unsupported("<< /Filter /DCTDecode /Length 2 >> stream\nab\nendstream");
    EXPECT_EQ(messageOf(unsupported), "Stream filter not supported");
}

TEST(Parser, DecodedDataCannotHoldStreamObjects) {
    const std::string text = "<< /Length 2 >> stream\nab\nendstream";
    CPdfStreamRef memory(
        new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(text.data()), 0, static_cast<uint32_t>(text.size())));
    CPdfParser parser(nullptr, new CPdfEmbedStream(memory.get(), CPdfElement(), false, 0));
    CPdfElement object;
    parser.getObject(object);
    EXPECT_TRUE(object.is(kindError));
}

TEST(Parser, OnlyALiteralStringThatIsTheWholeObjectIsDecrypted) {
    const uint8_t key[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
    const int objectNumber = 7;
    const int generation = 2;
    const ObjectEncryptor rc4(key, 5, kCipherRc4);
    // A plain text whose cipher text holds a zero byte inside: decryption must see every byte.
    // RC4 adds a key stream, so a plain byte equal to the stream's byte there encrypts to zero.
    const std::string keyStream = rc4.encrypt(std::string(16, '\0'), objectNumber, generation);
    std::string plain = "secret text here";
    size_t zeroAt = 3;
    while (keyStream[zeroAt] == '\0') ++zeroAt;
    plain[zeroAt] = keyStream[zeroAt];
    const std::string cipher = rc4.encrypt(plain, objectNumber, generation);
    ASSERT_EQ(cipher.find('\0'), zeroAt);
    const std::string input = literalOf(cipher) + " " + literalOf(cipher) + " [" + literalOf(cipher) + "] <41>";

    ParsedText text(input);
    CPdfElement whole;
    text.parser().getObject(whole, key, kCipherRc4, 5, objectNumber, generation);
    ASSERT_TRUE(whole.is(kindString));
    EXPECT_EQ(std::string(whole.getString()), plain);

    CPdfElement otherObject;
    text.parser().getObject(otherObject, key, kCipherRc4, 5, objectNumber + 1, generation);
    EXPECT_NE(std::string(otherObject.getString()), plain);

    CPdfElement array;
    text.parser().getObject(array, key, kCipherRc4, 5, objectNumber, generation);
    EXPECT_EQ(std::string(array.getArray()->at(0).getString()), cipher.substr(0, cipher.find('\0')));

    CPdfElement hex;
    text.parser().getObject(hex, key, kCipherRc4, 5, objectNumber, generation);
    ASSERT_TRUE(hex.is(kindHexString));
    EXPECT_EQ(std::string(hex.getHexString()->getBytes(), 2), "41");
}

TEST(Parser, AesStringsLoseTheirInitialisationVectorAndPadding) {
    const uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const ObjectEncryptor aes(key, 16, kCipherAes);
    const std::string plain = "Title of the document";
    ParsedText text(literalOf(aes.encrypt(plain, 12, 0)));
    CPdfElement string;
    text.parser().getObject(string, key, kCipherAes, 16, 12, 0);
    EXPECT_EQ(std::string(string.getString()), plain);
}
