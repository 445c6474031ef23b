#include "resize/PageScale.h"

#include <cmath>
#include <string>

namespace {

constexpr double kFullSize = 100;
constexpr double kHalf = 0.5;
// Indexes into ResizeSettings::pageSize (x1, y1, x2, y2).
constexpr int kLowerLeftX = 0;
constexpr int kLowerLeftY = 1;
constexpr int kUpperRightX = 2;
constexpr int kUpperRightY = 3;

struct Percentages {
    double x = kFullSize;
    double y = kFullSize;

    bool finite() const { return std::isfinite(x) && std::isfinite(y); }
};

Percentages percentagesOf(const ResizeSettings& settings, const PageBox& media) {
    Percentages result;
    if (settings.hasPageSize()) {
        // The upper-right corner, not the width and height: the two agree for boxes at 0, 0.
        result.x = settings.pageSize[kUpperRightX] / media.x2 * kFullSize;
        result.y = settings.pageSize[kUpperRightY] / media.y2 * kFullSize;
        if (settings.noScale) result = Percentages{};
    } else {
        result = Percentages{settings.scaleX, settings.scaleY};
        if (settings.noScale && settings.scale == kFullSize) result = Percentages{};
    }
    return result;
}

bool cornerAtZero(const PageBox& media) { return media.x2 == 0 || media.y2 == 0; }

}  // namespace

PageTransform pageTransformOf(const ResizeSettings& settings, const PageRecord& record) {
    const Percentages percentages = percentagesOf(settings, record.mediaBox);
    const double smaller = (percentages.y > percentages.x ? percentages.x : percentages.y) / kFullSize;
    PageTransform transform;
    transform.boxFactors = {percentages.x / kFullSize, percentages.y / kFullSize};
    transform.contentFactors = settings.constrainProportions ? ScaleFactors{smaller, smaller} : transform.boxFactors;
    if (settings.center && settings.constrainProportions) {
        // The page's margins, from its MediaBox, so that every box of the page moves alike.
        const double* target = settings.pageSize;
        transform.marginX = (target[kUpperRightX] - target[kLowerLeftX] - record.mediaBox.width() * smaller) * kHalf;
        transform.marginY = (target[kUpperRightY] - target[kLowerLeftY] - record.mediaBox.height() * smaller) * kHalf;
    }
    return transform;
}

std::string unresizableReason(const ResizeSettings& settings, const PageRecord& record) {
    const PageBox& media = record.mediaBox;
    if (media.width() == 0 || media.height() == 0) return "has an empty MediaBox";
    if (percentagesOf(settings, media).finite()) return std::string();
    if (settings.hasPageSize() && cornerAtZero(media)) {
        return "cannot be fitted to the page size: its MediaBox has an upper-right x or y of 0";
    }
    return "cannot be scaled: its scale factor is not a finite number";
}
