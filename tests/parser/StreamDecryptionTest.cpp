// The data of stream objects in encrypted documents: decrypted under the object's key before its
// filters, except where the document keeps it in plain text.

#include <gtest/gtest.h>

#include <string>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/security/ObjectEncryptor.h"
#include "pdf/stream/PdfStream.h"
#include "tests/parser/ParserFixture.h"
#include "tests/support/TestTools.h"

namespace {

constexpr int kObjectNumber = 7;
constexpr int kGeneration = 1;
const uint8_t kFileKey[16] = {0x3a, 0x11, 0x90, 0x05, 0xfe, 0x42, 0x7c, 0x08,
                              0x61, 0xd3, 0x2b, 0x99, 0x00, 0x14, 0xe7, 0x5c};

struct Cipher {
    const char* name;
    int kind;
    int keyLength;
};

std::string streamObject(const std::string& dictionaryEntries, const std::string& data) {
    return "<< /Length " + std::to_string(data.size()) + " " + dictionaryEntries + " >>\nstream\n" + data +
           "\nendstream";
}

class StreamDecryption : public ::testing::TestWithParam<Cipher> {
protected:
    std::string encrypt(const std::string& plain, int number = kObjectNumber) const {
        return ObjectEncryptor(kFileKey, GetParam().keyLength, GetParam().kind)
            .encrypt(plain, static_cast<uint32_t>(number), kGeneration);
    }

    // The decoded data of the stream object in `text`, parsed as object 7 generation 1 of an
    // encrypted document (or of a plain one when `encrypted` is false).
    std::string decoded(const std::string& text, bool encrypted = true, bool encryptMetadata = true) const {
        ParsedText parsed(text);
        CPdfElement object;
        parsed.parser().getObject(object, encrypted ? kFileKey : nullptr, GetParam().kind, GetParam().keyLength,
                                  kObjectNumber, kGeneration, encryptMetadata);
        if (!object.is(kindStream)) return "(no stream)";
        return readAll(object.getStream());
    }
};

TEST_P(StreamDecryption, DataIsDecryptedUnderTheObjectsKeyBeforeItsFilters) {
    const std::string plain = "BT /F1 12 Tf 72 720 Td (encrypted content) Tj ET\n";
    EXPECT_EQ(decoded(streamObject("", encrypt(plain))), plain);
    EXPECT_EQ(decoded(streamObject("/Filter /FlateDecode", encrypt(deflateBytes(plain)))), plain);
    EXPECT_EQ(decoded(streamObject("/Filter [/FlateDecode]", encrypt(deflateBytes(plain)))), plain);
    EXPECT_EQ(decoded(streamObject("", "")), "") << "an empty stream";

    // Only that object's key opens it; a plain document reads the stored bytes.
    EXPECT_NE(decoded(streamObject("", encrypt(plain, kObjectNumber + 1))), plain);
    const std::string stored = encrypt(plain);
    EXPECT_EQ(decoded(streamObject("", stored), false), stored);
}

TEST_P(StreamDecryption, PlainStreamsOfEncryptedDocumentsStayAsStored) {
    const std::string plain = "<< plain data >>";
    const std::string packed = deflateBytes(plain);
    // Cross-reference streams, the Identity crypt filter (named, or by default) before or
    // without other filters.
    EXPECT_EQ(decoded(streamObject("/Type /XRef", plain)), plain);
    EXPECT_EQ(decoded(streamObject("/Filter /Crypt", plain)), plain);
    EXPECT_EQ(decoded(streamObject("/Filter /Crypt /DecodeParms << /Name /Identity >>", plain)), plain);
    EXPECT_EQ(decoded(streamObject("/Filter [/Crypt /FlateDecode]", packed)), plain);
    EXPECT_EQ(decoded(streamObject("/Filter [/Crypt /FlateDecode] /DecodeParms [<< /Name /Identity >> null]", packed)),
              plain);
    // A crypt filter that names a filter of the document decrypts like the document's own.
    EXPECT_EQ(decoded(streamObject("/Filter [/Crypt /FlateDecode] /DecodeParms [<< /Name /StdCF >> null]",
                                   encrypt(packed))),
              plain);
    EXPECT_EQ(decoded(streamObject("/Filter /Crypt /DecodeParms << /Name /StdCF >>", encrypt(plain))), plain);
    // Metadata streams follow EncryptMetadata.
    EXPECT_EQ(decoded(streamObject("/Type /Metadata", plain), true, false), plain);
    EXPECT_EQ(decoded(streamObject("/Type /Metadata", encrypt(plain)), true, true), plain);
    EXPECT_EQ(decoded(streamObject("/Type /Page", encrypt(plain)), true, false), plain) << "only metadata";
}

INSTANTIATE_TEST_SUITE_P(Ciphers, StreamDecryption,
                         ::testing::Values(Cipher{"Rc4Short", 0, 5}, Cipher{"Rc4Long", 0, 16}, Cipher{"Aes", 1, 16}),
                         [](const testing::TestParamInfo<Cipher>& info) { return info.param.name; });

TEST(LiteralStrings, KeepEveryByteAfterAZeroByte) {
    ParsedText text("(ab\\000cd) <</O (\\000\\001)>>");
    const CPdfElement string = text.next();
    ASSERT_TRUE(string.is(kindString));
    EXPECT_STREQ(string.getString(), "ab");
    EXPECT_EQ(std::string(string.getString(), string.getStringLength()), std::string("ab\0cd", 5));
    const CPdfElement copy(string);
    EXPECT_EQ(std::string(copy.getString(), copy.getStringLength()), std::string("ab\0cd", 5));

    const CPdfElement dictionary = text.next();
    CPdfElement owner;
    dictionary.getDictionary()->lookup("O", owner);
    EXPECT_EQ(owner.getStringLength(), 2u);

    CPdfElement plain;
    plain.initString("text");
    EXPECT_EQ(plain.getStringLength(), 4u);
}

}  // namespace
