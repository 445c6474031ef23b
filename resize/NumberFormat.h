#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The one place that turns numbers into the bytes of rewritten objects (C locale, printf rules).
std::string formatBoxNumber(double value);    // "%f": page boxes, pattern matrices
std::string formatScaleNumber(double value);  // "%.2f": content matrix, annotation rectangles
// Each value as " %.2f " (neighbours thus two spaces apart): the inside of a rewritten coordinate array.
std::string formatScaleList(const std::vector<double>& values);
std::string formatInteger(int64_t value);     // "%ld"
std::string formatXRefOffset(uint32_t value);  // "%010ld"
std::string formatGeneration(uint32_t value);  // "%05d"
