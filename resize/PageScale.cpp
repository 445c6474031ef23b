#include "resize/PageScale.h"

#include <cmath>
#include <string>

#include "pdf/objects/PdfException.h"

namespace {

constexpr double kFullSize = 100;
// Indexes into ResizeSettings::pageSize (x1, y1, x2, y2).
constexpr int kUpperRightX = 2;
constexpr int kUpperRightY = 3;

}  // namespace

void setPageScale(ResizeSettings& settings, const PageRecord& record, uint32_t pageNumber) {
    const PageBox& media = record.mediaBox;
    if (settings.hasPageSize()) {
        // The upper-right corner, not the width and height: the two agree for boxes at 0, 0.
        settings.pageScaleX = settings.pageSize[kUpperRightX] / media.x2 * kFullSize;
        settings.pageScaleY = settings.pageSize[kUpperRightY] / media.y2 * kFullSize;
        if (settings.noScale) settings.pageScaleX = settings.pageScaleY = kFullSize;
    } else {
        settings.pageScaleX = settings.scaleX;
        settings.pageScaleY = settings.scaleY;
        if (settings.noScale && settings.scale == kFullSize) settings.pageScaleX = settings.pageScaleY = kFullSize;
    }
    if (std::isfinite(settings.pageScaleX) && std::isfinite(settings.pageScaleY)) return;

    const std::string page = std::to_string(pageNumber);
    if (settings.hasPageSize() && (media.x2 == 0 || media.y2 == 0)) {
        throw CPdfException("\nPage " + page +
                            " cannot be fitted to the page size: its MediaBox has an upper-right x or y of 0\n");
    }
    throw CPdfException("\nPage " + page + " cannot be scaled: its scale factor is not a finite number\n");
}
