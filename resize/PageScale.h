#pragma once

#include <cstdint>

#include "resize/ResizeSettings.h"
#include "resize/PageRecord.h"

// Sets settings.pageScaleX and settings.pageScaleY, in percent, for one page: from the target
// page size and the page's MediaBox when a size is set, otherwise from the scale options.
// Throws when a factor is not a finite number, naming the page (`pageNumber`, 1-based).
void setPageScale(ResizeSettings& settings, const PageRecord& record, uint32_t pageNumber);
