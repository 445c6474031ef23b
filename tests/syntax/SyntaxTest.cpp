// One reading of PDF syntax: tokens and their values; the parser and the raw-text scanners find the same entries.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "pdf/syntax/SyntaxDecoders.h"
#include "pdf/syntax/SyntaxText.h"
#include "resize/DictionaryScanner.h"
#include "resize/ObjectHeadScanner.h"
#include "tests/parser/ParserFixture.h"

namespace {

// Each token as its value: /name, (literal), <hex bytes>, "!" for an error, other tokens as they stand.
std::string tokens(const std::string& input) {
    const SyntaxText text(input);
    std::string out;
    for (SyntaxToken t = text.nextToken(0); !t.is(TokenKind::end); t = text.nextToken(t.last)) {
        const std::string_view bytes = text.bytes(t);
        const std::string body(bytes.substr(1, bytes.size() - (t.closed ? 2 : 1)));
        out += out.empty() ? "" : " ";
        switch (t.kind) {
            case TokenKind::name: out += "/" + decodeName(text.bytes(t).substr(1)); break;
            case TokenKind::literalString: out += "(" + decodeLiteralString(body) + ")"; break;
            case TokenKind::hexString: out += "<" + decodeHexString(body) + ">"; break;
            case TokenKind::error: out += "!"; break;
            default: out += std::string(text.bytes(t));
        }
    }
    return out;
}

TEST(Syntax, TokensAndTheirValues) {
    const std::pair<std::string, std::string> cases[] = {
        // Escaped names; "#" and a digit take the next byte whatever it is, "#" before anything else stays.
        {"/Le#6egth /Media#42ox /X#4( 1 /A#zz /a%b /c\n/d /x#00y /#", "/Length /MediaBox /X@ 1 /A#zz /a /d /x /#"},
        // White space and other bytes inside hex strings are skipped; an odd last digit pairs with 0.
        {"<8A3F 21C0> <61626> <> <4\r\n1 G>", "<\x8A\x3F\x21\xC0> <ab`> <> <A>"},
        // Any end of line in a literal string is one line feed; after a backslash it joins the lines.
        {"(a\r\nb\rc\nd) (\\\r\nx\\101\\0618\\q\\)) (un(bal)anced", "(a\nb\nc\nd) (xA18q)) (un(bal)anced)"},
        {"<< /A [1 2 R] >> ) { } > -.5 --5 3-4 +5 1.2.3 true", "<< /A [ 1 2 R ] >> ! ! ! ! -.5 - -5 3 -4 +5 1.2.3 true"},
        // Comments end at CR or LF and hide delimiters.
        {"1 % /Contents >> (\r2%)\n3", "1 2 3"},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(tokens(input), expected) << input;
    EXPECT_TRUE(integerValue("-0042") == -42 && integerValue("99999999999999999999") == integerValue("99999999999999"));
}

// Bytes that go on past the text leave a token that touches their end unjudged; tokens that cannot grow are judged.
TEST(Syntax, TokensCutByTheEndOfTheBytes) {
    const std::pair<std::string, bool> cases[] = {
        {"/Nam", true}, {"12", true}, {"(open", true}, {"(a\\", true}, {"<41", true}, {">", true}, {"<", true},
        {"/A#4", true}, {"obj", true}, {"(done)", false}, {"<41>", false}, {">>", false}, {"]", false}, {"<<", false},
    };
    for (const auto& [input, cut] : cases) {
        EXPECT_EQ(SyntaxText(input, false).tokenAt(0).is(TokenKind::partial), cut) << input;
        EXPECT_FALSE(SyntaxText(input, true).tokenAt(0).is(TokenKind::partial)) << input;
    }
    bool inComment = false;  // a comment open at the end of a block stays open
    EXPECT_TRUE(SyntaxText("  % no end", false).skipBlanks(0, inComment) == 10u && inComment);
    EXPECT_EQ(SyntaxText("still comment\n /A").skipBlanks(0, inComment), 15u);
}

// The raw-text editors find every key the parser keeps, at the span whose text parses to the same value, and no other.
TEST(Syntax, ParserAndScannersReadTheSameEntries) {
    const std::pair<std::string, std::string> cases[] = {
        {"<< /Le#6egth 5 /Media#42ox [0 0 1 1] >>", "<</Length 5 /MediaBox [0 0 1 1]>>"},
        {"<< /X#4( 1 /Contents 9 0 R >>", "<</Contents ref(9,0) /X@ 1>>"},
        {"<< /Length 8 0 %c\nR /Type /Obj#53tm >>", "<</Length ref(8,0) /Type /ObjStm>>"},
        {"<< % /Contents 1 0 R >>\n/A 1 %>> /B (\n/Contents 3 0 R >>", "<</A 1 /Contents ref(3,0)>>"},
        {"<< /A 1 ) /Contents 3 0 R /B ) /C 2 >>", "<</A 1 /C 2 /Contents ref(3,0)>>"},
        {"<< 1 [ /Contents 5 0 R ] /T (a)b) >>", "<</Contents ref(5,0) /T (a)>>"},
        {"<< /K [1 0 R 2] /N << /Contents 1 0 R >> /Contents [] /Contents 4 0 R >>",
         "<</Contents [] /K [ref(1,0) 2] /N <</Contents ref(1,0)>>>>"},
    };
    for (const auto& [input, expected] : cases) {
        ParsedText reader(input);
        const CPdfElement dictionary = reader.next();
        ASSERT_EQ(describe(dictionary), expected) << input;
        const CPdfDictionary& entries = *dictionary.getDictionary();
        const DictionaryScanner scanner(input);
        for (int32_t i = 0; i < entries.getLength(); ++i) {
            const std::string key = entries.getKey(i);
            TextEntry entry;
            ASSERT_TRUE(scanner.findKey(0, "/" + key, entry)) << input << " " << key;
            EXPECT_EQ(parsed(input.substr(entry.valueFirst, entry.valueLast - entry.valueFirst)),
                      describe(*entries.find(key.c_str()))) << input << " " << key;
        }
        std::set<std::string> keys;
        const SyntaxText text(input);
        size_t position = 2;
        for (SyntaxEntry entry; text.nextEntry(position, entry);) keys.insert(decodeName(text.bytes(entry.key).substr(1)));
        EXPECT_EQ(keys.size(), static_cast<size_t>(entries.getLength())) << input;
    }
}

TEST(Syntax, ObjectHeadsReadLengthAndTypeAsTheParserDoes) {
    using Kind = ObjectHead::LengthKind;
    const std::tuple<std::string, Kind, uint64_t, bool> cases[] = {
        {"5 0 obj << /Len#67th 8 0 %c\nR /Type /Obj#53tm >> stream\r\n", Kind::reference, 8, true},
        {"5 0 obj << /Type /ObjStm % >>\n/Length 12 >>\nstream\n", Kind::direct, 12, true},
        {"5 0 obj << /Type /XObject /T#79pe /ObjStm /Length 3 /Length 4 >>\nstream\n", Kind::direct, 3, false},
        {"5 0 obj << /X#4( 1 /Length -3 /Type [/ObjStm] >>\nstream\n", Kind::none, 0, false},
    };
    for (const auto& [text, kind, length, objectStream] : cases) {
        const ObjectHead head = scanObjectHead(text.data(), text.size(), false);
        EXPECT_TRUE(head.status == ObjectHead::Status::stream && head.dataOffset == text.size()) << text;
        EXPECT_TRUE(head.lengthKind == kind && head.isObjectStream == objectStream) << text;
        EXPECT_EQ(kind == Kind::reference ? head.lengthNumber : head.length, length) << text;
    }
}

}  // namespace
