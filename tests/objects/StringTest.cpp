// Hex decoding and text extraction of CPdfString.

#include "pdf/objects/PdfException.h"
#include "pdf/objects/PdfString.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// A string as the parser leaves a hex string: the digits, not yet decoded.
std::unique_ptr<CPdfString> hexDigits(const std::string& digits) {
    auto string = std::make_unique<CPdfString>(digits.data(), static_cast<int32_t>(digits.size()));
    string->setDecoded(false);
    return string;
}

std::string bytesOf(const CPdfString& string) {
    return std::string(string.getBytes(), static_cast<size_t>(string.getLength()));
}

}  // namespace

TEST(StringTest, HexDigitsDecodeInPairs) {
    struct Case {
        std::string digits;
        std::string bytes;
    };
    const Case cases[] = {
        {"48656C6C6F", "Hello"},
        {"48656c6c6f", "Hello"},
        {"48656C6C6", "Hell"},            // the odd last digit has no partner
        {std::string("48 65"), "\x48\x06"},  // white space counts as a 0 digit
        {"4G", "\x40"},                   // so does any other non-digit
        {"", ""},
        {"7", ""},
        {"FF00", std::string("\xFF\x00", 2)},
    };
    for (const Case& c : cases) {
        auto string = hexDigits(c.digits);
        EXPECT_FALSE(string->isDecoded());
        string->decodeHex();
        EXPECT_TRUE(string->isDecoded());
        EXPECT_EQ(c.bytes, bytesOf(*string)) << c.digits;
    }
}

TEST(StringTest, DecodingHappensOnlyOnce) {
    auto string = hexDigits("34313432");
    string->decodeHex();
    EXPECT_EQ("4142", bytesOf(*string));
    string->decodeHex();  // the bytes are no longer digits to decode
    EXPECT_EQ("4142", bytesOf(*string));

    CPdfString literal("4142", 4);  // made from bytes: decoded from the start
    literal.decodeHex();
    EXPECT_EQ("4142", bytesOf(literal));
}

TEST(StringTest, ByteOrderMarksAreDroppedWithZeroBytes) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {std::string("\xFE\xFF\x00\x41\x00\x42", 6), "AB"},
        {std::string("\xFF\xFE\x41\x00\x42\x00", 6), "AB"},
        {std::string("\xFE\xFF\x41", 3), "A"},
        {std::string("\xFE\xFF", 2), "\xFE\xFF"},  // too short to count as marked
        {std::string("\xFF\xFE", 2), "\xFF\xFE"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        CPdfString string(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
        EXPECT_EQ(c.text, std::string(string.getText())) << c.text;
    }
    // Unmarked text keeps its zero bytes; the length says where it ends.
    const std::string zeros("a\0b", 3);
    CPdfString unmarked(zeros.data(), 3);
    EXPECT_EQ(zeros, std::string(unmarked.getText(), static_cast<size_t>(unmarked.getLength())));
    // Digits not yet decoded are never taken for a mark.
    auto digits = hexDigits("FEFF0041");
    EXPECT_FALSE(digits->hasBigEndianMark());
    EXPECT_STREQ("FEFF0041", digits->getText());
    digits->decodeHex();
    EXPECT_TRUE(digits->hasBigEndianMark());
    EXPECT_STREQ("A", digits->getText());
}

TEST(StringTest, CloneCopiesBytesAndFlagAndClearEmpties) {
    auto original = hexDigits("4142");
    std::unique_ptr<CPdfString> clone(original->clone());
    EXPECT_FALSE(clone->isDecoded());
    EXPECT_NE(original->getBytes(), clone->getBytes());
    clone->decodeHex();
    EXPECT_EQ("AB", bytesOf(*clone));
    EXPECT_EQ("4142", bytesOf(*original));

    CPdfString copy(*clone);
    clone->clear();
    EXPECT_EQ(0, clone->getLength());
    EXPECT_TRUE(clone->isDecoded());
    EXPECT_STREQ("", clone->getText());
    EXPECT_EQ("AB", bytesOf(copy));

    original->clear();  // clearing undecoded digits leaves nothing to decode later
    original->decodeHex();
    EXPECT_EQ(0, original->getLength());
}

TEST(ExceptionTest, CopiesOwnTheirMessage) {
    std::unique_ptr<CPdfException> original = std::make_unique<CPdfException>("Corrupted PDF file");
    CPdfException copy(*original);
    original.reset();
    EXPECT_STREQ("Corrupted PDF file", copy.getMessage());
    try {
        throw CPdfException(std::string("PDF file was damaged"));
    } catch (const CPdfException& caught) {
        EXPECT_STREQ("PDF file was damaged", caught.getMessage());
    }
}
