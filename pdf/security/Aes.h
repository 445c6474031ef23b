#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class AesKeySize : size_t { bits128 = 16, bits192 = 24, bits256 = 32 };

// The AES block cipher (FIPS-197) with a 128-, 192- or 256-bit key: the forward cipher and the
// equivalent inverse cipher, one 16-byte block at a time.
class CAes {
public:
    static constexpr size_t kBlockSize = 16;
    static constexpr size_t kMaxKeySize = static_cast<size_t>(AesKeySize::bits256);

    CAes(const uint8_t* key, AesKeySize size) { setKey(key, size); }
    // Throws CPdfException when the key is not 16, 24 or 32 bytes long.
    explicit CAes(const std::vector<uint8_t>& key);

    // `in` and `out` may be the same block.
    void encryptBlock(const uint8_t* in, uint8_t* out) const;
    void decryptBlock(const uint8_t* in, uint8_t* out) const;

protected:
    void setKey(const uint8_t* key, AesKeySize size);

private:
    static constexpr int kMaxRounds = 14;
    static constexpr size_t kMaxScheduleSize = kBlockSize * (kMaxRounds + 1);

    int rounds_ = 0;
    uint8_t roundKeys_[kMaxScheduleSize];
    // Round keys 1 to rounds - 1 passed through InvMixColumns, for the equivalent inverse cipher.
    uint8_t inverseRoundKeys_[kMaxScheduleSize];
};
