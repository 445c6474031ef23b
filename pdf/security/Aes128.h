#pragma once

#include "pdf/security/Aes.h"

// AES with a 128-bit key, as the RC4-era revisions and their streams use it.
class CAes128 : public CAes {
public:
    static constexpr size_t kKeySize = static_cast<size_t>(AesKeySize::bits128);

    CAes128() : CAes(kZeroKey, AesKeySize::bits128) {}  // an all-zero key until setKey()
    explicit CAes128(const uint8_t* key) : CAes(key, AesKeySize::bits128) {}

    void setKey(const uint8_t* key) { CAes::setKey(key, AesKeySize::bits128); }

private:
    static constexpr uint8_t kZeroKey[kKeySize] = {};
};
