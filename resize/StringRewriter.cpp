#include "resize/StringRewriter.h"

#include "pdf/syntax/SyntaxDecoders.h"
#include "pdf/syntax/SyntaxText.h"

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr int kNibbleBits = 4;
constexpr int kLowNibble = 0x0F;

}  // namespace

std::string hexStringText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2 + 2);
    text += '<';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kHexDigits[byte >> kNibbleBits];
        text += kHexDigits[byte & kLowNibble];
    }
    text += '>';
    return text;
}

std::string rewriteStrings(std::string_view text, const std::function<std::string(const std::string&)>& replace) {
    const SyntaxText syntax(text);
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    size_t copied = 0;  // bytes of `text` before this index are in `out`
    std::string value;
    for (SyntaxToken token = syntax.nextToken(0); !token.is(TokenKind::end); token = syntax.nextToken(token.last)) {
        const bool literal = token.is(TokenKind::literalString);
        if (!token.closed || (!literal && !token.is(TokenKind::hexString))) continue;
        const std::string_view body = text.substr(token.first + 1, token.last - token.first - 2);
        value.clear();
        if (literal) {
            appendLiteralString(body, value);
        } else {
            appendHexString(body, value);
        }
        out.append(text.data() + copied, token.first - copied);
        out += replace(value);
        copied = token.last;
    }
    out.append(text.data() + copied, text.size() - copied);
    return out;
}
