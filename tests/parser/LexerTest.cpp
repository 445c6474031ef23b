// Tokens as the parser hands them out: numbers, strings, names, keywords, delimiters, comments.

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "pdf/objects/PdfString.h"
#include "tests/parser/ParserFixture.h"

namespace {

struct NumberCase {
    const char* input;
    ElementKind kind;
    double value;
};

}  // namespace

TEST(Lexer, NumbersFollowTheCLibraryConversionsAndClampTo32Bits) {
    const NumberCase cases[] = {
        {"-.5", kindReal, -0.5},         {"5.", kindReal, 5.0},
        {"1.2.3", kindReal, 1.2},        {".", kindReal, 0.0},
        {"-.", kindReal, 0.0},           {"-", kindInteger, 0},
        {"007", kindInteger, 7},         {"-17", kindInteger, -17},
        {"99999999999", kindInteger, INT32_MAX}, {"-99999999999", kindInteger, INT32_MIN},
        {"2147483647", kindInteger, INT32_MAX},  {"2147483648", kindInteger, INT32_MAX},
        {"-2147483648", kindInteger, INT32_MIN}, {"123456789012345678901234567890", kindInteger, INT32_MAX},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.input);
        ParsedText text(c.input);
        const CPdfElement number = text.next();
        ASSERT_EQ(number.getKind(), c.kind);
        EXPECT_DOUBLE_EQ(number.getNumber(), c.value);
        EXPECT_TRUE(text.next().is(kindEof));
    }
}

TEST(Lexer, SignsAndDotsSplitTokensWhereTheNumberStops) {
    ParsedText minus("--5 +5 1.5.5 3-4");
    EXPECT_EQ(minus.next().getInteger(), 0);
    EXPECT_EQ(minus.next().getInteger(), -5);
    const CPdfElement plus = minus.next();
    ASSERT_TRUE(plus.is(kindCommand));
    EXPECT_STREQ(plus.getCommand(), "+5");
    EXPECT_DOUBLE_EQ(minus.next().getReal(), 1.5);  // "1.5.5" is one token read up to the second dot
    EXPECT_EQ(minus.next().getInteger(), 3);
    EXPECT_EQ(minus.next().getInteger(), -4);
}

TEST(Lexer, LiteralStringEscapesNestingAndLineEnds) {
    const std::pair<std::string, std::string> cases[] = {
        {"(a(b)c)", "a(b)c"},
        {"(a\\)b)", "a)b"},
        {"(\\101)", "A"},
        {"(\\0618)", "18"},
        {"(\\7)", "\x07"},
        {"(\\777)", "\xFF"},
        {"(\\1012)", "A2"},
        {"(a\\\nb)", "ab"},
        {"(a\\\r\nb)", "ab"},
        {"(a\\\rb)", "ab"},
        {"(a\rb\nc)", "a\rb\nc"},
        {"(\\n\\r\\t\\b\\f)", "\n\r\t\b\f"},
        {"(\\q\\(\\\\)", "q(\\"},
        {"(open (inner)", "open (inner)"},
        {"(a\\", "a"},
        {"()", ""},
    };
    for (const auto& [input, value] : cases) {
        SCOPED_TRACE(input);
        ParsedText text(input);
        const CPdfElement string = text.next();
        ASSERT_TRUE(string.is(kindString));
        EXPECT_EQ(std::string(string.getString()), value);
        EXPECT_TRUE(text.next().is(kindEof));
    }
}

TEST(Lexer, AZeroByteEndsTheStringValueButNotTheToken) {
    ParsedText escaped("(ab\\000cd) 7");
    EXPECT_STREQ(escaped.next().getString(), "ab");
    EXPECT_EQ(escaped.next().getInteger(), 7);
    ParsedText raw(std::string("(ab\0cd) 8", 10));
    EXPECT_STREQ(raw.next().getString(), "ab");
    EXPECT_EQ(raw.next().getInteger(), 8);
}

TEST(Lexer, HexStringsKeepTheirDigitsUntilDecoded) {
    ParsedText text("<4142> <> <4 1 z> <6162");
    CPdfElement ab = text.next();
    ASSERT_TRUE(ab.is(kindHexString));
    CPdfString& digits = *ab.getHexString();
    EXPECT_FALSE(digits.isDecoded());
    EXPECT_EQ(std::string(digits.getBytes(), static_cast<size_t>(digits.getLength())), "4142");
    digits.decodeHex();
    EXPECT_EQ(std::string(digits.getBytes(), static_cast<size_t>(digits.getLength())), "AB");

    CPdfElement empty = text.next();
    ASSERT_TRUE(empty.is(kindHexString));
    EXPECT_EQ(empty.getHexString()->getLength(), 1);
    EXPECT_EQ(empty.getHexString()->getBytes()[0], '\0');
    empty.getHexString()->decodeHex();
    EXPECT_EQ(empty.getHexString()->getLength(), 0);

    CPdfElement spaced = text.next();
    EXPECT_EQ(std::string(spaced.getHexString()->getBytes(), 5), "4 1 z");

    CPdfElement unterminated = text.next();
    ASSERT_TRUE(unterminated.is(kindHexString));
    EXPECT_EQ(std::string(unterminated.getHexString()->getBytes(), 4), "6162");
    EXPECT_TRUE(text.next().is(kindEof));
}

TEST(Lexer, NamesWithEscapesDelimitersAndComments) {
    ParsedText text("/A#42 /A#4 /B /A#zz /a%b\n/c /#41#2 /x#00y / /tail");
    const std::vector<std::string> names = {"AB", "A@", "B", "A#zz", "a", "c", "A ", "x", "", "tail"};
    for (const std::string& expected : names) {
        SCOPED_TRACE(expected);
        const CPdfElement name = text.next();
        ASSERT_TRUE(name.is(kindName)) << name.getKind();
        EXPECT_EQ(std::string(name.getName()), expected);
    }
    EXPECT_TRUE(text.next().is(kindEof));
}

TEST(Lexer, KeywordsDelimitersAndStrayBytes) {
    ParsedText text("true false null True nullx ) { } > ] obj endobj\x80\xff");
    const CPdfElement yes = text.next();
    ASSERT_TRUE(yes.is(kindBool));
    EXPECT_TRUE(yes.getBool());
    const CPdfElement no = text.next();
    ASSERT_TRUE(no.is(kindBool));
    EXPECT_FALSE(no.getBool());
    EXPECT_TRUE(text.next().is(kindNull));
    EXPECT_TRUE(text.next().isCommand("True"));
    EXPECT_TRUE(text.next().isCommand("nullx"));
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(text.next().is(kindError)) << i;
    EXPECT_TRUE(text.next().isCommand("]"));
    EXPECT_TRUE(text.next().isCommand("obj"));
    EXPECT_TRUE(text.next().isCommand("endobj\x80\xff"));
    EXPECT_TRUE(text.next().is(kindEof));
    EXPECT_TRUE(text.next().is(kindEof));
}

TEST(Lexer, CommentsAndAllSixWhiteSpaceBytesSeparateTokens) {
    static const char kInput[] = "% first\n1%second\r2\0" "3\t4\f5 %x";
    ParsedText text(std::string(kInput, sizeof kInput - 1));
    for (int expected = 1; expected <= 5; ++expected) EXPECT_EQ(text.next().getInteger(), expected);
    EXPECT_TRUE(text.next().is(kindEof));
}
