// Strings and stream data of encrypted documents: a literal string that is a whole object is
// decrypted; stream data is decrypted before its filters, except where the document keeps it plain.

#include <gtest/gtest.h>

#include "pdf/security/ObjectEncryptor.h"
#include "tests/parser/ParserFixture.h"
#include "tests/support/TestTools.h"

namespace {

constexpr int kObjectNumber = 7;
constexpr int kGeneration = 1;

// A literal string of these bytes, the delimiters escaped.
std::string literalOf(const std::string& bytes) {
    std::string text = "(";
    for (char c : bytes) text += c == '(' || c == ')' || c == '\\' ? std::string{'\\', c} : std::string(1, c);
    return text + ")";
}

TEST(Decryption, WholeStringsAndStreamDataUnlessKeptInPlainText) {
    const uint8_t key[16] = {0x3a, 0x11, 0x90, 5, 0xfe, 0x42, 0x7c, 8, 0x61, 0xd3, 0x2b, 0x99, 0, 0x14, 0xe7, 0x5c};
    const std::string plain = "BT /F1 12 Tf 72 720 Td (encrypted content) Tj ET\n", packed = deflateBytes(plain);
    const std::string expected = "stream(" + plain + ")";
    const struct { int cipher, keyLength; } ciphers[] = {{kCipherRc4, 5}, {kCipherRc4, 16}, {kCipherAes, 16}};
    for (const auto& [cipher, keyLength] : ciphers) {
        SCOPED_TRACE("cipher " + std::to_string(cipher) + ", key of " + std::to_string(keyLength) + " bytes");
        const ObjectEncryptor encryptor(key, keyLength, cipher);
        const auto sealed = [&](const std::string& s) { return encryptor.encrypt(s, kObjectNumber, kGeneration); };
        // The first object of `text` as object `number`, generation 1, of this document or of a plain one.
        const auto read = [&](const std::string& text, int number = kObjectNumber, bool metadata = true,
                              bool keyed = true) {
            ParsedText input(text);
            CPdfElement object;
            input.parser.getObject(object, keyed ? key : nullptr, cipher, keyLength, number, kGeneration, metadata);
            return describe(object);
        };
        const auto stream = [](const std::string& entries, const std::string& data) {
            return "<< /Length " + std::to_string(data.size()) + " " + entries + " >>\nstream\n" + data + "\nendstream";
        };
        const struct { const char* entries; std::string data; bool metadata; } rows[] = {
            {"", sealed(plain), true},
            {"/Filter /FlateDecode", sealed(packed), true},
            {"/Filter [/FlateDecode]", sealed(packed), true},
            // Kept in plain text: cross-reference streams, the Identity crypt filter (named or by
            // default) before or without other filters, metadata when EncryptMetadata is false.
            {"/Type /XRef", plain, true},
            {"/Filter /Crypt", plain, true},
            {"/Filter /Crypt /DecodeParms << /Name /Identity >>", plain, true},
            {"/Filter [/Crypt /FlateDecode]", packed, true},
            {"/Filter [/Crypt /FlateDecode] /DecodeParms [<< /Name /Identity >> null]", packed, true},
            {"/Type /Metadata", plain, false},
            // A crypt filter that names a filter of the document decrypts like the document's own.
            {"/Filter [/Crypt /FlateDecode] /DecodeParms [<< /Name /StdCF >> null]", sealed(packed), true},
            {"/Filter /Crypt /DecodeParms << /Name /StdCF >>", sealed(plain), true},
            {"/Type /Metadata", sealed(plain), true},
            {"/Type /Page", sealed(plain), false},
        };
        for (const auto& r : rows)
            EXPECT_EQ(read(stream(r.entries, r.data), kObjectNumber, r.metadata), expected) << r.entries;
        EXPECT_EQ(read(stream("", "")), "<</Length 0>> stream()");
        // Only the object's own key opens it; a document without a key reads the stored bytes.
        EXPECT_NE(read(stream("", sealed(plain)), kObjectNumber + 1), expected);
        EXPECT_EQ(read(stream("", sealed(plain)), kObjectNumber, true, false), "stream(" + sealed(plain) + ")");

        // Every byte counts: a zero byte in the plain text, and for RC4 one in the cipher text (at 3).
        std::string secret("secret\0text here", 16);
        if (cipher == kCipherRc4) secret[3] = sealed(std::string(16, '\0'))[3];
        const std::string literal = literalOf(sealed(secret));
        EXPECT_EQ(read(literal), "(" + secret + ")");
        EXPECT_NE(read(literal, kObjectNumber + 1), "(" + secret + ")");
        EXPECT_EQ(read("[" + literal + "]"), "[(" + sealed(secret) + ")]") << "strings inside objects stay as stored";
        EXPECT_EQ(read("<41>"), "<41>");
    }
}

}  // namespace
