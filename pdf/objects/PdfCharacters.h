#pragma once

// Character classes that the lexer, the string decoder and the string rewriter all read the same way.

constexpr int kNotHexDigit = -1;

// The value of a hex digit of either case, or kNotHexDigit.
inline int hexDigitValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return kNotHexDigit;
}

inline bool isOctalDigit(int c) { return c >= '0' && c <= '7'; }
