#include "resize/NumberFormat.h"

#include <cstdio>

namespace {

// Large enough for any double printed with "%f" (about 310 digits).
constexpr size_t kNumberBufferSize = 400;

template <typename T>
std::string format(const char* pattern, T value) {
    char buffer[kNumberBufferSize];
    const int length = std::snprintf(buffer, sizeof buffer, pattern, value);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

}  // namespace

std::string formatBoxNumber(double value) { return format("%f", value); }

std::string formatScaleNumber(double value) { return format("%.2f", value); }

std::string formatInteger(int64_t value) { return format("%lld", static_cast<long long>(value)); }

std::string formatXRefOffset(uint32_t value) { return format("%010lu", static_cast<unsigned long>(value)); }

std::string formatGeneration(uint32_t value) { return format("%05u", static_cast<unsigned>(value)); }
