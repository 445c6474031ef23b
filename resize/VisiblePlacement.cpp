#include "resize/VisiblePlacement.h"

#include <algorithm>

#include "resize/PageView.h"

namespace {

constexpr double kFullSize = 100;
constexpr double kHalf = 0.5;
// Indexes into ResizeSettings::pageSize (x1, y1, x2, y2).
constexpr int kX1 = 0;
constexpr int kY1 = 1;
constexpr int kX2 = 2;
constexpr int kY2 = 3;

// A pair of values along the horizontal and the vertical axis of the screen.
struct Seen {
    double x = 0;
    double y = 0;
};

Seen factorsAsSeen(const ResizeSettings& settings, const Seen& size) {
    Seen factors{settings.scaleX / kFullSize, settings.scaleY / kFullSize};
    if (settings.hasPageSize()) {
        const double* target = settings.pageSize;
        factors = {(target[kX2] - target[kX1]) / size.x, (target[kY2] - target[kY1]) / size.y};
        if (settings.constrainProportions) factors.x = factors.y = std::min(factors.x, factors.y);
        if (settings.noScale) factors = {1, 1};
    } else if (settings.noScale && settings.scale == kFullSize) {
        factors = {1, 1};
    }
    if (settings.noEnlarge) factors = {std::min(factors.x, 1.0), std::min(factors.y, 1.0)};
    return factors;
}

Seen newPageAsSeen(const ResizeSettings& settings, const Seen& size, const Seen& factors) {
    if (settings.keepSize) return size;
    Seen page{size.x * factors.x, size.y * factors.y};
    if (settings.hasPageSize()) {
        const double* target = settings.pageSize;
        page = {target[kX2] - target[kX1], target[kY2] - target[kY1]};
    }
    // A page never grows beyond itself: a small one keeps its size.
    if (settings.noEnlarge) page = {std::min(page.x, size.x), std::min(page.y, size.y)};
    return page;
}

}  // namespace

PageTransform visibleTransformOf(const ResizeSettings& settings, const PageRecord& record) {
    const PageView view(record);
    const PageBox& visible = view.visibleBox();
    const double unit = view.userUnit();
    const Seen size{view.width(), view.height()};
    const Seen factors = factorsAsSeen(settings, size);
    const Seen page = newPageAsSeen(settings, size, factors);

    // The scaled visible box's lower-left corner on the new page, as seen, and the same distance
    // from the opposite edges, which is where the page's own origin lies once it is turned.
    const Seen scaled{size.x * factors.x, size.y * factors.y};
    Seen near;
    if (settings.center) near = {(page.x - scaled.x) * kHalf, (page.y - scaled.y) * kHalf};
    near.x -= settings.offsetX;
    near.y -= settings.offsetY;
    const Seen far{page.x - scaled.x - near.x, page.y - scaled.y - near.y};

    // Back into the page's own axes: /Rotate turns the page clockwise for the reader.
    Seen corner = near;
    ScaleFactors own{factors.x, factors.y};
    Seen ownPage = page;
    switch (view.rotation()) {
        case PageRotation::upright: break;
        case PageRotation::quarter: corner = {far.y, near.x}; break;
        case PageRotation::half: corner = {far.x, far.y}; break;
        case PageRotation::threeQuarters: corner = {near.y, far.x}; break;
    }
    if (view.sideways()) {
        own = {factors.y, factors.x};
        ownPage = {page.y, page.x};
    }

    PageTransform transform;
    transform.exactMatrix = true;
    transform.contentFactors = own;
    transform.boxFactors = {ownPage.x / unit / visible.width(), ownPage.y / unit / visible.height()};
    // The new page starts at 0, 0, or is the visible box itself when the boxes stay.
    const Seen origin = settings.keepSize ? Seen{visible.x1, visible.y1} : Seen{};
    const double left = origin.x + corner.x / unit;
    const double bottom = origin.y + corner.y / unit;
    transform.contentShiftX = left - own.x * visible.x1;
    transform.contentShiftY = bottom - own.y * visible.y1;
    transform.contentClip = PageBox{left, bottom, left + own.x * visible.width(), bottom + own.y * visible.height()};
    if (settings.keepSize) {
        transform.keepsBoxes = true;
    } else {
        transform.newPage = PageBox{0, 0, ownPage.x / unit, ownPage.y / unit};
    }
    return transform;
}
