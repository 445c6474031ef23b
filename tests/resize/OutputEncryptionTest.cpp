// The encryption of what the program writes into the output of an encrypted input: new stream
// data, the strings of objects rebuilt from object streams, and the trailer keys.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/document/ElementText.h"
#include "resize/DirectObjectText.h"
#include "resize/OutputEncryption.h"
#include "resize/StringRewriter.h"
#include "tests/resize/EncryptedFixtures.h"

namespace {

constexpr uint32_t kEncryptNumber = 6;

OutputEncryption makeEncryption(const FileKey& key, const std::string& trailer) {
    return OutputEncryption(parseValue(trailer), key.bytes, key.length, key.cipherKind);
}

// The bytes of every string in `text`, in order.
std::vector<std::string> stringsOf(const std::string& text) {
    std::vector<std::string> found;
    rewriteStrings(text, [&](const std::string& bytes) {
        found.push_back(bytes);
        return std::string();
    });
    return found;
}

// `text` with each string replaced by one marker: what must stay byte for byte.
std::string withoutStrings(const std::string& text) {
    return rewriteStrings(text, [](const std::string&) { return std::string("$"); });
}

class OutputEncryptionTest : public ::testing::TestWithParam<const EncryptionCase*> {
protected:
    const FileKey key{*GetParam()};
};

TEST_P(OutputEncryptionTest, NewStreamDataDecryptsUnderItsOwnObjectKeyOnly) {
    const OutputEncryption encryption = makeEncryption(key, "<< /Encrypt 6 0 R >>");
    for (const std::string& plain : {std::string("q\n0.50 0 0 0.50 0 0 cm\n"), std::string("Q\n"),
                                    std::string(16, 'x'), std::string()}) {
        const std::string stored = encryption.encryptStreamData(plain, 40);
        EXPECT_EQ(key.decrypt(stored, 40), plain);
        EXPECT_EQ(stored.size(), key.encryptor().encryptedLength(plain.size()));
        EXPECT_EQ(encryption.encryptStreamData(plain, 40), stored) << "the same input gives the same bytes";
        if (!plain.empty()) {
            EXPECT_NE(key.decrypt(stored, 41), plain) << "another object's key";
            EXPECT_EQ(stored.find(plain), std::string::npos) << "no plain text stays";
        }
    }
    if (key.cipherKind == kCipherAes) {
        EXPECT_EQ(encryption.encryptStreamData("Q\n", 40).size(), 32u) << "IV and one padded block";
    }
}

TEST_P(OutputEncryptionTest, RebuiltStringsBecomeHexStringsEncryptedForTheirObject) {
    const OutputEncryption encryption = makeEncryption(key, "<< /Encrypt 6 0 R >>");
    const std::string text =
        "<< /T (a\\)b\\101 \\(c\\)) /H <48 65 6c6c6f> /D << /X (x) >> /C [(one)(two)]\n"
        "% a comment (not a string) <414243>\n/N /Name(in\\\nner) /E () /Z <> >>\n";
    const std::string rebuilt = encryption.encryptRebuiltStrings(text, 12);
    EXPECT_EQ(withoutStrings(rebuilt), withoutStrings(text)) << rebuilt;

    const std::vector<std::string> plain = {"a)bA (c)", "Hello", "x", "one", "two", "inner", "", ""};
    const std::vector<std::string> stored = stringsOf(rebuilt);
    ASSERT_EQ(stored.size(), plain.size()) << rebuilt;
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(key.decrypt(stored[i], 12), plain[i]) << i;
        if (!plain[i].empty()) {
            EXPECT_NE(key.decrypt(stored[i], 13), plain[i]) << "object 12's key only";
        }
    }
    // Every string is written as a hex string.
    EXPECT_EQ(rebuilt.find("(one)"), std::string::npos);
    EXPECT_NE(rebuilt.find("% a comment (not a string) <414243>\n"), std::string::npos);
}

TEST_P(OutputEncryptionTest, TheEncryptionDictionaryKeepsItsPlainStrings) {
    const OutputEncryption encryption = makeEncryption(key, "<< /Encrypt 6 0 R >>");
    const std::string dictionary = "<< /Filter /Standard /O (owner) /U <75736572> >>";
    EXPECT_EQ(encryption.encryptRebuiltStrings(dictionary, kEncryptNumber), dictionary);
    EXPECT_NE(encryption.encryptRebuiltStrings(dictionary, kEncryptNumber + 1), dictionary);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, OutputEncryptionTest, ::testing::Values(&kRc4Case, &kAesCase),
                         [](const testing::TestParamInfo<const EncryptionCase*>& info) { return info.param->name; });

TEST(OutputEncryptionTrailer, NamesTheInputsEncryptionAndId) {
    const FileKey key(kRc4Case);
    struct Case {
        const char* trailer;
        const char* keys;
    };
    const Case cases[] = {
        {"<< /Root 1 0 R /Encrypt 6 0 R /ID [<AAbb01><02CCdd>] >>", "/Encrypt 6 0 R\n/ID [<aabb01><02ccdd>]\n"},
        {"<< /Encrypt 93 2 R /ID [(a\\000b)(c)] >>", "/Encrypt 93 2 R\n/ID [<610062><63>]\n"},
        {"<< /Encrypt 6 0 R /ID [<0102>] >>", "/Encrypt 6 0 R\n/ID [<0102><0102>]\n"},
        {"<< /Encrypt 6 0 R /ID [<0102> 7] >>", "/Encrypt 6 0 R\n/ID [<0102><0102>]\n"},
        {"<< /Encrypt 6 0 R >>", "/Encrypt 6 0 R\n"},
        {"<< /Encrypt 6 0 R /ID [] >>", "/Encrypt 6 0 R\n"},
        {"<< /Encrypt 6 0 R /ID <0102> >>", "/Encrypt 6 0 R\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(makeEncryption(key, c.trailer).trailerKeys(), c.keys) << c.trailer;
}

TEST(OutputEncryptionTrailer, WritesADirectEncryptionDictionaryThatReadsBackTheSame) {
    const FileKey key(kRc4Case);
    const std::string trailer = "<< /Encrypt << /Filter /Standard /V 2 /R 3 /Length 128 /P -3104 /O (o\\000w) "
                                "/U <75> /Odd#20Key /A#28b /CF << /F [1 2.5 true null 3 0 R] >> >> /ID [<01><02>] >>";
    const std::string keys = makeEncryption(key, trailer).trailerKeys();
    const std::string prefix = "/Encrypt ";
    ASSERT_EQ(keys.compare(0, prefix.size(), prefix), 0) << keys;
    const size_t lineEnd = keys.find('\n');
    EXPECT_EQ(keys.substr(lineEnd + 1), "/ID [<01><02>]\n");

    const CPdfElement written = parseValue(keys.substr(prefix.size(), lineEnd - prefix.size()));
    const CPdfElement original = parseValue(trailer);
    CPdfElement expected;
    original.getDictionary()->lookup("Encrypt", expected);
    ASSERT_TRUE(written.is(kindDictionary)) << keys;
    // Each value written and read again is the value read from the input.
    EXPECT_EQ(directObjectText(written), directObjectText(expected));
    CPdfElement owner, name, numbers;
    written.getDictionary()->lookup("O", owner);
    std::string ownerBytes;
    ASSERT_TRUE(getStringBytes(owner, ownerBytes));
    EXPECT_EQ(ownerBytes, std::string("o\0w", 3)) << "bytes after a zero byte are kept";
    written.getDictionary()->lookup("Odd Key", name);
    ASSERT_TRUE(name.is(kindName)) << keys;
    EXPECT_STREQ(name.getName(), "A(b");
    CPdfElement filters;
    written.getDictionary()->lookup("CF", filters);
    filters.getDictionary()->lookup("F", numbers);
    ASSERT_TRUE(numbers.is(kindArray));
    ASSERT_EQ(numbers.getArray()->getLength(), 5);
    EXPECT_DOUBLE_EQ(numbers.getArray()->at(1).getReal(), 2.5);
    EXPECT_TRUE(numbers.getArray()->at(2).getBool());
    EXPECT_TRUE(numbers.getArray()->at(3).is(kindNull));
    EXPECT_EQ(numbers.getArray()->at(4).getRefNumber(), 3);
}

TEST(StringRewriter, DecodesLiteralAndHexStringsAsReadersDo) {
    struct Case {
        const char* text;
        std::string bytes;
    };
    const Case cases[] = {
        {"(plain)", "plain"},
        {"(a\\nb\\rc\\td\\be\\ff)", "a\nb\rc\td\be\ff"},
        {"(\\0618)", "18"},
        {"(\\101\\7\\1234)", std::string("A\a") + "S4"},
        {"(\\q\\\\)", "q\\"},
        {"(line\\\njoined\\\r\nagain)", "linejoinedagain"},
        {"(cr\rlf\nboth\r\nend)", "cr\nlf\nboth\nend"},
        {"(a(b)c)", "a(b)c"},
        {"(a\\(b)", "a(b"},
        {"(\\400)", std::string(1, '\0')},
        {"<4 1\n4>", "A@"},
        {"<61626>", "ab`"},
        {"<>", ""},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> found = stringsOf(c.text);
        ASSERT_EQ(found.size(), 1u) << c.text;
        EXPECT_EQ(found[0], c.bytes) << c.text;
    }
    EXPECT_EQ(hexStringText(std::string("\x00\x7f\xff", 3)), "<007fff>");
}

TEST(StringRewriter, LeavesEverythingButStringsAlone) {
    auto marked = [](const std::string& text) {
        return rewriteStrings(text, [](const std::string&) { return std::string("X"); });
    };
    EXPECT_EQ(marked("<< /A 1 /B [2 3] >>"), "<< /A 1 /B [2 3] >>") << "dictionary delimiters are no strings";
    EXPECT_EQ(marked("% (comment)\r<< >>"), "% (comment)\r<< >>") << "nor is anything in a comment";
    EXPECT_EQ(marked("<< /Open (never closed >>"), "<< /Open (never closed >>") << "a string left open stays";
    EXPECT_EQ(marked("<< /A <4142 >>"), "<< /A X>") << "a hex string ends at the first >";
    EXPECT_EQ(marked("[(a)<62>(c)]"), "[XXX]");
    EXPECT_EQ(rewriteStrings("1 0 obj\r<</T(x)>>\r endobj\r", [](const std::string& b) { return hexStringText(b); }),
              "1 0 obj\r<</T<78>>>\r endobj\r");
}

}  // namespace
