#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "pdf/security/Aes.h"

using AesBlock = std::array<uint8_t, CAes::kBlockSize>;

enum class AesPadding {
    none,   // whole blocks in, whole blocks out
    pkcs5,  // 1 to 16 bytes of value n close the plain text, always present
};

// AES in CBC mode over whole byte strings, for any AES key size. The initialisation vector is
// given and is not part of the result (PDF strings and streams carry it in front of the data).
class CAesCbcCipher {
public:
    explicit CAesCbcCipher(const std::vector<uint8_t>& key) : cipher_(key) {}

    // Without padding the plain text must be whole blocks: anything else throws CPdfException.
    std::vector<uint8_t> encrypt(const AesBlock& iv, const std::vector<uint8_t>& plain, AesPadding padding) const;
    // A partial last block is dropped. With padding the value n of the last plain byte removes
    // min(n, 16) bytes, as readers do with damaged padding.
    std::vector<uint8_t> decrypt(const AesBlock& iv, const std::vector<uint8_t>& cipherText, AesPadding padding) const;

    const CAes& blockCipher() const { return cipher_; }

private:
    CAes cipher_;
};
