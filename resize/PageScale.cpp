#include "resize/PageScale.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "resize/PageView.h"
#include "resize/VisiblePlacement.h"

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
    if (settings.noEnlarge) result = Percentages{std::min(result.x, kFullSize), std::min(result.y, kFullSize)};
    return result;
}

bool cornerAtZero(const PageBox& media) { return media.x2 == 0 || media.y2 == 0; }

// -keepsize: the boxes stay; the content, scaled about the origin, is centred in the MediaBox
// when asked, and the offsets move it the way they move it against the boxes otherwise.
void keepBoxes(const ResizeSettings& settings, const PageBox& media, PageTransform& transform) {
    const ScaleFactors& content = transform.contentFactors;
    transform.boxFactors = ScaleFactors{};
    transform.marginX = transform.marginY = 0;
    transform.keepsBoxes = transform.exactMatrix = true;
    if (settings.center) {
        transform.contentShiftX = media.x1 * (1 - content.x) + media.width() * (1 - content.x) * kHalf;
        transform.contentShiftY = media.y1 * (1 - content.y) + media.height() * (1 - content.y) * kHalf;
    }
    transform.contentShiftX -= settings.offsetX;
    transform.contentShiftY -= settings.offsetY;
}

}  // namespace

PageTransform pageTransformOf(const ResizeSettings& settings, const PageRecord& record) {
    if (settings.visible) return visibleTransformOf(settings, record);
    const Percentages percentages = percentagesOf(settings, record.mediaBox);
    const double smaller = (percentages.y > percentages.x ? percentages.x : percentages.y) / kFullSize;
    PageTransform transform;
    transform.boxFactors = {percentages.x / kFullSize, percentages.y / kFullSize};
    transform.contentFactors = settings.constrainProportions ? ScaleFactors{smaller, smaller} : transform.boxFactors;
    if (settings.keepSize) {
        keepBoxes(settings, record.mediaBox, transform);
    } else if (settings.center && settings.constrainProportions) {
        // The page's margins, from its MediaBox, so that every box of the page moves alike.
        const double* target = settings.pageSize;
        double width = target[kUpperRightX] - target[kLowerLeftX];
        double height = target[kUpperRightY] - target[kLowerLeftY];
        if (settings.noEnlarge) {
            // A page smaller than the target keeps its size: its content is centred in that.
            width = std::min(width, record.mediaBox.width());
            height = std::min(height, record.mediaBox.height());
        }
        transform.marginX = (width - record.mediaBox.width() * smaller) * kHalf;
        transform.marginY = (height - record.mediaBox.height() * smaller) * kHalf;
    }
    return transform;
}

bool staysAsItIs(const ResizeSettings& settings, const PageRecord& record) {
    if (!settings.noEnlarge || settings.offsetX != 0 || settings.offsetY != 0) return false;
    const PageTransform transform = pageTransformOf(settings, record);
    const auto one = [](const ScaleFactors& factors) { return factors.x == 1 && factors.y == 1; };
    return one(transform.boxFactors) && one(transform.contentFactors) && transform.marginX == 0 &&
           transform.marginY == 0;
}

std::string unresizableReason(const ResizeSettings& settings, const PageRecord& record) {
    const PageBox& media = record.mediaBox;
    if (media.width() == 0 || media.height() == 0) return "has an empty MediaBox";
    if (settings.visible) {
        const PageView view(record);
        const ScaleFactors factors = visibleTransformOf(settings, record).contentFactors;
        if (std::isfinite(view.width() * view.height()) && std::isfinite(factors.x * factors.y)) return std::string();
        return "cannot be scaled: its size as seen or its scale factor is not a finite number";
    }
    if (percentagesOf(settings, media).finite()) return std::string();
    if (settings.hasPageSize() && cornerAtZero(media)) {
        return "cannot be fitted to the page size: its MediaBox has an upper-right x or y of 0";
    }
    return "cannot be scaled: its scale factor is not a finite number";
}
