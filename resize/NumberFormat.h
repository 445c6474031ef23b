#pragma once

#include <cstdint>
#include <string>

// The one place that turns numbers into the bytes of rewritten objects (C locale, printf rules).
std::string formatBoxNumber(double value);    // "%f": page boxes, pattern matrices
std::string formatScaleNumber(double value);  // "%.2f": content matrix, annotation rectangles
std::string formatInteger(int64_t value);     // "%ld"
std::string formatXRefOffset(uint32_t value);  // "%010ld"
std::string formatGeneration(uint32_t value);  // "%05d"
