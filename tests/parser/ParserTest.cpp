// Tokens, and objects built from them: references, arrays, dictionaries, streams, limits.

#include <gtest/gtest.h>

#include "pdf/stream/PdfEmbedStream.h"
#include "tests/parser/ParserFixture.h"
#include "tests/support/TestTools.h"

namespace {

// A literal's bytes, zero bytes included.
template <size_t N>
std::string bytes(const char (&text)[N]) { return std::string(text, N - 1); }

TEST(Parser, TokensAndObjects) {
    IntegerResolver xref;
    xref.set(8, 4);
    const std::string missing = "!Missing 'endstream'", packed = deflateBytes("BT (compressed) Tj ET");
    const std::string unread = "error cmd(>>) cmd(stream) cmd(wxyz) cmd(endstream)";
    std::string deepDictionaries;
    for (int i = 0; i < 100000; ++i) deepDictionaries += "<</A ";
    const std::pair<std::string, std::string> cases[] = {
        // Numbers follow the C library's conversions and clamp to 32 bits.
        {"-.5 5. 1.2.3 . -. - 007 -17", "real(-0.5) real(5) real(1.2) real(0) real(0) 0 7 -17"},
        {"99999999999 -99999999999 2147483647 2147483648 -2147483648 123456789012345678901234567890",
         "2147483647 -2147483648 2147483647 2147483647 -2147483648 2147483647"},
        {"--5 +5 1.5.5 3-4", "0 -5 cmd(+5) real(1.5) 3 -4"},
        {"(a(b)c) (a\\)b) (\\101) (\\0618) (\\7) (\\777) (\\1012) ()", "(a(b)c) (a)b) (A) (18) (\x07) (\xFF) (A2) ()"},
        {"(a\\\nb) (a\\\r\nb) (a\\\rb) (a\rb\nc)", "(ab) (ab) (ab) (a\rb\nc)"},
        {"(\\n\\r\\t\\b\\f) (\\q\\(\\\\)", "(\n\r\t\b\f) (q(\\)"},
        {"(open (inner)", "(open (inner))"},
        {"(a\\", "(a)"},
        // A zero byte, escaped or raw, is kept and ends neither the string nor the token.
        {"(ab\\000cd) 7", bytes("(ab\0cd) 7")},
        {bytes("(ab\0cd) 8"), bytes("(ab\0cd) 8")},
        {"<4142> <> <4 1 z> <6162", bytes("<4142> <\0> <4 1 z> <6162>")},
        {"/A#42 /A#4 /B /A#zz /a%b\n/c /#41#2 /x#00y / /tail", "/AB /A@ /B /A#zz /a /c /A  /x / /tail"},
        {"true false null True nullx ) { } > ] obj endobj\x80\xff",
         "true false null cmd(True) cmd(nullx) error error error error cmd(]) cmd(obj) cmd(endobj\x80\xff)"},
        {bytes("% first\n1%second\r2\0" "3\t4\f5 %x"), "1 2 3 4 5"},
        // Only two integers and R make a reference.
        {"12 0 R 7 12 0 obj 12", "ref(12,0) 7 12 0 cmd(obj) 12"},
        {"1.5 0 R [1 2 R 3 4 5 R]", "real(1.5) 0 cmd(R) [ref(1,2) 3 ref(4,5)]"},
        // The end of the input closes arrays, and dictionaries without adding an unfinished entry.
        {"[1 (a) /N [2 []] <<>> ] [1 [2", "[1 (a) /N [2 []] <<>>] [1 [2]]"},
        {"<< /A [1 2 /B << /C", "<</A [1 2 /B <<>>]>>"},
        // Anything but a name where a key belongs is skipped; an error value drops its key.
        {"<< /A 1 /B >> /C 3 >>", "<</A 1 /B cmd(>>) /C 3>>"},
        {"<< /A ) /B 2 >> << 1 /A 2 (x) [3] /B /C >>", "<</B 2>> <</A 2 /B /C>>"},
        {"<< /A 1 /A 2 /R 4 0 R >>", "<</A 1 /R ref(4,0)>>"},
        // Nesting that would overflow the stack ends with a message; usual depths parse.
        {std::string(100000, '['), "!Arrays and dictionaries nested too deeply"},
        {deepDictionaries, "!Arrays and dictionaries nested too deeply"},
        {std::string(200, '[') + "7" + std::string(200, ']'), std::string(200, '[') + "7" + std::string(200, ']')},
        // Stream data is cut by Length; only white space may stand between its end and endstream.
        {"<< /Length 5 >>\nstream\nhello\nendstream\n9 <</Length 3>> stream\r\nabc endstream 10",
         "stream(hello) 9 stream(abc) 10"},
        {"<< /Length 6 >> stream\nhello\nendstream", "stream(hello\n)"},
        {"<< /Length 7 >> stream\nhello\nendstream", missing},
        {"<< /Length 3 >> stream\nhello\nendstream", missing},
        {"<< /Length 4000 >> stream\nhello\nendstream", missing},
        {"<< /Length 0 /Type /Empty >> stream\nendstream 5", "<</Length 0 /Type /Empty>> stream() 5"},
        {"<< /Length 0 /Filter /FlateDecode >> stream\nendstream", "<</Filter /FlateDecode /Length 0>> stream()"},
        // An indirect Length is resolved through the table; any other than an integer makes the
        // stream an error, and nothing of it is skipped.
        {"<< /Length 8 0 R >> stream\nwxyz\nendstream", "stream(wxyz)"},
        {"<< /Length 9 0 R >> stream\nwxyz\nendstream", unread},
        {"<< /Type /X >> stream\nwxyz\nendstream", unread},
        {"<< /Length 4.0 >> stream\nwxyz\nendstream", unread},
        {"<< /Filter /FlateDecode /Length " + std::to_string(packed.size()) + " >> stream\n" + packed + "\nendstream",
         "stream(BT (compressed) Tj ET)"},
        {"<< /Filter [/ASCIIHexDecode /FlateDecode] /Length 2 >> stream\nab\nendstream 3", "error 3"},
        {"<< /Filter /DCTDecode /Length 2 >> stream\nab\nendstream", "!Stream filter not supported"},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(parsed(input, &xref), expected) << input.substr(0, 60);
    EXPECT_EQ(parsed("<< /Length 8 0 R >> stream\nwxyz\nendstream"), unread) << "without a table, no length";
}

// Names and integers are read straight from the lexer's block when they end inside it: tokens cut
// by the end of a block at every byte read the same.
TEST(Parser, TokensCutByTheEndOfABlockReadTheSame) {
    const std::string tokens = "[12345 /Name#41x /Plain 2147483648 -7 3.25 99 /Z 0]";
    const std::string expected = "[12345 /NameAx /Plain 2147483647 -7 real(3.25) 99 /Z 0]";
    for (size_t pad = 960; pad < 1030; ++pad) {
        ParsedText parsed(std::string(pad, ' ') + tokens);
        EXPECT_EQ(describe(parsed.next()), expected) << "after " << pad << " blanks";
    }
}

TEST(Parser, ContainersAreBoundToTheTableAndDecodedDataHoldsNoStreams) {
    IntegerResolver xref;
    ParsedText text("[<<>>]", &xref);
    const CPdfElement array = text.next();
    EXPECT_EQ(array.getArray()->getXRef(), &xref);
    EXPECT_EQ(array.getArray()->at(0).getDictionary()->getXRef(), &xref);
    // Object streams are read through embed streams, and cannot hold stream objects.
    const std::string data = "<< /Length 2 >> stream\nab\nendstream";
    CPdfStreamRef memory(new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(data.data()), 0, 35));
    CPdfParser parser(nullptr, new CPdfEmbedStream(memory.get(), CPdfElement(), false, 0));
    CPdfElement object;
    parser.getObject(object);
    EXPECT_TRUE(object.is(kindError));
}

}  // namespace
