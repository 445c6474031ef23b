#include <gtest/gtest.h>

#include <string>

#include "resize/DictionaryScanner.h"

namespace {

// The range of `needle` (its first occurrence at or after `from`) in `text`.
TextRange rangeOf(const std::string& text, const std::string& needle, size_t from = 0) {
    const size_t first = text.find(needle, from);
    EXPECT_NE(first, std::string::npos) << needle;
    return {first, first + needle.size()};
}

std::string valueText(const std::string& text, const TextEntry& entry) {
    return text.substr(entry.valueFirst, entry.valueLast - entry.valueFirst);
}

TEST(KeyScanner, GivesKeyAndValueRangesForEveryKindOfValue) {
    const std::string text =
        "7 0 obj\n<< /Type /Page /MediaBox [0 0 612 792] /Contents 12 0 R /Rotate 90\n"
        "/Resources << /Font << /F1 3 0 R >> >> /T (a title) /ID <0A1B> /Flag true >>\nendobj\n";
    const DictionaryScanner scanner(text);
    struct Case {
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"/Type", "/Page"},       {"/MediaBox", "[0 0 612 792]"}, {"/Contents", "12 0 R"},
        {"/Rotate", "90"},        {"/Resources", "<< /Font << /F1 3 0 R >> >>"},
        {"/T", "(a title)"},      {"/ID", "<0A1B>"},              {"/Flag", "true"},
    };
    for (const Case& c : cases) {
        TextEntry entry;
        ASSERT_TRUE(scanner.findKey(c.key, entry)) << c.key;
        const TextRange key = rangeOf(text, std::string(c.key) + " ");
        EXPECT_EQ(entry.keyFirst, key.first) << c.key;
        EXPECT_EQ(entry.keyLast, key.last - 1) << c.key;
        EXPECT_EQ(valueText(text, entry), c.value) << c.key;
    }
    TextEntry entry;
    EXPECT_FALSE(scanner.findKey("/Font", entry));  // only inside /Resources
    EXPECT_FALSE(scanner.findKey("/Annots", entry));
    EXPECT_TRUE(scanner.isReference(rangeOf(text, "12 0 R").first, rangeOf(text, "12 0 R").last));
    EXPECT_FALSE(scanner.isReference(rangeOf(text, "90").first, rangeOf(text, "90").last));
}

TEST(KeyScanner, KeyMustEndAtDelimiterOrWhiteSpace) {
    const std::string text = "<< /ContentsX 5 0 R /Content 6 0 R /Contents[4 0 R]/MediaBox/Foo >>";
    const DictionaryScanner scanner(text);
    TextEntry entry;
    ASSERT_TRUE(scanner.findKey("/Contents", entry));
    EXPECT_EQ(entry.keyFirst, text.find("/Contents["));
    EXPECT_EQ(valueText(text, entry), "[4 0 R]");
    ASSERT_TRUE(scanner.findKey("/MediaBox", entry));
    EXPECT_EQ(valueText(text, entry), "/Foo");
    EXPECT_FALSE(scanner.findKey("/Cont", entry));
}

TEST(KeyScanner, NestedDictionariesArraysStringsAndCommentsNeverMatch) {
    const std::string text =
        "5 0 obj <<\n"
        "/Annots [ << /Subtype /Text /Contents (note) /Rect [1 2 3 4] >> ]\n"
        "/PieceInfo << /App << /MediaBox [9 9 9 9] /Contents 99 0 R >> >>\n"
        "/T (a \\) /Rect [5 5 5 5] (nested /MediaBox) text)\n"
        "/H <2F4D65646961426F78>\n"
        "% /Contents 77 0 R in a comment\n"
        "/Contents 4 0 R /Rect [10 20 30 40] /MediaBox [0 0 100 200]\n"
        ">> endobj";
    const DictionaryScanner scanner(text);
    TextEntry entry;
    ASSERT_TRUE(scanner.findKey("/Contents", entry));
    EXPECT_EQ(entry.keyFirst, text.find("/Contents 4 0 R"));
    EXPECT_EQ(valueText(text, entry), "4 0 R");
    ASSERT_TRUE(scanner.findKey("/Rect", entry));
    EXPECT_EQ(valueText(text, entry), "[10 20 30 40]");
    ASSERT_TRUE(scanner.findKey("/MediaBox", entry));
    EXPECT_EQ(valueText(text, entry), "[0 0 100 200]");
    ASSERT_TRUE(scanner.findKey("/T", entry));
    EXPECT_EQ(valueText(text, entry), "(a \\) /Rect [5 5 5 5] (nested /MediaBox) text)");
    EXPECT_FALSE(scanner.findKey("/Subtype", entry));
    EXPECT_FALSE(scanner.findKey("/App", entry));
}

TEST(KeyScanner, StreamDataAndTextAfterTheDictionaryAreNotScanned) {
    const std::string stream =
        "9 0 obj\n<< /Length 30 /Type /Pattern >>\nstream\n/MediaBox [1 2 3 4] /Matrix [1]\nendstream\nendobj\n";
    const DictionaryScanner scanner(stream);
    TextEntry entry;
    EXPECT_EQ(scanner.objectDictionary(), stream.find("<<"));
    EXPECT_TRUE(scanner.findKey("/Type", entry));
    EXPECT_FALSE(scanner.findKey("/MediaBox", entry));
    EXPECT_FALSE(scanner.findKey("/Matrix", entry));

    // A dictionary that is not closed ends at the "stream" keyword, not in the data.
    const std::string unclosed = "9 0 obj\n<< /Length 30\nstream\n/Matrix [1 0 0 1 0 0]\nendstream\nendobj\n";
    EXPECT_FALSE(DictionaryScanner(unclosed).findKey("/Matrix", entry));
}

TEST(KeyScanner, FindsTheObjectsOwnValueAfterItsHeader) {
    const std::string rebuilt = "12 0 obj\r<</Type/Annot/Rect[1 2 3 4]>> endobj\r";
    EXPECT_EQ(DictionaryScanner(rebuilt).objectDictionary(), rebuilt.find("<<"));
    const std::string commented = "3 1 obj % <<\n  [4 0 R 5 0 R]\nendobj\n";
    const DictionaryScanner array(commented);
    EXPECT_EQ(array.objectValue(), commented.find("[4"));
    EXPECT_EQ(array.objectDictionary(), DictionaryScanner::npos);
    EXPECT_EQ(DictionaryScanner("8 0 obj\nendobj\n").objectValue(), DictionaryScanner::npos);
    EXPECT_EQ(DictionaryScanner("<< /A 1 >>").objectDictionary(), 0u);
}

TEST(KeyScanner, DecodesNameEscapesAndReportsKeysWithoutValue) {
    const std::string text = "<< /Media#42ox [0 0 1 1] /Contents >>";
    const DictionaryScanner scanner(text);
    TextEntry entry;
    ASSERT_TRUE(scanner.findKey("/MediaBox", entry));
    EXPECT_EQ(entry.keyFirst, text.find("/Media#42ox"));
    ASSERT_TRUE(scanner.findKey("/Contents", entry));
    EXPECT_EQ(entry.valueFirst, entry.valueLast);
    EXPECT_EQ(entry.valueFirst, entry.keyLast);
}

TEST(KeyScanner, ListsArrayElementsAndStopsUnclosedValuesBeforeForeignClosers) {
    const std::string text = "[ 1 0 R << /A [1 2] /B (x]) >> (y\\)) /N 3.5 <ab> [ [ ] ] ]";
    const DictionaryScanner scanner(text);
    const std::vector<TextRange> elements = scanner.arrayElements(0);
    const char* expected[] = {"1 0 R", "<< /A [1 2] /B (x]) >>", "(y\\))", "/N", "3.5", "<ab>", "[ [ ] ]"};
    ASSERT_EQ(elements.size(), std::size(expected));
    for (size_t i = 0; i < elements.size(); ++i) {
        EXPECT_EQ(text.substr(elements[i].first, elements[i].last - elements[i].first), expected[i]) << i;
    }
    EXPECT_EQ(scanner.valueEnd(0), text.size());

    // An array missing its "]" ends before the ">>" of the dictionary around it.
    const std::string broken = "<< /MediaBox [0 0 612 792 >> endobj";
    TextEntry entry;
    ASSERT_TRUE(DictionaryScanner(broken).findKey("/MediaBox", entry));
    EXPECT_EQ(entry.valueLast, broken.find(">>"));
    // A string that never closes swallows the rest: nothing after it is a key.
    EXPECT_FALSE(DictionaryScanner("<< /T (open /Rect [1 2 3 4] >>").findKey("/Rect", entry));
}

}  // namespace
