#pragma once

#include <cstdint>
#include <string>

// The one place that turns numbers into the bytes of rewritten objects (C locale, printf rules).
std::string formatBoxNumber(double value);    // "%f": page boxes, pattern matrices
std::string formatScaleNumber(double value);  // "%.2f": content matrix, annotation rectangles
// "%f" without trailing zeros (nor a trailing point, nor a minus before 0): a content matrix
// that moves the content, and its clip, which must place it to well within a hundredth of a point.
std::string formatExactNumber(double value);
std::string formatInteger(int64_t value);     // "%ld"
std::string formatXRefOffset(uint32_t value);  // "%010ld"
std::string formatGeneration(uint32_t value);  // "%05d"
