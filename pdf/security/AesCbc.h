#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pdf/security/Aes128.h"

// AES-128 decryption in CBC mode, one block at a time, with the padding of the last
// block removed (PKCS#5 kind).
struct AesState {
    CAes cipher = CAes128();
    uint8_t chainingValue[CAes128::kBlockSize] = {};
    uint8_t output[CAes128::kBlockSize] = {};
    // Next output byte to hand out; kBlockSize when the buffer is empty.
    size_t index = CAes128::kBlockSize;

    bool hasOutput() const { return index < CAes128::kBlockSize; }
};

// Key expansion; the output buffer becomes empty.
void aesInit(AesState& state, const uint8_t* key, AesKeySize size = AesKeySize::bits128);

// Decrypts one 16-byte block into the output buffer. For the last block, the value n of the
// last plain byte says how many bytes to drop: 16 - n bytes remain when n is below 16,
// none when n is 16 or more.
void aesDecryptBlock(AesState& state, const uint8_t* block, bool isLast);

// AES-128-CBC encryption with PKCS#5 padding (1 to 16 bytes, always present); the result
// is the 16 bytes of `iv` followed by the cipher text.
std::string aesCbcEncrypt(const uint8_t* key, const uint8_t* iv, const uint8_t* data, size_t length,
                          AesKeySize size = AesKeySize::bits128);
