#pragma once

#include <cstddef>
#include <cstdint>

// Cipher kinds handed from the security handler through the cross-reference to the decoders.
constexpr int kCipherRc4 = 0;
constexpr int kCipherAes = 1;

constexpr size_t kMaxFileKeyLength = 16;

// The key of one object under the file key.
struct ObjectKey {
    uint8_t bytes[kMaxFileKeyLength];
    size_t length;  // RC4 uses this many bytes; AES always all 16
};

// MD5 of the file key, the three low bytes of the object number and the two low bytes of the
// generation (low bytes first), and "sAlT" for AES. A file key length outside 0..16 is
// clamped to that range rather than read past the key.
ObjectKey makeObjectKey(const uint8_t* fileKey, int fileKeyLength, int cipherKind, uint32_t objectNumber,
                        uint32_t generation);
