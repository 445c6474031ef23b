#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

constexpr size_t kPasswordPaddingSize = 32;

// The fixed 32 bytes that fill up short passwords; the empty password is the padding itself.
constexpr uint8_t kPasswordPadding[kPasswordPaddingSize] = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A,
};

// The first 32 bytes of the password, filled up from the start of the padding.
inline void padPassword(const std::string& password, uint8_t* out) {
    const size_t used = password.size() < kPasswordPaddingSize ? password.size() : kPasswordPaddingSize;
    std::memcpy(out, password.data(), used);
    std::memcpy(out + used, kPasswordPadding, kPasswordPaddingSize - used);
}
