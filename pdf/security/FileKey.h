#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

// aes256 uses the file key itself for every object; the others derive one key per object.
enum class CipherKind : uint8_t { rc4, aes128, aes256 };

// A document's file key: its bytes, how many there are, and the cipher they serve.
class FileKey {
public:
    // Room for the longest key of any cipher (AES-256).
    static constexpr size_t kMaxLength = 32;

    FileKey() = default;
    // Bytes past kMaxLength are not kept.
    FileKey(const uint8_t* bytes, size_t length, CipherKind cipher)
        : size_(bytes ? std::min(length, kMaxLength) : 0), cipher_(cipher) {
        if (size_ > 0) std::memcpy(bytes_.data(), bytes, size_);
    }
    ~FileKey() { bytes_.fill(0); }
    FileKey(const FileKey&) = default;
    FileKey& operator=(const FileKey&) = default;

    const uint8_t* data() const { return bytes_.data(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    CipherKind cipher() const { return cipher_; }

private:
    std::array<uint8_t, kMaxLength> bytes_{};
    size_t size_ = 0;
    CipherKind cipher_ = CipherKind::rc4;
};
