#include "resize/PageView.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kQuarterTurn = 90;
constexpr int kQuartersPerTurn = 4;

PageBox visibleBoxOf(const PageRecord& record) {
    const PageBox& media = record.mediaBox;
    if (!record.hasCropBox) return media;
    const PageBox& crop = record.cropBox;
    const PageBox common{std::max(media.x1, crop.x1), std::max(media.y1, crop.y1), std::min(media.x2, crop.x2),
                         std::min(media.y2, crop.y2)};
    // A CropBox beside the MediaBox would show nothing; viewers then show the MediaBox.
    if (common.width() <= 0 || common.height() <= 0) return media;
    return common;
}

}  // namespace

PageView::PageView(const PageRecord& record)
    : visible_(visibleBoxOf(record)),
      rotation_(rotationOf(record.rotate)),
      userUnit_(record.userUnit > 0 && std::isfinite(record.userUnit) ? record.userUnit : 1) {}

PageRotation PageView::rotationOf(double rotate) {
    if (!std::isfinite(rotate)) return PageRotation::upright;
    const double quarters = rotate / kQuarterTurn;
    if (quarters != std::floor(quarters)) return PageRotation::upright;
    const double turn = std::fmod(quarters, kQuartersPerTurn);
    switch (static_cast<int>(turn < 0 ? turn + kQuartersPerTurn : turn)) {
        case 1: return PageRotation::quarter;
        case 2: return PageRotation::half;
        case 3: return PageRotation::threeQuarters;
        default: return PageRotation::upright;
    }
}

double PageView::width() const { return (sideways() ? visible_.height() : visible_.width()) * userUnit_; }

double PageView::height() const { return (sideways() ? visible_.width() : visible_.height()) * userUnit_; }
