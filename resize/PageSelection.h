#pragma once

#include <cstdint>
#include <vector>

#include "resize/ResizeSettings.h"
#include "resize/PageRecord.h"

// Marks the pages that the "-s" text (and "-sodd"/"-seven") choose, checking every number
// against `pageCount`. Throws CPdfException with the selection messages.
void selectPages(const ResizeSettings& settings, uint32_t pageCount, std::vector<PageRecord>& records);
