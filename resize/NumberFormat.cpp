#include "resize/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// Large enough for any double printed with "%f" (about 310 digits).
constexpr size_t kNumberBufferSize = 400;
constexpr int kBoxDecimals = 6;
constexpr int kScaleDecimals = 2;
constexpr int kXRefOffsetWidth = 10;
constexpr int kGenerationWidth = 5;

// Magnitudes below this are rounded by the integer path below; larger ones (and infinities and
// NaN) go to the C library, which handles every double.
constexpr double kFastLimit = 1099511627776.0;  // 2^40
constexpr int kMantissaBits = 53;
constexpr int kHalfWordBits = 32;
constexpr uint64_t kLowHalf = 0xFFFFFFFFu;

template <typename T>
std::string format(const char* pattern, T value) {
    char buffer[kNumberBufferSize];
    const int length = std::snprintf(buffer, sizeof buffer, pattern, value);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

uint64_t powerOfTen(int exponent) {
    uint64_t power = 1;
    for (int i = 0; i < exponent; ++i) power *= 10;
    return power;
}

// An unsigned 128-bit number, enough for a 53-bit mantissa times 10^6.
struct Wide {
    uint64_t high = 0;
    uint64_t low = 0;
};

Wide multiply(uint64_t a, uint64_t b) {
    const uint64_t aLow = a & kLowHalf, aHigh = a >> kHalfWordBits;
    const uint64_t bLow = b & kLowHalf, bHigh = b >> kHalfWordBits;
    const uint64_t lowLow = aLow * bLow;
    const uint64_t lowHigh = aLow * bHigh;
    const uint64_t highLow = aHigh * bLow;
    const uint64_t middle = (lowLow >> kHalfWordBits) + (lowHigh & kLowHalf) + (highLow & kLowHalf);
    Wide product;
    product.low = (middle << kHalfWordBits) | (lowLow & kLowHalf);
    product.high = aHigh * bHigh + (lowHigh >> kHalfWordBits) + (highLow >> kHalfWordBits) + (middle >> kHalfWordBits);
    return product;
}

// `value` shifted right by `bits` (below 128), rounded to nearest with ties to even: the rounding
// printf applies to the exact binary value.
uint64_t shiftRoundingToEven(const Wide& value, int bits) {
    Wide quotient;
    Wide remainder;
    if (bits >= 64) {
        quotient.low = value.high >> (bits - 64);
        remainder.high = bits == 64 ? 0 : value.high & ((uint64_t{1} << (bits - 64)) - 1);
        remainder.low = value.low;
    } else {
        quotient.low = (value.low >> bits) | (value.high << (64 - bits));
        quotient.high = value.high >> bits;
        remainder.low = value.low & ((uint64_t{1} << bits) - 1);
    }
    Wide half;
    if (bits - 1 >= 64) {
        half.high = uint64_t{1} << (bits - 1 - 64);
    } else {
        half.low = uint64_t{1} << (bits - 1);
    }
    const bool above = remainder.high != half.high ? remainder.high > half.high : remainder.low > half.low;
    const bool tie = remainder.high == half.high && remainder.low == half.low;
    if (above || (tie && (quotient.low & 1) != 0)) ++quotient.low;
    return quotient.low;
}

// |value| times 10^decimals rounded as printf rounds it, for finite |value| below kFastLimit.
uint64_t scaledMagnitude(double value, int decimals) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);
    if (fraction == 0) return 0;
    const uint64_t mantissa = static_cast<uint64_t>(std::ldexp(fraction, kMantissaBits));
    const int shift = exponent - kMantissaBits;  // |value| = mantissa * 2^shift
    const uint64_t scale = powerOfTen(decimals);
    if (shift >= 0) return (mantissa << shift) * scale;
    // The product stays below 2^73: shifted by more than 74 bits it is below one half.
    constexpr int kBelowHalf = 75;
    if (-shift >= kBelowHalf) return 0;
    return shiftRoundingToEven(multiply(mantissa, scale), -shift);
}

// What printf's "%.Nf" writes for `value`.
std::string formatFixed(double value, int decimals, const char* pattern) {
    if (!(std::fabs(value) < kFastLimit)) return format(pattern, value);
    const uint64_t scaled = scaledMagnitude(value, decimals);
    const uint64_t scale = powerOfTen(decimals);
    std::string text;
    if (std::signbit(value)) text += '-';
    char digits[kNumberBufferSize];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, scaled / scale).ptr);
    text += '.';
    const size_t fractionStart = text.size();
    text.append(static_cast<size_t>(decimals), '0');
    uint64_t rest = scaled % scale;
    for (size_t i = text.size(); i > fractionStart && rest != 0; rest /= 10) {
        text[--i] = static_cast<char>('0' + rest % 10);
    }
    return text;
}

// What printf's "%0Nu" writes: at least `width` digits, zeros in front.
std::string formatPadded(uint64_t value, int width) {
    char digits[kNumberBufferSize];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const size_t length = static_cast<size_t>(end - digits);
    std::string text;
    if (length < static_cast<size_t>(width)) text.assign(static_cast<size_t>(width) - length, '0');
    text.append(digits, length);
    return text;
}

}  // namespace

std::string formatBoxNumber(double value) { return formatFixed(value, kBoxDecimals, "%f"); }

std::string formatScaleNumber(double value) { return formatFixed(value, kScaleDecimals, "%.2f"); }

std::string formatExactNumber(double value) {
    std::string text = formatBoxNumber(value);
    if (text.find('.') == std::string::npos) return text;  // inf, nan: refused before they are written
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

std::string formatScaleList(const std::vector<double>& values) {
    std::string text;
    for (const double value : values) text += " " + formatScaleNumber(value) + " ";
    return text;
}

std::string formatInteger(int64_t value) {
    char digits[kNumberBufferSize];
    return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

std::string formatXRefOffset(uint32_t value) { return formatPadded(value, kXRefOffsetWidth); }

std::string formatGeneration(uint32_t value) { return formatPadded(value, kGenerationWidth); }
