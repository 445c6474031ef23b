// Tokens and objects built from them, streams with their decoders; strings and streams of encrypted documents, and
// the Standard security handler on the dictionaries read from them.
#include <gtest/gtest.h>

#include "pdf/security/ObjectEncryptor.h"
#include "pdf/security/SecurityHandler.h"
#include "tests/parser/ParserFixture.h"
#include "tests/support/TestTools.h"

namespace {

constexpr int kNumber = 7, kGeneration = 1;  // of the encrypted objects

template <size_t N>
std::string bytes(const char (&text)[N]) { return std::string(text, N - 1); }  // zero bytes included
std::string hex(const uint8_t* data, size_t length) {
    std::string digits;
    for (size_t k = 0; k < length; ++k) digits += {"0123456789abcdef"[data[k] >> 4], "0123456789abcdef"[data[k] & 15]};
    return digits;
}
// The bytes of these hex digits as a literal string, each one an octal escape.
std::string literal(const std::string& digits) {
    std::string text = "(";
    for (size_t k = 0; k + 1 < digits.size(); k += 2) {
        const int byte = std::stoi(digits.substr(k, 2), nullptr, 16);
        text += {'\\', char('0' + byte / 64), char('0' + byte / 8 % 8), char('0' + byte % 8)};
    }
    return text + ")";
}

TEST(Parser, TokensAndObjects) {
    TextResolver xref({{8, "4"}, {20, "/FlateDecode"}, {21, "!"}});
    const std::string missing = "!Missing 'endstream'", packed = deflateBytes("BT (compressed) Tj ET");
    const std::string unread = "error cmd(>>) cmd(stream) cmd(wxyz) cmd(endstream)";
    // Two PNG Up rows of 5 bytes, and what they give with 5 columns.
    const std::string raw = "\2\1\2\3\4\5\2\1\1\1\1\1", rows = deflateBytes(raw), up = "stream(\1\2\3\4\5\2\3\4\5\6)";
    const std::string hexRows = hex(reinterpret_cast<const uint8_t*>(rows.data()), rows.size());
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

std::string edit(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);  // throws when `from` is missing
}
std::string enc(const std::string& head, const std::string& o, const std::string& u, const std::string& tail = "") {
    return "<< /Filter /Standard " + head + " /O " + o + " /U " + u + tail + " >>";
}
std::string cryptFilter(const std::string& method, const std::string& length = " /Length 16") {
    return " /StmF /StdCF /StrF /StdCF /CF << /StdCF << /AuthEvent /DocOpen /CFM /" + method + length + " >> >>";
}

const std::string kId = "66d36a30a97e0f16f39955c6221e0c2a";
const std::string kR2 = "/V 1 /R 2 /Length 40 /P -64", kR3 = "/V 2 /R 3 /Length 128 /P -3104";
const std::string kV4 = "/V 4 /R 4 /Length 128 /P -4", kClear = " /EncryptMetadata false";
const std::string kR2O = "<2055c756c72e1ad702608e8196acad447ad32d17cff583235f6dd15fed7dab67>";
const std::string kR2U = "<9e8e293e504292c520ee9f6a2a0e4857abef00b324b1041ac79a33f2cbde52a2>";
const std::string kR3O = "<36451bd39d753b7c1d10922c28e6665aa4f3353fb0348b536893e3b1db5c579b>";
const std::string kR3U = "<4ead05d7de6542e9b1ac15a5837882ec91f1dd59d88e5b6e5e0a7954217a8f78>";
const std::string kV4U = "<32c27288b9ec6a4fab94e6188828595c0122456a91bae5134273a6db134c87c4>";
const std::string kV4ClearU = "<e4d8eb0d7c43579866926fec0eab59020122456a91bae5134273a6db134c87c4>";
const std::string kR2Dict = enc(kR2, kR2O, kR2U), kR3Dict = enc(kR3, kR3O, kR3U);
const std::string kV4Dict = enc(kV4, kR3O, kV4U, cryptFilter("V2"));
const std::string kV4AesDict = enc(kV4, kR3O, kV4U, cryptFilter("AESV2"));

std::unique_ptr<CSecurityHandler> handlerFor(const std::string& encrypt,
                                             const std::string& trailer = "<< /ID [ <" + kId + "> <" + kId + "> ] >>") {
    return makeSecurityHandler(ParsedText(trailer).next(), ParsedText(encrypt).next());
}

// Key, version, cipher and owner flag; or "fails" with the key length; or no handler; or the error.
std::string outcome(const std::string& encrypt, const std::string& owner = "", const std::string& user = "") {
    try {
        const auto handler = handlerFor(encrypt);
        if (!handler) return "no handler";
        const bool opened = handler->checkEncryption(owner, user);
        const auto keyLength = size_t(handler->getFileKeyLength());
        if (!opened) return "fails " + std::to_string(keyLength);
        return hex(handler->getFileKey(), keyLength) + " V" + std::to_string(handler->getEncVersion()) +
               (handler->getCipherKind() == CipherKind::aes128 ? " AES" : " RC4") +
               (handler->getOwnerPasswordOk() ? " owner" : "");
    } catch (const CPdfException& e) {
        return e.getMessage();
    }
}

// Dictionaries of corpus files (values and keys as qpdf reports them) and variants of them.
TEST(StandardSecurityHandler, OpensCorpusDictionariesAndJudgesVariants) {
    const std::string r2Master = enc(kR2, "<09d1dcbeee8e06c9097eb769a96fedb71891fd7a9b2fc605690557da6d132a24>",
                                     "<5fe5d8dcbb0987a8e00ac0440c55540891f1dd59d88e5b6e5e0a7954217a8f78>");
    const std::string r3Master = enc(kR3, "<43c9dc2870a984994bc1265a57c7f8ada724fa891e652bb0654f50170f72f5ee>",
                                     "<3b64a47ae69c81add269ec98ad14615991f1dd59d88e5b6e5e0a7954217a8f78>");
    const std::string r3View = enc(kR3, "<0b519e6d22cff2512874511174dd17f0fd531ede8de0c811aa83ad6ba09358e9>",
                                   "<2283eba99a7ec1b60a3a6fefc409941991f1dd59d88e5b6e5e0a7954217a8f78>");
    const std::string unsupported = "Unsupported version/revision of Standard security handler";
    const std::string weird = "Weird encryption info", r2Key = "8d4aa87ff7 V1 RC4";
    const std::string r3Key = "3f54c11cc0c68dee27fa25422bba524d", aesKey = "474258b004f2ce0017adeb6e79574357 V2 AES";
    const std::string clearMetadata = enc(kV4, kR3O, kV4ClearU, cryptFilter("V2") + kClear);
    const std::string r3WithFilter = enc(kR3, kR3O, kR3U, cryptFilter("AESV2"));  // read only for V 4 R 4
    const std::string viewKey = "1701b0ac5035f48d96f6ef350a4cd68d V2 RC4";
    const std::vector<std::string> rows[] = {  // dictionary, outcome[, owner password, user password]
        {r2Master, "d8a7a86122 V1 RC4 owner", "master", ""},
        {r3Master, "88ce1c392a579d50797f65bd39ba22ab V2 RC4 owner", "master", ""},
        {r3View, viewKey, "", "view"}, {r3View, "fails 16"}, {r3View, viewKey + " owner", "view", ""},
        {kR2Dict, r2Key}, {kR3Dict, r3Key + " V2 RC4"}, {kV4AesDict, aesKey},
        {clearMetadata, "25976fb9fc748e3218ad6d5b7e42ac50 V2 RC4"}, {enc(kV4, kR3O, kV4ClearU, cryptFilter("V2")), "fails 16"},
        {edit(kR3Dict, "/P", kClear + " /P"), r3Key + " V2 RC4"},  // counts only for V 4
        {edit(kR2Dict, "/Length 40", "/Length 128"), r2Key}, {edit(kR3Dict, "/Length 128", "/Length -128"), "fails 5"},
        {edit(kV4AesDict, "/Length 16", "/Length 128"), aesKey}, {edit(kV4Dict, "/Length 16", "/Length 5"), "fails 5"},
        {edit(kV4Dict, " /Length 16", ""), "474258b004f2ce0017adeb6e79574357 V2 RC4"},
        {enc(kR2, literal(kR2O.substr(1, 64)), literal(kR2U.substr(1, 64))), r2Key},  // U holds a zero
        {enc(kR2, kR2O, literal(kR2U.substr(1, 62))), "fails 5"},
        {edit(kR2Dict, "/Standard", "/standard"), "no handler"}, {"/Standard", "no handler"},
        {edit(kR2Dict, kR2O, "/abc"), weird},
        {edit(edit(kR2Dict, "/P -64", ""), "/V 1", "/V 5"), weird},  // found before the version
        {edit(r3WithFilter, "/V 2 /R 3", "/V 1 /R 3"), r3Key + " V1 RC4"},
        {edit(r3WithFilter, "/R 3", "/R 4"), unsupported}, {edit(r3WithFilter, "/V 2 /R 3", "/V 5 /R 6"), unsupported},
        {enc(kV4, kR3O, kV4U), unsupported}, {edit(kV4AesDict, "/StrF /StdCF", "/StrF /Identity"), unsupported},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.size() > 2 ? outcome(row[0], row[2], row[3]) : outcome(row[0]), row[1]) << row[0];
    }
    // The ID's first element, of either string kind, enters the key; a missing or unusable one fails the check.
    EXPECT_TRUE(handlerFor(kR2Dict, "<< /ID [ " + literal(kId) + " <00> ] >>")->checkEncryption("", ""));
    for (const char* trailer : {"<< >>", "<< /ID [ ] >>", "<< /ID [ 3 <00> ] >>", "<< /ID <00> >>", ""})
        EXPECT_FALSE(handlerFor(kR2Dict, trailer)->checkEncryption("", "")) << trailer;
    EXPECT_TRUE(!handlerFor(clearMetadata)->getEncryptMetadata() && handlerFor(kV4Dict)->getEncryptMetadata());
}

}  // namespace
