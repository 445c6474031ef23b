#include "pdf/security/Sha2.h"

#include <cstring>

namespace {

// The first 64 bits of the fractional parts of the cube roots of the first 80 primes; SHA-256
// uses the high 32 bits of the first 64 of them.
constexpr uint64_t kRoundConstants[80] = {
    0x428a2f98d728ae22ull, 0x7137449123ef65cdull, 0xb5c0fbcfec4d3b2full, 0xe9b5dba58189dbbcull,
    0x3956c25bf348b538ull, 0x59f111f1b605d019ull, 0x923f82a4af194f9bull, 0xab1c5ed5da6d8118ull,
    0xd807aa98a3030242ull, 0x12835b0145706fbeull, 0x243185be4ee4b28cull, 0x550c7dc3d5ffb4e2ull,
    0x72be5d74f27b896full, 0x80deb1fe3b1696b1ull, 0x9bdc06a725c71235ull, 0xc19bf174cf692694ull,
    0xe49b69c19ef14ad2ull, 0xefbe4786384f25e3ull, 0x0fc19dc68b8cd5b5ull, 0x240ca1cc77ac9c65ull,
    0x2de92c6f592b0275ull, 0x4a7484aa6ea6e483ull, 0x5cb0a9dcbd41fbd4ull, 0x76f988da831153b5ull,
    0x983e5152ee66dfabull, 0xa831c66d2db43210ull, 0xb00327c898fb213full, 0xbf597fc7beef0ee4ull,
    0xc6e00bf33da88fc2ull, 0xd5a79147930aa725ull, 0x06ca6351e003826full, 0x142929670a0e6e70ull,
    0x27b70a8546d22ffcull, 0x2e1b21385c26c926ull, 0x4d2c6dfc5ac42aedull, 0x53380d139d95b3dfull,
    0x650a73548baf63deull, 0x766a0abb3c77b2a8ull, 0x81c2c92e47edaee6ull, 0x92722c851482353bull,
    0xa2bfe8a14cf10364ull, 0xa81a664bbc423001ull, 0xc24b8b70d0f89791ull, 0xc76c51a30654be30ull,
    0xd192e819d6ef5218ull, 0xd69906245565a910ull, 0xf40e35855771202aull, 0x106aa07032bbd1b8ull,
    0x19a4c116b8d2d0c8ull, 0x1e376c085141ab53ull, 0x2748774cdf8eeb99ull, 0x34b0bcb5e19b48a8ull,
    0x391c0cb3c5c95a63ull, 0x4ed8aa4ae3418acbull, 0x5b9cca4f7763e373ull, 0x682e6ff3d6b2b8a3ull,
    0x748f82ee5defb2fcull, 0x78a5636f43172f60ull, 0x84c87814a1f0ab72ull, 0x8cc702081a6439ecull,
    0x90befffa23631e28ull, 0xa4506cebde82bde9ull, 0xbef9a3f7b2c67915ull, 0xc67178f2e372532bull,
    0xca273eceea26619cull, 0xd186b8c721c0c207ull, 0xeada7dd6cde0eb1eull, 0xf57d4f7fee6ed178ull,
    0x06f067aa72176fbaull, 0x0a637dc5a2c898a6ull, 0x113f9804bef90daeull, 0x1b710b35131c471bull,
    0x28db77f523047d84ull, 0x32caab7b40c72493ull, 0x3c9ebe0a15c9bebcull, 0x431d67c49c100d4cull,
    0x4cc5d4becb3e42b6ull, 0x597f299cfc657e2aull, 0x5fcb6fab3ad6faecull, 0x6c44198c4a475817ull,
};

// The first 64 bits of the fractional parts of the square roots of the first eight primes
// (SHA-512; SHA-256 takes their high halves) and of the ninth to sixteenth (SHA-384).
constexpr uint64_t kInitial512[8] = {
    0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull, 0xa54ff53a5f1d36f1ull,
    0x510e527fade682d1ull, 0x9b05688c2b3e6c1full, 0x1f83d9abfb41bd6bull, 0x5be0cd19137e2179ull,
};
constexpr uint64_t kInitial384[8] = {
    0xcbbb9d5dc1059ed8ull, 0x629a292a367cd507ull, 0x9159015a3070dd17ull, 0x152fecd8f70e5939ull,
    0x67332667ffc00b31ull, 0x8eb44a8768581511ull, 0xdb0c2e0d64f98fa7ull, 0x47b5481dbefa4fa4ull,
};

constexpr uint8_t kFirstPadByte = 0x80;
constexpr int kBitsPerByte = 8;
constexpr int kBlockWords = 16;
constexpr int kWorkingWords = 8;  // a to h
constexpr size_t kSha384Words = 6;

// What differs between the 32-bit and the 64-bit functions: rounds and rotation amounts.
template <typename Word> struct Shape;
template <> struct Shape<uint32_t> {
    static constexpr int kRounds = 64;
    static constexpr int kBigSigma0[3] = {2, 13, 22}, kBigSigma1[3] = {6, 11, 25};
    static constexpr int kSmallSigma0[3] = {7, 18, 3}, kSmallSigma1[3] = {17, 19, 10};  // two rotations, a shift
    static constexpr int kConstantShift = 32;
};
template <> struct Shape<uint64_t> {
    static constexpr int kRounds = 80;
    static constexpr int kBigSigma0[3] = {28, 34, 39}, kBigSigma1[3] = {14, 18, 41};
    static constexpr int kSmallSigma0[3] = {1, 8, 7}, kSmallSigma1[3] = {19, 61, 6};
    static constexpr int kConstantShift = 0;
};

template <typename Word> constexpr Word rotateRight(Word x, int bits) {
    return static_cast<Word>((x >> bits) | (x << (sizeof(Word) * kBitsPerByte - bits)));
}
template <typename Word> Word bigSigma(Word x, const int (&r)[3]) {
    return rotateRight(x, r[0]) ^ rotateRight(x, r[1]) ^ rotateRight(x, r[2]);
}
template <typename Word> Word smallSigma(Word x, const int (&r)[3]) {
    return rotateRight(x, r[0]) ^ rotateRight(x, r[1]) ^ (x >> r[2]);
}

template <typename Word> Word loadBigEndian(const uint8_t* p) {
    Word value = 0;
    for (size_t k = 0; k < sizeof(Word); ++k) value = static_cast<Word>(value << kBitsPerByte | p[k]);
    return value;
}

template <typename Word> void compressBlock(uint64_t* state, const uint8_t* block) {
    using S = Shape<Word>;
    Word schedule[S::kRounds];
    for (int t = 0; t < kBlockWords; ++t) schedule[t] = loadBigEndian<Word>(block + sizeof(Word) * t);
    for (int t = kBlockWords; t < S::kRounds; ++t)
        schedule[t] = static_cast<Word>(smallSigma(schedule[t - 2], S::kSmallSigma1) + schedule[t - 7] +
                                        smallSigma(schedule[t - 15], S::kSmallSigma0) + schedule[t - 16]);
    Word v[kWorkingWords];
    for (int k = 0; k < kWorkingWords; ++k) v[k] = static_cast<Word>(state[k]);
    for (int t = 0; t < S::kRounds; ++t) {
        const Word choose = static_cast<Word>((v[4] & v[5]) ^ (~v[4] & v[6]));
        const Word majority = static_cast<Word>((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
        const Word t1 = static_cast<Word>(v[7] + bigSigma(v[4], S::kBigSigma1) + choose +
                                          static_cast<Word>(kRoundConstants[t] >> S::kConstantShift) + schedule[t]);
        const Word t2 = static_cast<Word>(bigSigma(v[0], S::kBigSigma0) + majority);
        std::memmove(v + 1, v, (kWorkingWords - 1) * sizeof(Word));
        v[4] = static_cast<Word>(v[4] + t1);
        v[0] = static_cast<Word>(t1 + t2);
    }
    for (int k = 0; k < kWorkingWords; ++k) state[k] = static_cast<Word>(state[k] + v[k]);
}

}  // namespace

CSha2::CSha2(Sha2Variant variant) : variant_(variant) {
    const uint64_t* initial = variant == Sha2Variant::sha384 ? kInitial384 : kInitial512;
    const int shift = variant == Sha2Variant::sha256 ? Shape<uint32_t>::kConstantShift : 0;
    for (size_t k = 0; k < kStateWords; ++k) state_[k] = initial[k] >> shift;
}

size_t CSha2::digestSize(Sha2Variant variant) {
    switch (variant) {
        case Sha2Variant::sha256: return kStateWords * sizeof(uint32_t);
        case Sha2Variant::sha384: return kSha384Words * sizeof(uint64_t);
        case Sha2Variant::sha512: return kStateWords * sizeof(uint64_t);
    }
    return 0;
}

size_t CSha2::blockSize() const { return hasWideWords() ? kMaxBlockSize : kMaxBlockSize / 2; }

void CSha2::compress(const uint8_t* block) {
    if (hasWideWords()) {
        compressBlock<uint64_t>(state_, block);
    } else {
        compressBlock<uint32_t>(state_, block);
    }
}

void CSha2::update(const uint8_t* data, size_t length) {
    const size_t block = blockSize();
    size_t used = static_cast<size_t>(byteCount_ % block);
    byteCount_ += length;
    if (used) {
        const size_t taken = length < block - used ? length : block - used;
        std::memcpy(buffer_ + used, data, taken);
        data += taken;
        length -= taken;
        used += taken;
        if (used < block) return;
        compress(buffer_);
    }
    for (; length >= block; data += block, length -= block) compress(data);
    if (length) std::memcpy(buffer_, data, length);
}

std::vector<uint8_t> CSha2::finish() {
    const size_t block = blockSize();
    // The message length in bits closes the last block, in a field of 8 (SHA-256) or 16 bytes whose
    // high half stays zero here.
    const size_t lengthField = block / kBitsPerByte;
    const uint64_t bitCount = byteCount_ * kBitsPerByte;
    uint8_t padding[2 * kMaxBlockSize] = {kFirstPadByte};
    const size_t used = static_cast<size_t>(byteCount_ % block);
    const size_t padLength = (used + 1 + lengthField <= block ? block : 2 * block) - used;
    for (size_t k = 0; k < sizeof bitCount; ++k)
        padding[padLength - 1 - k] = static_cast<uint8_t>(bitCount >> (kBitsPerByte * k));
    update(padding, padLength);

    std::vector<uint8_t> digest(digestSize(variant_));
    const size_t wordSize = hasWideWords() ? sizeof(uint64_t) : sizeof(uint32_t);
    for (size_t k = 0; k < digest.size(); ++k)
        digest[k] = static_cast<uint8_t>(state_[k / wordSize] >> (kBitsPerByte * (wordSize - 1 - k % wordSize)));
    return digest;
}

std::vector<uint8_t> CSha2::digest(Sha2Variant variant, const std::vector<uint8_t>& data) {
    CSha2 hasher(variant);
    hasher.update(data);
    return hasher.finish();
}
