#include "pdf/syntax/SyntaxDecoders.h"

#include <cstring>

#include "pdf/syntax/PdfSyntax.h"

namespace {

constexpr int kNibbleBits = 4;
constexpr int kOctalBase = 8;
constexpr size_t kMaxOctalDigits = 3;
constexpr int kDecimalBase = 10;
// Far past every 32-bit value, far below the 64-bit limit.
constexpr int64_t kIntegerCeiling = int64_t{1} << 40;

char simpleEscape(char c) {
    switch (c) {
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'b': return '\b';
        case 'f': return '\f';
        default: return c;  // "\(", "\)", "\\"; before any other byte the backslash is dropped
    }
}

}  // namespace

void appendName(std::string_view body, std::string& out) {
    const size_t n = body.size();
    for (size_t i = 0; i < n; ++i) {
        char c = body[i];
        const int high = c == '#' && i + 1 < n ? hexDigitValue(body[i + 1]) : kNotHexDigit;
        if (high != kNotHexDigit) {
            const int low = i + 2 < n ? hexDigitValue(body[i + 2]) : kNotHexDigit;
            c = static_cast<char>(high << kNibbleBits | (low == kNotHexDigit ? 0 : low));
            i += 2;
        }
        if (c == '\0') return;
        out.push_back(c);
    }
}

std::string decodeName(std::string_view body) {
    std::string name;
    appendName(body, name);
    return name;
}

void appendLiteralString(std::string_view body, std::string& out) {
    const size_t n = body.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = body[i];
        if (c == kCarriageReturn) {
            if (i + 1 < n && body[i + 1] == kLineFeed) ++i;
            out.push_back(kLineFeed);
            continue;
        }
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i == n) return;
        const char next = body[i];
        if (isLineEnd(next)) {  // a backslash at the end of a line joins the lines
            if (next == kCarriageReturn && i + 1 < n && body[i + 1] == kLineFeed) ++i;
            continue;
        }
        if (!isOctalDigit(next)) {
            out.push_back(simpleEscape(next));
            continue;
        }
        int value = next - '0';
        for (size_t digits = 1; digits < kMaxOctalDigits && i + 1 < n && isOctalDigit(body[i + 1]); ++digits) {
            value = value * kOctalBase + (body[++i] - '0');
        }
        out.push_back(static_cast<char>(value & 0xFF));
    }
}

std::string decodeLiteralString(std::string_view body) {
    std::string bytes;
    bytes.reserve(body.size());
    appendLiteralString(body, bytes);
    return bytes;
}

void appendHexString(std::string_view body, std::string& out) {
    int high = kNotHexDigit;
    for (const char c : body) {
        const int value = hexDigitValue(c);
        if (value == kNotHexDigit) continue;
        if (high == kNotHexDigit) {
            high = value;
        } else {
            out.push_back(static_cast<char>(high << kNibbleBits | value));
            high = kNotHexDigit;
        }
    }
    if (high != kNotHexDigit) out.push_back(static_cast<char>(high << kNibbleBits));
}

std::string decodeHexString(std::string_view body) {
    std::string bytes;
    bytes.reserve(body.size() / 2 + 1);
    appendHexString(body, bytes);
    return bytes;
}

int64_t integerValue(std::string_view token) {
    size_t i = 0;
    const bool negative = !token.empty() && token[0] == '-';
    if (negative) ++i;
    int64_t value = 0;
    for (; i < token.size() && isDigit(token[i]); ++i) {
        value = value * kDecimalBase + (token[i] - '0');
        if (value > kIntegerCeiling) {
            value = kIntegerCeiling;
            break;
        }
    }
    return negative ? -value : value;
}
