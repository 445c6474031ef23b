// Bytes written anew: numbers formatted without printf; for an encrypted input the strings of objects rebuilt from
// object streams and the trailer keys (new stream data is the encrypted whole-program tests').

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "pdf/parser/PdfParser.h"
#include "pdf/security/ObjectKey.h"
#include "pdf/security/PdfDecryptStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "resize/NumberFormat.h"
#include "resize/OutputEncryption.h"
#include "resize/StringRewriter.h"

namespace {

// Rounding edges: binary ties (to even), values beside them, signed zeros, extreme magnitudes, NaN; then random.
TEST(NumberFormat, FixedPointAgreesWithPrintf) {
    auto expectBothFormats = [](double value) {
        char box[512], scale[512];
        EXPECT_EQ(formatBoxNumber(value) + " " + formatScaleNumber(value),
                  std::string(box, std::snprintf(box, sizeof box, "%f", value)) + " " +
                      std::string(scale, std::snprintf(scale, sizeof scale, "%.2f", value))) << std::hexfloat << value;
    };
    using Limits = std::numeric_limits<double>;
    for (const double value : {0.0, -0.0, 1.005, 2.675, 0.0000005, 0.0000015, 0.00000049999999999999994, 0.005, 595.27,
                               0.015, -0.005, 0.995, 0.9999995, 99.995, 123456.7890125, 1e-300, Limits::denorm_min(),
                               1099511627775.9999, -1099511627776.0, 1e15, -1e300, Limits::max(), Limits::infinity(),
                               -Limits::infinity(), Limits::quiet_NaN(), 0.1 + 0.2, -2.0 / 3, 4503599627370495.5}) {
        expectBothFormats(value);
    }
    for (int numerator = -4000; numerator <= 4000; ++numerator) {
        for (int exponent : {3, 7, 20, 21}) expectBothFormats(std::ldexp(numerator, -exponent));
    }
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> coordinate(-20000, 20000);
    for (int i = 0; i < 200000; ++i) {
        expectBothFormats(coordinate(random));
        expectBothFormats(coordinate(random) / coordinate(random));
        expectBothFormats(static_cast<double>(static_cast<int64_t>(random() % 2000001) - 1000000) / 100);
        expectBothFormats(std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 126) - 133));
    }
}

TEST(NumberFormat, ExactNumbersKeepSixDecimalsWithoutTrailingZeros) {
    const std::pair<double, const char*> rows[] = {{100, "100"}, {-2.25, "-2.25"}, {-0.0000004, "0"},
                                                   {0.84149999, "0.8415"}, {-0.0000006, "-0.000001"}};
    for (const auto& [value, text] : rows) EXPECT_EQ(formatExactNumber(value), text) << value;
}

CPdfMemoryStream* memoryOf(const std::string& bytes) {
    return new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(bytes.data()), 0, static_cast<uint32_t>(bytes.size()));
}

FileKey fileKey(CipherKind cipher) {
    static const uint8_t key[16] = {7, 1, 4, 2, 8, 5, 7, 1, 4, 2, 8, 5, 7, 1, 4, 2};
    return FileKey(key, sizeof key, cipher);
}

OutputEncryption encryption(CipherKind cipherKind, const std::string& trailer = "<< /Encrypt 6 0 R >>") {
    CPdfParser parser(nullptr, memoryOf(trailer));
    CPdfElement value;
    parser.getObject(value);
    return OutputEncryption(value, fileKey(cipherKind));
}

std::string decrypt(CipherKind cipherKind, const std::string& data, uint32_t number) {
    CPdfDecryptStream stream(memoryOf(data), fileKey(cipherKind), static_cast<int>(number), 0);
    std::string plain;
    for (int c; (c = stream.getChar()) != CPdfStream::kEnd;) plain += static_cast<char>(c);
    return plain;
}

class OutputEncryptionTest : public ::testing::TestWithParam<CipherKind> {};

// Escapes, line ends, nesting and odd hex digits must decode as readers decode them.
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
    // The encryption dictionary (object 6) keeps its plain strings.
    const std::string dictionary = "<< /Filter /Standard /O (owner) /U <75736572> >>";
    EXPECT_EQ(encryption(GetParam()).encryptRebuiltStrings(dictionary, 6), dictionary);
    EXPECT_NE(encryption(GetParam()).encryptRebuiltStrings(dictionary, 7), dictionary);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, OutputEncryptionTest, ::testing::Values(CipherKind::rc4, CipherKind::aes128));

TEST(OutputEncryption, TrailerNamesTheInputsEncryptionAndId) {
    const char* cases[][2] = {  // the input's trailer, the keys the output's trailer ends with
        {"<< /Root 1 0 R /Encrypt 6 0 R /ID [<AAbb01><02CCdd>] >>", "/Encrypt 6 0 R\n/ID [<aabb01><02ccdd>]\n"},
        {"<< /Encrypt 93 2 R /ID [(a\\000b)(c)] >>", "/Encrypt 93 2 R\n/ID [<610062><63>]\n"},
        {"<< /Encrypt 6 0 R /ID [<0102> 7] >>", "/Encrypt 6 0 R\n/ID [<0102><0102>]\n"},
        {"<< /Encrypt 6 0 R /ID [<8A3F 21C0> <0 1\n02>] >>", "/Encrypt 6 0 R\n/ID [<8a3f21c0><0102>]\n"},
        {"<< /Encrypt 6 0 R /ID <0102> >>", "/Encrypt 6 0 R\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(encryption(CipherKind::rc4, c[0]).trailerKeys(), c[1]) << c[0];
}

}  // namespace
