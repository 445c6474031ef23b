#include "pdf/security/Md5.h"

#include <cstring>

namespace {

// T[i] = floor(2^32 * |sin(i + 1)|), the additive constants of the 64 steps.
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation amounts, four per round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr uint32_t kInitialState[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

constexpr size_t kLengthFieldSize = 8;
constexpr uint8_t kFirstPadByte = 0x80;

uint32_t rotateLeft(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

uint32_t loadLittleEndian(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void storeLittleEndian(uint32_t value, uint8_t* p) {
    for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(value >> (8 * k));
}

}  // namespace

CMd5::CMd5() { std::memcpy(state_, kInitialState, sizeof state_); }

void CMd5::transform(const uint8_t* block) {
    uint32_t words[16];
    for (int k = 0; k < 16; ++k) words[k] = loadLittleEndian(block + 4 * k);

    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (int step = 0; step < 64; ++step) {
        const int round = step / 16;
        uint32_t mixed;
        int wordIndex;
        switch (round) {
        case 0:
            mixed = (b & c) | (~b & d);
            wordIndex = step;
            break;
        case 1:
            mixed = (b & d) | (c & ~d);
            wordIndex = (5 * step + 1) % 16;
            break;
        case 2:
            mixed = b ^ c ^ d;
            wordIndex = (3 * step + 5) % 16;
            break;
        default:
            mixed = c ^ (b | ~d);
            wordIndex = (7 * step) % 16;
            break;
        }
        const uint32_t sum = a + mixed + kSine[step] + words[wordIndex];
        a = d;
        d = c;
        c = b;
        b = b + rotateLeft(sum, kShift[round][step % 4]);
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void CMd5::update(const uint8_t* data, size_t length) {
    if (length == 0) return;  // an empty piece may come with no buffer at all
    size_t buffered = static_cast<size_t>(byteCount_ % kBlockSize);
    byteCount_ += length;
    if (buffered != 0) {
        const size_t take = length < kBlockSize - buffered ? length : kBlockSize - buffered;
        std::memcpy(buffer_ + buffered, data, take);
        data += take;
        length -= take;
        buffered += take;
        if (buffered < kBlockSize) return;
        transform(buffer_);
    }
    for (; length >= kBlockSize; data += kBlockSize, length -= kBlockSize) transform(data);
    if (length) std::memcpy(buffer_, data, length);
}

void CMd5::finish(uint8_t* digest) {
    const uint64_t bitCount = byteCount_ * 8;
    // One 0x80 byte, zeros up to 56 mod 64, then the message length in bits, low byte first.
    uint8_t padding[kBlockSize + kLengthFieldSize] = {kFirstPadByte};
    const size_t buffered = static_cast<size_t>(byteCount_ % kBlockSize);
    const size_t lengthFieldAt = kBlockSize - kLengthFieldSize;
    const size_t padLength = buffered < lengthFieldAt ? lengthFieldAt - buffered : kBlockSize + lengthFieldAt - buffered;
    update(padding, padLength);
    uint8_t lengthField[kLengthFieldSize];
    for (size_t k = 0; k < kLengthFieldSize; ++k) lengthField[k] = static_cast<uint8_t>(bitCount >> (8 * k));
    update(lengthField, kLengthFieldSize);
    for (int k = 0; k < 4; ++k) storeLittleEndian(state_[k], digest + 4 * k);
}

void md5(const uint8_t* data, size_t length, uint8_t* digest) {
    CMd5 hasher;
    hasher.update(data, length);
    hasher.finish(digest);  // all input is consumed before the digest is written, so aliasing is safe
}
