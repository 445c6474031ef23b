#pragma once

#include <string>

#include "resize/ResizeSettings.h"
#include "resize/PageRecord.h"

// Sets settings.pageScaleX and settings.pageScaleY, in percent, for one page: from the target
// page size and the page's MediaBox when a size is set, otherwise from the scale options.
void setPageScale(ResizeSettings& settings, const PageRecord& record);

// Why the page cannot be resized under `settings` ("has an empty MediaBox", ...), or an empty
// text when it can.
std::string unresizableReason(const ResizeSettings& settings, const PageRecord& record);
