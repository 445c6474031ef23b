#pragma once

#include <cstdint>
#include <vector>

// Decoding table of one canonical Huffman code of RFC 1951: a root table indexed by the next
// rootBits input bits, and second-level tables for the codes longer than that. A lookup gives
// the same entry as one flat table indexed by the next maxLength() bits would.
class FlateCodeTable {
public:
    static constexpr int kMaxCodeLength = 15;

    struct Entry {
        uint16_t value;      // the symbol, or for a link the index of its second-level table
        uint8_t length;      // code length; 0: no code has these bits
        uint8_t linkBits;    // non-zero: a link to a table indexed by that many further bits
    };

    // Builds the table for `count` symbols from their code lengths (0 to 15; 0: unused).
    // Lengths are not checked: in an over-subscribed set only the low bits of each code count
    // and later symbols win; bit patterns that no code reaches decode as entries of length 0.
    void build(const uint8_t* lengths, int count, int rootBits);

    int maxLength() const { return maxLength_; }

    // The entry for the next input bits, bit 0 first; bits beyond the input must be 0.
    Entry lookup(uint64_t bits) const {
        Entry entry = entries_[bits & rootMask_];
        if (entry.linkBits != 0) {
            const uint64_t index = (bits >> rootBits_) & ((uint64_t{1} << entry.linkBits) - 1);
            entry = entries_[entry.value + index];
        }
        return entry;
    }

private:
    struct Code {
        uint16_t symbol;
        uint8_t length;
        uint32_t reversed;   // the code's bits in input order
    };

    void collectCodes(const uint8_t* lengths, int count);

    std::vector<Entry> entries_;
    std::vector<Code> codes_;          // in the order they were assigned: by length, then symbol
    std::vector<uint8_t> linkBits_;    // per root index, while building
    int maxLength_ = 0;
    int rootBits_ = 0;
    uint64_t rootMask_ = 0;
};

// The tables of fixed-code blocks, built once and shared.
const FlateCodeTable& fixedLiteralTable();
const FlateCodeTable& fixedDistanceTable();
