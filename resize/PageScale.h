#pragma once

#include <string>

#include "resize/PageRecord.h"
#include "resize/PageTransform.h"
#include "resize/ResizeSettings.h"

// The page's transform: its percentages come from the target page size and the page's MediaBox
// when a size is set, otherwise from the scale options; the margins centre the MediaBox's content
// on the target page under -con -center.
PageTransform pageTransformOf(const ResizeSettings& settings, const PageRecord& record);

// Why the page cannot be resized under `settings` ("has an empty MediaBox", ...), or an empty
// text when it can.
std::string unresizableReason(const ResizeSettings& settings, const PageRecord& record);
