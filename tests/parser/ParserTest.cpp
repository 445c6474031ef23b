// Tokens and objects built from them, streams with their decoders; strings and streams of encrypted documents.
#include <gtest/gtest.h>

#include "pdf/security/ObjectEncryptor.h"
#include "tests/parser/ParserFixture.h"
#include "tests/support/TestTools.h"

namespace {

constexpr int kNumber = 7, kGeneration = 1;  // of the encrypted objects

template <size_t N>
std::string bytes(const char (&text)[N]) { return std::string(text, N - 1); }  // zero bytes included

TEST(Parser, TokensAndObjects) {
    TextResolver xref({{8, "4"}, {20, "/FlateDecode"}, {21, "!"}});
    const std::string missing = "!Missing 'endstream'", packed = deflateBytes("BT (compressed) Tj ET");
    const std::string unread = "error cmd(>>) cmd(stream) cmd(wxyz) cmd(endstream)";
    // Two PNG Up rows of 5 bytes, and what they give with 5 columns.
    const std::string raw = "\2\1\2\3\4\5\2\1\1\1\1\1", rows = deflateBytes(raw), up = "stream(\1\2\3\4\5\2\3\4\5\6)";
    std::string hexRows;
    for (unsigned char c : rows) hexRows += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    const std::pair<std::string, std::string> cases[] = {
        // Numbers follow the C library's conversions and clamp to 32 bits.
        {"-.5 5. 1.2.3 . -. - 007 -17", "real(-0.5) real(5) real(1.2) real(0) real(0) 0 7 -17"},
        {"99999999999 -99999999999 2147483647 2147483648 -2147483648 123456789012345678901234567890",
         "2147483647 -2147483648 2147483647 2147483647 -2147483648 2147483647"},
        {"(a(b)c) (\\7) (\\777) (\\1012) () (\\n\\r\\t\\b\\f) (\\q\\(\\\\) (a\\", "(a(b)c) (\x07) (\xFF) (A2) () (\n\r\t\b\f) (q(\\) (a)"},
        {"(a\\\nb) (a\\\r\nb) (a\\\rb) (a\rb\nc\r\nd)", "(ab) (ab) (ab) (a\nb\nc\nd)"},  // any line end is one LF
        // A zero byte, escaped or raw, is kept and ends neither the string nor the token.
        {bytes("(ab\\000cd) (ab\0cd) 8"), bytes("(ab\0cd) (ab\0cd) 8")},
        {"<4142> <> <4 1 z> <6162", bytes("<4142> <\0> <4 1 z> <6162>")}, {"/A#42 /B /#41#2 /x#00y / /t", "/AB /B /A  /x / /t"},
        {"true false null True nullx ) { } > ] obj endobj\x80\xff",
         "true false null cmd(True) cmd(nullx) error error error error cmd(]) cmd(obj) cmd(endobj\x80\xff)"},
        {bytes("% first\n1%second\r2\0" "3\t4\f5 %x"), "1 2 3 4 5"},
        // Only two integers and R make a reference.
        {"12 0 R 7 12 0 obj 12", "ref(12,0) 7 12 0 cmd(obj) 12"},
        {"1.5 0 R [1 2 R 3 4 5 R]", "real(1.5) 0 cmd(R) [ref(1,2) 3 ref(4,5)]"},
        // The end of the input closes arrays, and dictionaries without adding an unfinished entry.
        {"[1 (a) /N [2 []] <<>> ] [1 [2", "[1 (a) /N [2 []] <<>>] [1 [2]]"}, {"<< /A [1 2 /B << /C", "<</A [1 2 /B <<>>]>>"},
        // Anything but a name where a key belongs is skipped; an error value drops its key.
        {"<< /A 1 /B >> /C 3 >>", "<</A 1 /B cmd(>>) /C 3>>"}, {"<< /A 1 /A 2 /R 4 0 R >>", "<</A 1 /R ref(4,0)>>"},
        {"<< /A ) /B 2 >> << 1 /A 2 (x) [3] /B /C >>", "<</B 2>> <</A 2 /B /C>>"},
        // Usual depths parse (too deep ones: tests/integration).
        {std::string(200, '[') + "7" + std::string(200, ']'), std::string(200, '[') + "7" + std::string(200, ']')},
        // Stream data is cut by Length; only white space may stand between its end and endstream.
        {"<< /Length 5 >>\nstream\nhello\nendstream\n9 <</Length 3>> stream\r\nabc endstream 10",
         "stream(hello) 9 stream(abc) 10"},
        {"<< /Length 6 >> stream\nhello\nendstream", "stream(hello\n)"},
        {"<< /Length 7 >> stream\nhello\nendstream", missing}, {"<< /Length 3 >> stream\nhello\nendstream", missing},
        {"<< /Length 0 /Type /Empty >> stream\nendstream 5", "<</Length 0 /Type /Empty>> stream() 5"},
        // An indirect Length is resolved through the table; any other non-integer makes an error, skipping nothing.
        {"<< /Length 8 0 R >> stream\nwxyz\nendstream", "stream(wxyz)"},
        {"<< /Length 9 0 R >> stream\nwxyz\nendstream", unread}, {"<< /Length 4.0 >> stream\nwxyz\nendstream", unread},
        // Filter or F, a name or a one-element array; DecodeParms or DP, beside a one-element array also one.
        {streamText("/F /Fl", packed), "stream(BT (compressed) Tj ET)"},
        {streamText("/Filter [20 0 R]", packed), "stream(BT (compressed) Tj ET)"},
        {streamText("/Filter 21 0 R", packed), "!broken object"}, {streamText("/Filter 3", packed) + " 3", "error 3"},
        // A Filter array is a chain; a filter without a decoder parses and fails only when the data is read.
        {streamText("/Filter [/AHx /Fl] /DecodeParms [null << /Predictor 12 /Columns 5 >>]", hexRows + ">"), up},
        {"<< /Filter [/ASCIIHexDecode 3] /Length 2 >> stream\nab\nendstream 3", "error 3"},
        {"<< /Filter [/AHx /DCTDecode] /Length 2 >> stream\nab\nendstream", "!Stream filter not supported"},
        {streamText("/Filter /FlateDecode /DP << /Predictor 12 /Columns 5 >>", rows), up},
        {streamText("/Filter /FlateDecode /DecodeParms [<< /Predictor 12 /Columns 5 >>]", rows), "stream(" + raw + ")"},
        {streamText("/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 5.0 >>", rows),  // Columns stays 1
         "stream(\1\4\11\12\1\1)"},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(parsed(input, &xref), expected) << input.substr(0, 60);
    EXPECT_EQ(parsed("<< /Length 8 0 R >> stream\nwxyz\nendstream"), unread) << "without a table, no length";
}

// Names and integers are read straight from the lexer's block when they end inside it.
TEST(Parser, TokensCutByTheEndOfABlockReadTheSame) {
    for (size_t pad = 960; pad < 1030; ++pad) {
        EXPECT_EQ(describe(ParsedText(std::string(pad, ' ') + "[12345 /Name#41x /Plain 2147483648 -7 3.25 99 /Z 0]").next()),
                  "[12345 /NameAx /Plain 2147483647 -7 real(3.25) 99 /Z 0]") << "after " << pad << " blanks";
    }
}

// Stream data is decrypted before its filters unless kept plain; a literal string that is a whole object is decrypted.
TEST(Parser, DecryptsWholeStringsAndStreamDataUnlessKeptInPlainText) {
    const uint8_t key[16] = {0x3a, 0x11, 0x90, 5, 0xfe, 0x42, 0x7c, 8, 0x61, 0xd3, 0x2b, 0x99, 0, 0x14, 0xe7, 0x5c};
    const std::string plain = "BT /F1 12 Tf 72 720 Td (encrypted content) Tj ET\n", packed = deflateBytes(plain);
    const std::string expected = "stream(" + plain + ")";
    for (const FileKey& fileKey : {FileKey(key, 5, CipherKind::rc4), {key, 16, CipherKind::rc4}, {key, 16, CipherKind::aes128}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(fileKey.cipher())) + " " + std::to_string(fileKey.size()));
        const auto sealed = [&](const std::string& s) { return ObjectEncryptor(fileKey).encrypt(s, kNumber, kGeneration); };
        // The first object of `text` as object `as`, of this document or of a plain one.
        const auto read = [&](const std::string& text, int as = kNumber, bool metadata = true, bool keyed = true) {
            ParsedText input(text);
            CPdfElement object;
            return input.parser.getObject(object, keyed ? &fileKey : nullptr, as, kGeneration, metadata), describe(object);
        };
        const struct { const char* entries; std::string data; bool metadata; } rows[] = {
            {"/Filter /FlateDecode", sealed(packed), true},
            // Kept plain: cross-reference streams, the default Identity crypt filter, metadata when so marked.
            {"/Type /XRef", plain, true}, {"/Filter /Crypt", plain, true}, {"/Filter [/Crypt /FlateDecode]", packed, true},
            {"/Type /Metadata /Subtype /XML", plain, false},
            // A crypt filter that names a filter of the document decrypts like the document's own.
            {"/Filter [/Crypt /FlateDecode] /DecodeParms [<< /Name /StdCF >> null]", sealed(packed), true},
            {"/Filter /Crypt /DecodeParms << /Name /StdCF >>", sealed(plain), true},
            {"/Type /Page", sealed(plain), false},  // only metadata stays plain under EncryptMetadata false
        };
        for (const auto& r : rows) EXPECT_EQ(read(streamText(r.entries, r.data), kNumber, r.metadata), expected) << r.entries;
        EXPECT_EQ(read(streamText("", "")), "<</Length 0>> stream()");
        // Only the object's own key opens it; a document without a key reads the stored bytes.
        EXPECT_NE(read(streamText("", sealed(plain)), kNumber + 1), expected);
        EXPECT_EQ(read(streamText("", sealed(plain)), kNumber, true, false), "stream(" + sealed(plain) + ")");

        // Every byte counts: a zero byte in the plain text, and for RC4 one in the cipher text (at 3).
        std::string secret("secret\0text here", 16);
        if (fileKey.cipher() == CipherKind::rc4) secret[3] = sealed(std::string(16, '\0'))[3];
        std::string literal = "(";  // the delimiters escaped
        for (const char c : sealed(secret)) literal += std::string(c == '(' || c == ')' || c == '\\', '\\') + c;
        literal += ")";
        EXPECT_EQ(read(literal), "(" + secret + ")");
        EXPECT_NE(read(literal, kNumber + 1), "(" + secret + ")");
        EXPECT_EQ(read("[" + literal + "]"), "[(" + sealed(secret) + ")]") << "strings inside objects stay as stored";
        EXPECT_EQ(read("<41>"), "<41>");
    }
}

}  // namespace
