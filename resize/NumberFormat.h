#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The one place that turns numbers into the bytes of rewritten objects (C locale, printf rules).
std::string formatBoxNumber(double value);    // "%f": page boxes, pattern matrices
std::string formatScaleNumber(double value);  // "%.2f": content matrix, annotation rectangles
// "%f" without trailing zeros (nor a trailing point, nor a minus before 0): a content matrix
// that moves the content, and its clip, which must place it to well within a hundredth of a point.
std::string formatExactNumber(double value);
// Each value as " %.2f " (neighbours thus two spaces apart): the inside of a rewritten coordinate array.
std::string formatScaleList(const std::vector<double>& values);
std::string formatInteger(int64_t value);     // "%ld"
std::string formatXRefOffset(uint32_t value);  // "%010ld"
std::string formatGeneration(uint32_t value);  // "%05d"
