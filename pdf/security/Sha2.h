#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class Sha2Variant { sha256, sha384, sha512 };

// The SHA-2 message digests SHA-256, SHA-384 and SHA-512 (FIPS 180-4), fed in pieces.
class CSha2 {
public:
    explicit CSha2(Sha2Variant variant);

    void update(const uint8_t* data, size_t length);
    void update(const std::vector<uint8_t>& data) { update(data.data(), data.size()); }
    // The digest: 32, 48 or 64 bytes. The hasher is spent afterwards: update() or finish() again is a
    // caller error.
    std::vector<uint8_t> finish();

    static size_t digestSize(Sha2Variant variant);
    static std::vector<uint8_t> digest(Sha2Variant variant, const std::vector<uint8_t>& data);

private:
    static constexpr size_t kMaxBlockSize = 128;
    static constexpr size_t kStateWords = 8;

    bool hasWideWords() const { return variant_ != Sha2Variant::sha256; }
    size_t blockSize() const;
    void compress(const uint8_t* block);

    Sha2Variant variant_;
    uint64_t state_[kStateWords];  // SHA-256 keeps its 32-bit words in the low halves
    uint64_t byteCount_ = 0;
    uint8_t buffer_[kMaxBlockSize];
};
