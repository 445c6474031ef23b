#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kMd5DigestSize = 16;

// MD5 message digest (RFC 1321), fed in pieces.
class CMd5 {
public:
    CMd5();

    void update(const uint8_t* data, size_t length);
    // Writes the 16-byte digest. The hasher is spent afterwards: update() or finish() again
    // is a caller error.
    void finish(uint8_t* digest);

private:
    static constexpr size_t kBlockSize = 64;

    void transform(const uint8_t* block);

    uint32_t state_[4];
    uint64_t byteCount_ = 0;
    uint8_t buffer_[kBlockSize];
};

// One-shot MD5 of `length` bytes; `digest` may be the same memory as `data`.
void md5(const uint8_t* data, size_t length, uint8_t* digest);
