#pragma once
// Hex notation for the byte strings of the security tests.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes fromHex(const std::string& hex) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    Bytes bytes;
    int high = -1;
    for (char c : hex) {
        const int value = digit(c);
        if (value < 0) {
            if (c == ' ') continue;
            throw std::invalid_argument("not a hex digit in test data");
        }
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0) throw std::invalid_argument("odd number of hex digits in test data");
    return bytes;
}

inline std::string toHex(const uint8_t* data, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (size_t k = 0; k < length; ++k) {
        hex += kDigits[data[k] >> 4];
        hex += kDigits[data[k] & 15];
    }
    return hex;
}

inline std::string toHex(const Bytes& bytes) { return toHex(bytes.data(), bytes.size()); }

inline Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }
