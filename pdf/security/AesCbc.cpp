#include "pdf/security/AesCbc.h"

#include <cstring>

namespace {
constexpr size_t kBlockSize = CAes128::kBlockSize;
}

void aesInit(AesState& state, const uint8_t* key, AesKeySize size) {
    state.cipher = CAes(key, size);
    state.index = kBlockSize;
}

void aesDecryptBlock(AesState& state, const uint8_t* block, bool isLast) {
    state.cipher.decryptBlock(block, state.output);
    for (size_t k = 0; k < kBlockSize; ++k) state.output[k] ^= state.chainingValue[k];
    std::memcpy(state.chainingValue, block, kBlockSize);
    state.index = 0;
    if (!isLast) return;

    const size_t padding = state.output[kBlockSize - 1];
    if (padding >= kBlockSize) {
        state.index = kBlockSize;
        return;
    }
    // Keep the bytes at the end of the buffer so that the index alone says what is left.
    std::memmove(state.output + padding, state.output, kBlockSize - padding);
    state.index = padding;
}

std::string aesCbcEncrypt(const uint8_t* key, const uint8_t* iv, const uint8_t* data, size_t length,
                          AesKeySize size) {
    const CAes cipher(key, size);
    const size_t paddedLength = (length / kBlockSize + 1) * kBlockSize;
    std::string result(kBlockSize + paddedLength, '\0');
    uint8_t* out = reinterpret_cast<uint8_t*>(&result[0]);
    std::memcpy(out, iv, kBlockSize);

    const uint8_t* previous = out;
    for (size_t offset = 0; offset < paddedLength; offset += kBlockSize) {
        uint8_t block[kBlockSize];
        const size_t available = offset < length ? length - offset : 0;
        const size_t copied = available < kBlockSize ? available : kBlockSize;
        if (copied) std::memcpy(block, data + offset, copied);
        std::memset(block + copied, static_cast<int>(paddedLength - length), kBlockSize - copied);
        for (size_t k = 0; k < kBlockSize; ++k) block[k] ^= previous[k];
        uint8_t* cipherBlock = out + kBlockSize + offset;
        cipher.encryptBlock(block, cipherBlock);
        previous = cipherBlock;
    }
    return result;
}
