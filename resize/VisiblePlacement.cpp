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

// A value along x and one along y: of the screen (as seen) or of the page's own space.
struct XY {
    double x = 0;
    double y = 0;
};

XY factorsAsSeen(const ResizeSettings& settings, const XY& size) {
    XY factors{settings.scaleX / kFullSize, settings.scaleY / kFullSize};
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

XY newPageAsSeen(const ResizeSettings& settings, const XY& size, const XY& factors) {
    if (settings.keepSize) return size;
    XY page{size.x * factors.x, size.y * factors.y};
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
    const XY size{view.width(), view.height()};
    const XY factors = factorsAsSeen(settings, size);
    const XY page = newPageAsSeen(settings, size, factors);

    // How far the scaled visible box lies from the new page's left and bottom edges (near) and from
    // its right and top edges (far), as seen.
    const XY scaled{size.x * factors.x, size.y * factors.y};
    XY near;
    if (settings.center) near = {(page.x - scaled.x) * kHalf, (page.y - scaled.y) * kHalf};
    near.x -= settings.offsetX;
    near.y -= settings.offsetY;
    const XY far{page.x - scaled.x - near.x, page.y - scaled.y - near.y};

    // Back into the page's own axes, where /Rotate turned it clockwise for the reader: the box's
    // distance from the page's own left and bottom edges, in points.
    XY ownCorner = near;
    switch (view.rotation()) {
        case PageRotation::upright: break;
        case PageRotation::quarter: ownCorner = {far.y, near.x}; break;
        case PageRotation::half: ownCorner = {far.x, far.y}; break;
        case PageRotation::threeQuarters: ownCorner = {near.y, far.x}; break;
    }
    const ScaleFactors own = view.sideways() ? ScaleFactors{factors.y, factors.x} : ScaleFactors{factors.x, factors.y};
    const XY ownPage = view.sideways() ? XY{page.y, page.x} : page;

    PageTransform transform;
    transform.exactMatrix = true;
    transform.contentFactors = own;
    transform.boxFactors = {ownPage.x / unit / visible.width(), ownPage.y / unit / visible.height()};
    // The new page starts at 0, 0, or is the visible box itself when the boxes stay.
    const double left = (settings.keepSize ? visible.x1 : 0) + ownCorner.x / unit;
    const double bottom = (settings.keepSize ? visible.y1 : 0) + ownCorner.y / unit;
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
