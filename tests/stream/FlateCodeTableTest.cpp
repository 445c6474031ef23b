// The two-level table must answer exactly like one flat table of 2^maxLen entries built the
// plain way, also for incomplete and over-subscribed sets of lengths.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pdf/stream/FlateCodeTable.h"

namespace {

struct FlatEntry {
    int length = 0;
    int symbol = 0;
};

std::vector<FlatEntry> flatTable(const std::vector<uint8_t>& lengths, int& maxLength) {
    maxLength = 0;
    for (uint8_t l : lengths) maxLength = std::max<int>(maxLength, l);
    std::vector<FlatEntry> table(size_t{1} << maxLength);
    uint32_t code = 0;
    for (int len = 1; len <= maxLength; ++len) {
        for (size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] != len) continue;
            uint32_t reversed = 0;
            for (int b = 0; b < len; ++b) reversed |= ((code >> b) & 1u) << (len - 1 - b);
            for (uint32_t j = reversed; j < table.size(); j += uint32_t{1} << len)
                table[j] = FlatEntry{len, static_cast<int>(s)};
            ++code;
        }
        code <<= 1;
    }
    return table;
}

TEST(FlateCodeTable, MatchesTheFlatTableForRandomLengthSets) {
    std::mt19937 random(77);
    for (int round = 0; round < 400; ++round) {
        const int count = 1 + static_cast<int>(random() % 288);
        const int longest = static_cast<int>(random() % 16);
        std::vector<uint8_t> lengths(static_cast<size_t>(count));
        // Mostly sparse sets (incomplete codes), sometimes dense ones (over-subscribed).
        const uint32_t density = 1 + random() % 4;
        for (uint8_t& l : lengths) l = random() % density == 0 && longest ? static_cast<uint8_t>(1 + random() % longest) : 0;
        int maxLength = 0;
        const std::vector<FlatEntry> flat = flatTable(lengths, maxLength);
        FlateCodeTable table;
        const int rootBits = 1 + static_cast<int>(random() % 10);
        table.build(lengths.data(), count, rootBits);
        ASSERT_EQ(table.maxLength(), maxLength);
        for (uint32_t bits = 0; bits < flat.size(); ++bits) {
            const FlateCodeTable::Entry entry = table.lookup(bits);
            ASSERT_EQ(entry.length, flat[bits].length) << "round " << round << " bits " << bits;
            if (entry.length != 0) {
                ASSERT_EQ(entry.value, flat[bits].symbol) << "round " << round;
            }
        }
    }
}

TEST(FlateCodeTable, FixedTablesFollowTheFormat) {
    // 0 is 00110000 (reversed 00001100), 144 is 110010000, 256 is 0000000, 280 is 11000000.
    EXPECT_EQ(fixedLiteralTable().lookup(0x0C).value, 0);
    EXPECT_EQ(fixedLiteralTable().lookup(0x0C).length, 8);
    EXPECT_EQ(fixedLiteralTable().lookup(0x013).value, 144);
    EXPECT_EQ(fixedLiteralTable().lookup(0x013).length, 9);
    EXPECT_EQ(fixedLiteralTable().lookup(0).value, 256);
    EXPECT_EQ(fixedLiteralTable().lookup(0x03).value, 280);
    EXPECT_EQ(fixedDistanceTable().maxLength(), 5);
    EXPECT_EQ(fixedDistanceTable().lookup(0x01).value, 16);   // 10000 reversed
    EXPECT_EQ(fixedDistanceTable().lookup(0x0F).length, 0);   // 11110: code 30 has no entry
    EXPECT_EQ(fixedDistanceTable().lookup(0x1F).length, 0);
}

}  // namespace
