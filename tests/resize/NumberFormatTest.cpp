#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "resize/NumberFormat.h"

namespace {

void expectBothFormats(double value) {
    char printed[512];
    EXPECT_EQ(formatBoxNumber(value), std::string(printed, std::snprintf(printed, sizeof printed, "%f", value)))
        << std::hexfloat << value;
    EXPECT_EQ(formatScaleNumber(value), std::string(printed, std::snprintf(printed, sizeof printed, "%.2f", value)))
        << std::hexfloat << value;
}

// Page numbers and the edges of the rounding: exact binary ties (which round to even), values just
// beside them, signed zeros, tiny and huge magnitudes, infinities and NaN; then random values.
TEST(NumberFormat, FixedPointAgreesWithPrintf) {
    using Limits = std::numeric_limits<double>;
    for (const double value : {0.0, -0.0, 1.005, 2.675, 0.0000005, 0.0000015, 0.00000049999999999999994, 0.005, 595.27,
                               0.015, -0.005, 0.995, 0.9999995, 99.995, 123456.7890125, 1e-300, Limits::denorm_min(),
                               1099511627775.9999, -1099511627776.0, 1e15, -1e300, Limits::max(), Limits::infinity(),
                               -Limits::infinity(), Limits::quiet_NaN(), 0.1 + 0.2, -2.0 / 3, 4503599627370495.5}) {
        expectBothFormats(value);
    }
    for (int numerator = -4000; numerator <= 4000; ++numerator) {
        for (int exponent : {3, 7, 20, 21}) expectBothFormats(std::ldexp(numerator, -exponent));
    }
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> coordinate(-20000, 20000);
    for (int i = 0; i < 200000; ++i) {
        expectBothFormats(coordinate(random));
        expectBothFormats(coordinate(random) / coordinate(random));
        expectBothFormats(static_cast<double>(static_cast<int64_t>(random() % 2000001) - 1000000) / 100);
        // Any mantissa at magnitudes around the limits of an integer path.
        expectBothFormats(std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 126) - 133));
    }
}

}  // namespace
