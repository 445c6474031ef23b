#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "resize/NumberFormat.h"

namespace {

std::string printed(const char* pattern, double value) {
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, pattern, value);
    return std::string(buffer, static_cast<size_t>(length));
}

std::string printedUnsigned(const char* pattern, uint32_t value) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, pattern, static_cast<unsigned long>(value));
    return std::string(buffer, static_cast<size_t>(length));
}

void expectBothFormats(double value) {
    EXPECT_EQ(formatBoxNumber(value), printed("%f", value)) << std::hexfloat << value;
    EXPECT_EQ(formatScaleNumber(value), printed("%.2f", value)) << std::hexfloat << value;
}

// Numbers a page rewrite meets, and the edges of the rounding: exact ties in binary (which round
// to even), values just beside them, signed zeros, tiny and huge magnitudes, infinities and NaN.
TEST(NumberFormat, FixedPointAgreesWithPrintfOnEdgeCases) {
    const double denormal = std::numeric_limits<double>::denorm_min();
    const std::vector<double> values = {
        0.0, -0.0, 1.0, -1.0, 612, 792, 595.2756, 841.8898, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, -0.125,
        0.625, 1.005, 2.675, 0.0000005, 0.0000015, 0.0000025, 0.00000049999999999999994, -0.0000005,
        0.004, 0.005, 0.015, 0.025, -0.005, 0.994999999, 0.995, 0.9999995, 9.9999995, 99.995,
        123456.7890125, 1e-300, -1e-300, denormal, -denormal, 1099511627775.9999, 1099511627776.0,
        -1099511627776.0, 1e15, 1e300, -1e300, std::numeric_limits<double>::max(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), 0.1 + 0.2, 1.0 / 3, -2.0 / 3, 4503599627370495.5,
    };
    for (const double value : values) expectBothFormats(value);
    // Exact binary ties at both precisions: k / 2^n for small n.
    for (int numerator = -4000; numerator <= 4000; ++numerator) {
        expectBothFormats(numerator / 8.0);
        expectBothFormats(numerator / 128.0);
        expectBothFormats(numerator / 1024.0 / 1024.0);
        expectBothFormats(std::ldexp(numerator, -21));
    }
}

TEST(NumberFormat, FixedPointAgreesWithPrintfOnRandomValues) {
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> coordinate(-20000, 20000);
    std::uniform_int_distribution<int> exponent(-80, 45);
    for (int i = 0; i < 200000; ++i) {
        expectBothFormats(coordinate(random));
        // Any mantissa at any magnitude around the integer path's limits.
        uint64_t bits = random();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) {
            int ignored = 0;
            expectBothFormats(std::ldexp(std::frexp(value, &ignored), exponent(random)));
        }
        // Two decimals, as an option or a ratio of page sizes gives them.
        expectBothFormats(static_cast<double>(static_cast<int64_t>(random() % 2000001) - 1000000) / 100);
        expectBothFormats(coordinate(random) / coordinate(random));
    }
}

TEST(NumberFormat, IntegersAndCrossReferenceFields) {
    EXPECT_EQ(formatInteger(0), "0");
    EXPECT_EQ(formatInteger(-17), "-17");
    EXPECT_EQ(formatInteger(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(formatInteger(std::numeric_limits<int64_t>::max()), "9223372036854775807");
    for (const uint32_t value : {0u, 7u, 65535u, 99999u, 100000u, 1234567890u, 4294967295u}) {
        EXPECT_EQ(formatXRefOffset(value), printedUnsigned("%010lu", value));
        EXPECT_EQ(formatGeneration(value), printedUnsigned("%05lu", value));
    }
}

}  // namespace
