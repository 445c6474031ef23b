#pragma once

#include <array>
#include <cstdint>

// The byte classes of PDF syntax and the digits of its escapes: every reader of raw PDF text
// (the lexer, the raw-text scanners and editors, the string decoders) asks here.

enum class ByteClass : uint8_t { regular, white, delimiter };

namespace pdfsyntax {

constexpr std::array<ByteClass, 256> makeByteClasses() {
    std::array<ByteClass, 256> classes{};
    for (const int c : {0x00, 0x09, 0x0A, 0x0C, 0x0D, 0x20}) classes[c] = ByteClass::white;
    for (const char c : {'%', '(', ')', '/', '<', '>', '[', ']', '{', '}'}) {
        classes[static_cast<uint8_t>(c)] = ByteClass::delimiter;
    }
    return classes;
}

// One look-up per byte: the lexer classifies every byte it reads.
inline constexpr std::array<ByteClass, 256> kByteClasses = makeByteClasses();

}  // namespace pdfsyntax

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr int kNotHexDigit = -1;

inline ByteClass byteClass(char c) { return pdfsyntax::kByteClasses[static_cast<uint8_t>(c)]; }
inline bool isWhite(char c) { return byteClass(c) == ByteClass::white; }
inline bool isRegular(char c) { return byteClass(c) == ByteClass::regular; }
inline bool isLineEnd(char c) { return c == kLineFeed || c == kCarriageReturn; }
inline bool isDigit(int c) { return c >= '0' && c <= '9'; }
inline bool isOctalDigit(int c) { return c >= '0' && c <= '7'; }

// The value of a hex digit of either case, or kNotHexDigit.
inline int hexDigitValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return kNotHexDigit;
}
