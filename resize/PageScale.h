#pragma once

#include <string>

#include "resize/PageRecord.h"
#include "resize/PageTransform.h"
#include "resize/ResizeSettings.h"

// The page's transform (under -visible, that of the page as seen): its percentages come from the target page size and the page's MediaBox
// when a size is set, otherwise from the scale options; the margins centre the MediaBox's content
// on the target page under -con -center.
PageTransform pageTransformOf(const ResizeSettings& settings, const PageRecord& record);

// Under -noenlarge, whether the page needs no change at all (factors 1, nothing to centre, no
// offset): it is then left out of the rewrite and copied as it stands.
bool staysAsItIs(const ResizeSettings& settings, const PageRecord& record);

// Why the page cannot be resized under `settings` ("has an empty MediaBox", ...), or an empty
// text when it can.
std::string unresizableReason(const ResizeSettings& settings, const PageRecord& record);
