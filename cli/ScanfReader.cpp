#include "cli/ScanfReader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The C locale's white space, which is what "%lf" skips.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* skipDigits(const char* p) {
    while (isDigit(*p)) {
        ++p;
    }
    return p;
}

// Returns the end of the decimal number that starts at `begin` (after its sign), or `begin`
// when there is none. An "e" without digits after it is not part of the number.
const char* endOfUnsignedNumber(const char* begin) {
    const char* p = skipDigits(begin);
    bool hasDigits = p != begin;
    if (*p == '.') {
        const char* fractionEnd = skipDigits(p + 1);
        hasDigits = hasDigits || fractionEnd != p + 1;
        p = fractionEnd;
    }
    if (!hasDigits) {
        return begin;
    }
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-') {
            ++exponent;
        }
        if (isDigit(*exponent)) {
            p = skipDigits(exponent);
        }
    }
    return p;
}

}  // namespace

bool CScanfReader::literal(const char* word) {
    const std::size_t length = std::strlen(word);
    if (std::strncmp(position_, word, length) != 0) {
        return false;
    }
    position_ += length;
    return true;
}

bool CScanfReader::number(double& value) {
    const char* p = position_;
    while (isSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    const char* end = endOfUnsignedNumber(p);
    if (end == p) {
        return false;
    }
    // from_chars ignores the locale, so a decimal point is always ".".
    double magnitude = 0;
    const std::from_chars_result result = std::from_chars(p, end, magnitude, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(magnitude)) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    position_ = end;
    return true;
}
