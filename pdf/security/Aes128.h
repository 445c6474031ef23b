#pragma once

#include <cstddef>
#include <cstdint>

// The AES block cipher with a 128-bit key (FIPS-197): the forward cipher and the
// equivalent inverse cipher, one 16-byte block at a time.
class CAes128 {
public:
    static constexpr size_t kBlockSize = 16;
    static constexpr size_t kKeySize = 16;

    CAes128();  // an all-zero key until setKey()
    explicit CAes128(const uint8_t* key) { setKey(key); }

    void setKey(const uint8_t* key);
    // `in` and `out` may be the same block.
    void encryptBlock(const uint8_t* in, uint8_t* out) const;
    void decryptBlock(const uint8_t* in, uint8_t* out) const;

private:
    static constexpr int kRounds = 10;
    static constexpr size_t kScheduleSize = kBlockSize * (kRounds + 1);

    uint8_t roundKeys_[kScheduleSize];
    // Round keys 1 to 9 passed through InvMixColumns, for the equivalent inverse cipher.
    uint8_t inverseRoundKeys_[kScheduleSize];
};
