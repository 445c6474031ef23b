#include "pdf/security/Aes.h"

#include <cstring>

#include "pdf/objects/PdfException.h"

namespace {

constexpr uint8_t kReductionPolynomial = 0x1b;  // x^8 = x^4 + x^3 + x + 1 in GF(2^8)
constexpr uint8_t kAffineConstant = 0x63;
constexpr uint8_t kGenerator = 0x03;
constexpr int kWordSize = 4;
constexpr int kColumns = 4;
// Keys longer than six words get an extra SubWord halfway through each key-length stretch.
constexpr size_t kLongKeyWords = 6;
constexpr size_t kHalfwayWord = 4;
// Six rounds more than the key has words: 10, 12 or 14.
constexpr int kRoundsBeyondKeyWords = 6;

constexpr uint8_t xtime(uint8_t b) {
    return static_cast<uint8_t>((b << 1) ^ ((b & 0x80) ? kReductionPolynomial : 0));
}

constexpr uint8_t gfMultiply(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    for (; b; b >>= 1) {
        if (b & 1) product ^= a;
        a = xtime(a);
    }
    return product;
}

constexpr uint8_t rotateLeft(uint8_t b, int bits) { return static_cast<uint8_t>((b << bits) | (b >> (8 - bits))); }

struct SubstitutionTables {
    uint8_t forward[256];
    uint8_t inverse[256];
};

// The S-box is the multiplicative inverse in GF(2^8) followed by the affine map; building
// it from that definition avoids a hand-typed table.
constexpr SubstitutionTables makeSubstitutionTables() {
    uint8_t power[255] = {};
    uint8_t logarithm[256] = {};
    uint8_t x = 1;
    for (int k = 0; k < 255; ++k) {
        power[k] = x;
        logarithm[x] = static_cast<uint8_t>(k);
        x = gfMultiply(x, kGenerator);
    }
    SubstitutionTables tables{};
    for (int value = 0; value < 256; ++value) {
        const uint8_t inverse = value == 0 ? 0 : power[(255 - logarithm[value]) % 255];
        const uint8_t s = static_cast<uint8_t>(inverse ^ rotateLeft(inverse, 1) ^ rotateLeft(inverse, 2) ^
                                               rotateLeft(inverse, 3) ^ rotateLeft(inverse, 4) ^ kAffineConstant);
        tables.forward[value] = s;
        tables.inverse[s] = static_cast<uint8_t>(value);
    }
    return tables;
}

constexpr SubstitutionTables kSubstitution = makeSubstitutionTables();

// One forward round on a column at once: entry x is S(x) times the MixColumns column (2, 1, 1, 3),
// row 0 in the high byte; the other rows use it rotated.
struct RoundTable {
    uint32_t column[256];
};

constexpr RoundTable makeRoundTable() {
    RoundTable table{};
    for (int x = 0; x < 256; ++x) {
        const uint32_t s = kSubstitution.forward[x], twice = xtime(kSubstitution.forward[x]);
        table.column[x] = twice << 24 | s << 16 | s << 8 | (twice ^ s);
    }
    return table;
}

constexpr RoundTable kRoundTable = makeRoundTable();

constexpr uint32_t rotateRight(uint32_t word, int bits) { return word >> bits | word << (32 - bits); }

uint32_t loadColumn(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// Row r of the output column c comes from column c + r of the input (ShiftRows).
uint8_t rowByte(const uint32_t* columns, int c, int row) {
    return static_cast<uint8_t>(columns[(c + row) % kColumns] >> (24 - 8 * row));
}

constexpr uint8_t kRoundConstants[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1b, 0x36};

using Block = uint8_t[CAes::kBlockSize];

void addRoundKey(uint8_t* state, const uint8_t* roundKey) {
    for (size_t k = 0; k < CAes::kBlockSize; ++k) state[k] ^= roundKey[k];
}

void substitute(uint8_t* state, const uint8_t* table) {
    for (size_t k = 0; k < CAes::kBlockSize; ++k) state[k] = table[state[k]];
}

// The state is kept column after column, so byte 4c + r is row r of column c.
void inverseShiftRows(uint8_t* state) {
    Block shifted;
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < 4; ++r) shifted[kColumns * ((c + r) % kColumns) + r] = state[kColumns * c + r];
    std::memcpy(state, shifted, sizeof shifted);
}

void inverseMixColumns(uint8_t* state, size_t length) {
    for (size_t c = 0; c < length / kColumns; ++c) {
        uint8_t* a = state + kColumns * c;
        const uint8_t a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
        a[0] = gfMultiply(a0, 14) ^ gfMultiply(a1, 11) ^ gfMultiply(a2, 13) ^ gfMultiply(a3, 9);
        a[1] = gfMultiply(a0, 9) ^ gfMultiply(a1, 14) ^ gfMultiply(a2, 11) ^ gfMultiply(a3, 13);
        a[2] = gfMultiply(a0, 13) ^ gfMultiply(a1, 9) ^ gfMultiply(a2, 14) ^ gfMultiply(a3, 11);
        a[3] = gfMultiply(a0, 11) ^ gfMultiply(a1, 13) ^ gfMultiply(a2, 9) ^ gfMultiply(a3, 14);
    }
}

}  // namespace

CAes::CAes(const std::vector<uint8_t>& key) {
    if (key.size() != static_cast<size_t>(AesKeySize::bits128) && key.size() != static_cast<size_t>(AesKeySize::bits192) &&
        key.size() != static_cast<size_t>(AesKeySize::bits256))
        throw CPdfException("Internal: AES key of a length other than 16, 24 or 32 bytes");
    setKey(key.data(), static_cast<AesKeySize>(key.size()));
}

void CAes::setKey(const uint8_t* key, AesKeySize size) {
    const size_t keyWords = static_cast<size_t>(size) / kWordSize;
    rounds_ = static_cast<int>(keyWords) + kRoundsBeyondKeyWords;
    const size_t scheduleSize = kBlockSize * (rounds_ + 1);
    std::memcpy(roundKeys_, key, static_cast<size_t>(size));
    for (size_t word = keyWords; word < scheduleSize / kWordSize; ++word) {
        uint8_t temp[kWordSize];
        std::memcpy(temp, roundKeys_ + kWordSize * (word - 1), kWordSize);
        if (word % keyWords == 0) {
            const uint8_t first = temp[0];  // RotWord, SubWord, then the round constant
            temp[0] = static_cast<uint8_t>(kSubstitution.forward[temp[1]] ^ kRoundConstants[word / keyWords - 1]);
            temp[1] = kSubstitution.forward[temp[2]];
            temp[2] = kSubstitution.forward[temp[3]];
            temp[3] = kSubstitution.forward[first];
        } else if (keyWords > kLongKeyWords && word % keyWords == kHalfwayWord) {
            for (uint8_t& b : temp) b = kSubstitution.forward[b];  // SubWord alone, for 256-bit keys
        }
        for (int k = 0; k < kWordSize; ++k)
            roundKeys_[kWordSize * word + k] = roundKeys_[kWordSize * (word - keyWords) + k] ^ temp[k];
    }
    std::memcpy(inverseRoundKeys_, roundKeys_, scheduleSize);
    inverseMixColumns(inverseRoundKeys_ + kBlockSize, kBlockSize * (rounds_ - 1));
}

void CAes::encryptBlock(const uint8_t* in, uint8_t* out) const {
    uint32_t state[kColumns], next[kColumns];
    for (int c = 0; c < kColumns; ++c) state[c] = loadColumn(in + kWordSize * c) ^ loadColumn(roundKeys_ + kWordSize * c);
    for (int round = 1; round < rounds_; ++round) {
        const uint8_t* roundKey = roundKeys_ + kBlockSize * round;
        for (int c = 0; c < kColumns; ++c) {
            next[c] = kRoundTable.column[rowByte(state, c, 0)] ^ rotateRight(kRoundTable.column[rowByte(state, c, 1)], 8) ^
                      rotateRight(kRoundTable.column[rowByte(state, c, 2)], 16) ^
                      rotateRight(kRoundTable.column[rowByte(state, c, 3)], 24) ^ loadColumn(roundKey + kWordSize * c);
        }
        std::memcpy(state, next, sizeof state);
    }
    const uint8_t* lastKey = roundKeys_ + kBlockSize * rounds_;
    for (int c = 0; c < kColumns; ++c)
        for (int row = 0; row < 4; ++row)
            out[kWordSize * c + row] = kSubstitution.forward[rowByte(state, c, row)] ^ lastKey[kWordSize * c + row];
}

void CAes::decryptBlock(const uint8_t* in, uint8_t* out) const {
    Block state;
    std::memcpy(state, in, kBlockSize);
    addRoundKey(state, inverseRoundKeys_ + kBlockSize * rounds_);
    for (int round = rounds_ - 1; round > 0; --round) {
        substitute(state, kSubstitution.inverse);
        inverseShiftRows(state);
        inverseMixColumns(state, kBlockSize);
        addRoundKey(state, inverseRoundKeys_ + kBlockSize * round);
    }
    substitute(state, kSubstitution.inverse);
    inverseShiftRows(state);
    addRoundKey(state, inverseRoundKeys_);
    std::memcpy(out, state, kBlockSize);
}
