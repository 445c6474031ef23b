#include "pdf/stream/FlateCodeTable.h"

#include <algorithm>

namespace {

constexpr int kFixedLiteralCount = 288;
constexpr int kFixedDistanceCount = 30;
constexpr int kFixedDistanceLength = 5;
constexpr int kFixedRootBits = 9;

uint32_t reverseBits(uint32_t code, int length) {
    uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) {
        reversed = (reversed << 1) | (code & 1);
        code >>= 1;
    }
    return reversed;
}

}  // namespace

void FlateCodeTable::collectCodes(const uint8_t* lengths, int count) {
    codes_.clear();
    int lengthCount[kMaxCodeLength + 1] = {};
    for (int s = 0; s < count; ++s) ++lengthCount[std::min<int>(lengths[s], kMaxCodeLength)];
    lengthCount[0] = 0;
    int firstOfLength[kMaxCodeLength + 2] = {};
    for (int len = 1; len <= kMaxCodeLength; ++len) firstOfLength[len + 1] = firstOfLength[len] + lengthCount[len];
    codes_.resize(static_cast<size_t>(firstOfLength[kMaxCodeLength + 1]));
    int slot[kMaxCodeLength + 1];
    std::copy(firstOfLength, firstOfLength + kMaxCodeLength + 1, slot);
    for (int s = 0; s < count; ++s) {
        const int len = std::min<int>(lengths[s], kMaxCodeLength);
        if (len != 0) codes_[static_cast<size_t>(slot[len]++)] = Code{static_cast<uint16_t>(s), static_cast<uint8_t>(len), 0};
    }
    // Codes are counted on without a check, so an over-subscribed length keeps only its low bits.
    uint32_t code = 0;
    size_t next = 0;
    for (int len = 1; len <= kMaxCodeLength; ++len) {
        for (int i = 0; i < lengthCount[len]; ++i, ++next) {
            codes_[next].reversed = reverseBits(code, len);
            ++code;
        }
        code <<= 1;
    }
}

void FlateCodeTable::build(const uint8_t* lengths, int count, int rootBits) {
    collectCodes(lengths, count);
    maxLength_ = codes_.empty() ? 0 : codes_.back().length;
    rootBits_ = std::min(maxLength_, rootBits);
    const uint32_t rootSize = uint32_t{1} << rootBits_;
    rootMask_ = rootSize - 1;
    entries_.assign(rootSize, Entry{0, 0, 0});

    // Codes come shortest first, so every root entry is final before a longer code needs it
    // as the default of its second-level table.
    linkBits_.assign(rootSize, 0);
    for (const Code& c : codes_) {
        if (c.length <= rootBits_) {
            for (uint32_t j = c.reversed; j < rootSize; j += uint32_t{1} << c.length)
                entries_[j] = Entry{c.symbol, c.length, 0};
        } else {
            uint8_t& bits = linkBits_[c.reversed & rootMask_];
            bits = std::max<uint8_t>(bits, static_cast<uint8_t>(c.length - rootBits_));
        }
    }
    for (uint32_t prefix = 0; prefix < rootSize; ++prefix) {
        if (linkBits_[prefix] == 0) continue;
        const Entry fallback = entries_[prefix];
        const size_t first = entries_.size();
        entries_.resize(first + (size_t{1} << linkBits_[prefix]), fallback);
        entries_[prefix] = Entry{static_cast<uint16_t>(first), 0, linkBits_[prefix]};
    }
    for (const Code& c : codes_) {
        if (c.length <= rootBits_) continue;
        const Entry link = entries_[c.reversed & rootMask_];
        const uint32_t size = uint32_t{1} << link.linkBits;
        for (uint32_t k = c.reversed >> rootBits_; k < size; k += uint32_t{1} << (c.length - rootBits_))
            entries_[link.value + k] = Entry{c.symbol, c.length, 0};
    }
}

namespace {

FlateCodeTable makeFixedLiteralTable() {
    uint8_t lengths[kFixedLiteralCount];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + kFixedLiteralCount, 8);
    FlateCodeTable table;
    table.build(lengths, kFixedLiteralCount, kFixedRootBits);
    return table;
}

FlateCodeTable makeFixedDistanceTable() {
    uint8_t lengths[kFixedDistanceCount];
    std::fill(lengths, lengths + kFixedDistanceCount, kFixedDistanceLength);
    FlateCodeTable table;
    table.build(lengths, kFixedDistanceCount, kFixedRootBits);
    return table;
}

}  // namespace

const FlateCodeTable& fixedLiteralTable() {
    static const FlateCodeTable table = makeFixedLiteralTable();
    return table;
}

const FlateCodeTable& fixedDistanceTable() {
    static const FlateCodeTable table = makeFixedDistanceTable();
    return table;
}
