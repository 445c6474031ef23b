#include <gtest/gtest.h>

#include <array>

#include "cli/PaperSizes.h"

namespace {

using Rectangle = std::array<double, 4>;

// A value no lookup writes, to see whether a failed lookup left the rectangle alone.
constexpr double untouched = -7;

struct Lookup {
    bool found;
    Rectangle pageSize;
};

Lookup lookUp(const char* name, bool landscape) {
    Lookup result{false, {untouched, untouched, untouched, untouched}};
    result.found = findPaperSize(name, landscape, result.pageSize.data());
    return result;
}

void expectSize(const char* name, bool landscape, double x2, double y2) {
    const Lookup result = lookUp(name, landscape);
    EXPECT_TRUE(result.found) << name;
    EXPECT_EQ(result.pageSize, (Rectangle{0, 0, x2, y2})) << name << (landscape ? " landscape" : " portrait");
}

TEST(PaperSizes, NamesMatchWithoutRegardToAsciiCase) {
    for (const char* name : {"A4", "a4"}) {
        expectSize(name, false, 595, 842);
        expectSize(name, true, 842, 595);
    }
    for (const char* name : {"letter", "LETTER", "Letter", "lEtTeR"}) {
        expectSize(name, false, 612, 792);
    }
    expectSize("sra4", false, 907, 638);
    expectSize("ansie", true, 2448, 3168);
}

TEST(PaperSizes, RowsAreUsedAsStoredWithoutReordering) {
    // Tabloid holds the larger side first, so its portrait is wider than high.
    expectSize("Tabloid", false, 1224, 792);
    expectSize("Tabloid", true, 792, 1224);
    expectSize("C2", false, 1837, 578);
    expectSize("A8", false, 147, 210);
}

TEST(PaperSizes, NamesThatFillOrStartTheFieldOddly) {
    expectSize("Executive", false, 522, 756);  // nine letters: the whole field
    expectSize("4A0", false, 4768, 6741);      // starts with a digit
    expectSize("2a0", true, 4768, 3370);
    expectSize("a10", false, 74, 105);         // not taken for A1
    expectSize("b10", false, 88, 125);
}

TEST(PaperSizes, NoPrefixOrPaddedMatches) {
    for (const char* name : {"A", "A4 ", " A4", "a4x", "Letters", "Lette", "A11", "Executives", "A4\t"}) {
        const Lookup result = lookUp(name, false);
        EXPECT_FALSE(result.found) << '"' << name << '"';
        EXPECT_EQ(result.pageSize, (Rectangle{untouched, untouched, untouched, untouched})) << name;
    }
    EXPECT_FALSE(lookUp(nullptr, false).found);
}

TEST(PaperSizes, EmptyNameFindsTheFirstEmptyRowOfZeros) {
    const Lookup portrait = lookUp("", false);
    EXPECT_TRUE(portrait.found);
    EXPECT_EQ(portrait.pageSize, (Rectangle{0, 0, 0, 0}));
    const Lookup landscape = lookUp("", true);
    EXPECT_TRUE(landscape.found);
    EXPECT_EQ(landscape.pageSize, (Rectangle{0, 0, 0, 0}));
}

}  // namespace
