#pragma once

#include "resize/PageRecord.h"
#include "resize/PageTransform.h"
#include "resize/ResizeSettings.h"

// The transform of a page under -visible: the options speak of the page as a reader shows it
// (its visible box, in points, turned by /Rotate), and the content is scaled and moved so that
// what the page showed lands where the options place it on the new page, seen the same way.
PageTransform visibleTransformOf(const ResizeSettings& settings, const PageRecord& record);
