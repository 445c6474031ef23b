// What the program writes into the output of an encrypted input (new stream data, the strings of
// objects rebuilt from object streams, trailer keys) must read back through our decrypting stream.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pdf/parser/PdfParser.h"
#include "pdf/security/ObjectKey.h"
#include "pdf/security/PdfDecryptStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "resize/OutputEncryption.h"
#include "resize/StringRewriter.h"

namespace {

CPdfMemoryStream* memoryOf(const std::string& bytes) {
    return new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(bytes.data()), 0, static_cast<uint32_t>(bytes.size()));
}

CPdfElement parseValue(const std::string& text) {
    CPdfParser parser(nullptr, memoryOf(text));
    CPdfElement value;
    parser.getObject(value);
    return value;
}

const uint8_t kFileKey[kMaxFileKeyLength] = {7, 1, 4, 2, 8, 5, 7, 1, 4, 2, 8, 5, 7, 1, 4, 2};

OutputEncryption encryption(int cipherKind, const std::string& trailer = "<< /Encrypt 6 0 R >>") {
    return OutputEncryption(parseValue(trailer), kFileKey, kMaxFileKeyLength, cipherKind);
}

std::string decrypt(int cipherKind, const std::string& data, uint32_t number) {
    CPdfDecryptStream stream(memoryOf(data), kFileKey, cipherKind, kMaxFileKeyLength, static_cast<int>(number), 0);
    std::string plain;
    for (int c; (c = stream.getChar()) != CPdfStream::kEnd;) plain += static_cast<char>(c);
    return plain;
}

class OutputEncryptionTest : public ::testing::TestWithParam<int> {};

TEST_P(OutputEncryptionTest, NewStreamDataDecryptsUnderItsOwnObjectKey) {
    for (const std::string plain : {"q\n0.50 0 0 0.50 0 0 cm\n", "Q\n", "0123456789abcdef", ""}) {
        const std::string stored = encryption(GetParam()).encryptStreamData(plain, 40);
        EXPECT_EQ(decrypt(GetParam(), stored, 40), plain);
        EXPECT_EQ(encryption(GetParam()).encryptStreamData(plain, 40), stored) << "the same input gives the same bytes";
        EXPECT_TRUE(plain.empty() || decrypt(GetParam(), stored, 41) != plain) << "another object's key";
        // AES: a 16-byte IV in front and padding to whole blocks.
        EXPECT_TRUE(GetParam() != kCipherAes || stored.size() == 16 + (plain.size() / 16 + 1) * 16);
    }
}

// Escapes, line ends, nesting and odd hex digits must decode as readers decode them, or strings change.
TEST_P(OutputEncryptionTest, RebuiltStringsBecomeHexStringsEncryptedForTheirObject) {
    const std::string text =
        "<< /T (a\\)b\\101 \\(c\\)) /H <48 65 6c6c6f> /D << /X (\\n\\r\\t\\b\\f\\0618\\7\\1234\\q\\\\\\400) >>\n"
        "/C [(a(b)c)(line\\\njoined\\\r\nagain)(cr\rlf\nboth\r\nend)] % (not a string) <414243>\n/E () /Z <61626> >>\n";
    const std::vector<std::string> plain = {"a)bA (c)", "Hello", std::string("\n\r\t\b\f18\aS4q\\\0", 13), "a(b)c",
                                            "linejoinedagain", "cr\nlf\nboth\nend", "", "ab`"};
    const std::string rebuilt = encryption(GetParam()).encryptRebuiltStrings(text, 12);
    auto marked = [](const std::string& text) { return rewriteStrings(text, [](const std::string&) { return "$"; }); };
    EXPECT_EQ(marked(rebuilt), marked(text)) << rebuilt;
    EXPECT_EQ(std::count(rebuilt.begin(), rebuilt.end(), '('), 1) << "all in hex but the comment: " << rebuilt;
    std::vector<std::string> stored;
    rewriteStrings(rebuilt, [&](const std::string& bytes) { stored.push_back(bytes); return std::string(); });
    ASSERT_EQ(stored.size(), plain.size()) << rebuilt;
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(decrypt(GetParam(), stored[i], 12), plain[i]) << i;
        EXPECT_TRUE(plain[i].empty() || decrypt(GetParam(), stored[i], 13) != plain[i]) << "object 12's key only";
    }
    // The encryption dictionary itself (object 6) keeps its plain strings.
    const std::string dictionary = "<< /Filter /Standard /O (owner) /U <75736572> >>";
    EXPECT_EQ(encryption(GetParam()).encryptRebuiltStrings(dictionary, 6), dictionary);
    EXPECT_NE(encryption(GetParam()).encryptRebuiltStrings(dictionary, 7), dictionary);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, OutputEncryptionTest, ::testing::Values(kCipherRc4, kCipherAes));

TEST(OutputEncryption, TrailerNamesTheInputsEncryptionAndId) {
    const char* cases[][2] = {  // the input's trailer, the keys the output's trailer ends with
        {"<< /Root 1 0 R /Encrypt 6 0 R /ID [<AAbb01><02CCdd>] >>", "/Encrypt 6 0 R\n/ID [<aabb01><02ccdd>]\n"},
        {"<< /Encrypt 93 2 R /ID [(a\\000b)(c)] >>", "/Encrypt 93 2 R\n/ID [<610062><63>]\n"},
        {"<< /Encrypt 6 0 R /ID [<0102> 7] >>", "/Encrypt 6 0 R\n/ID [<0102><0102>]\n"},
        {"<< /Encrypt 6 0 R /ID <0102> >>", "/Encrypt 6 0 R\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(encryption(kCipherRc4, c[0]).trailerKeys(), c[1]) << c[0];
}

}  // namespace
