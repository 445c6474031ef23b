#include "resize/StringRewriter.h"

#include "pdf/objects/PdfCharacters.h"

namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr int kOctalBase = 8;
constexpr size_t kMaxOctalDigits = 3;
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr int kHexBase = 16;

char escapedCharacter(char c) {
    switch (c) {
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'b': return '\b';
        case 'f': return '\f';
        default: return c;  // "\(", "\)", "\\", and a backslash before any other byte is dropped
    }
}

// One past the ")" that closes the literal string whose "(" is at `open`, or npos.
size_t literalEnd(std::string_view text, size_t open) {
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

}  // namespace

std::string decodeLiteralString(std::string_view body) {
    std::string bytes;
    bytes.reserve(body.size());
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == kCarriageReturn) {
            if (i + 1 < body.size() && body[i + 1] == kLineFeed) ++i;
            bytes += kLineFeed;
            continue;
        }
        if (c != '\\' || i + 1 == body.size()) {
            if (c != '\\') bytes += c;
            continue;
        }
        const char next = body[++i];
        if (next == kCarriageReturn || next == kLineFeed) {
            // A backslash at the end of a line joins the lines.
            if (next == kCarriageReturn && i + 1 < body.size() && body[i + 1] == kLineFeed) ++i;
            continue;
        }
        if (!isOctalDigit(next)) {
            bytes += escapedCharacter(next);
            continue;
        }
        int value = next - '0';
        for (size_t digits = 1; digits < kMaxOctalDigits && i + 1 < body.size() && isOctalDigit(body[i + 1]); ++digits) {
            value = value * kOctalBase + (body[++i] - '0');
        }
        bytes += static_cast<char>(value & 0xFF);
    }
    return bytes;
}

std::string decodeHexString(std::string_view body) {
    std::string bytes;
    bytes.reserve(body.size() / 2 + 1);
    int high = kNotHexDigit;
    for (const char c : body) {
        const int value = hexDigitValue(c);
        if (value == kNotHexDigit) continue;
        if (high == kNotHexDigit) {
            high = value;
        } else {
            bytes += static_cast<char>(high * kHexBase + value);
            high = kNotHexDigit;
        }
    }
    if (high != kNotHexDigit) bytes += static_cast<char>(high * kHexBase);
    return bytes;
}

std::string hexStringText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2 + 2);
    text += '<';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kHexDigits[byte >> 4];
        text += kHexDigits[byte & 0x0F];
    }
    text += '>';
    return text;
}

std::string rewriteStrings(std::string_view text, const std::function<std::string(const std::string&)>& replace) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    size_t copied = 0;  // bytes of `text` before this index are in `out`
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '%') {
            // A comment runs to the end of its line; nothing in it is a string.
            while (i < text.size() && text[i] != kLineFeed && text[i] != kCarriageReturn) ++i;
            continue;
        }
        if (c == '<' && i + 1 < text.size() && text[i + 1] == '<') {
            i += 2;
            continue;
        }
        size_t end = std::string_view::npos;
        std::string bytes;
        if (c == '(') {
            end = literalEnd(text, i);
            if (end != std::string_view::npos) bytes = decodeLiteralString(text.substr(i + 1, end - i - 2));
        } else if (c == '<') {
            const size_t close = text.find('>', i + 1);
            if (close != std::string_view::npos) {
                end = close + 1;
                bytes = decodeHexString(text.substr(i + 1, close - i - 1));
            }
        }
        if (end == std::string_view::npos) {
            // Not a string, or one left open: its bytes stay.
            i = c == '(' || c == '<' ? text.size() : i + 1;
            continue;
        }
        out.append(text.data() + copied, i - copied);
        out += replace(bytes);
        i = end;
        copied = end;
    }
    out.append(text.data() + copied, text.size() - copied);
    return out;
}
