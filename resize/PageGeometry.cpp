#include "resize/PageGeometry.h"

#include <algorithm>
#include <cmath>

#include "pdf/objects/PdfException.h"
#include "resize/DictionaryScanner.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectText.h"

namespace {

constexpr char kMediaBoxKey[] = "/MediaBox";
constexpr char kCropBoxKey[] = "/CropBox";
constexpr char kDictionaryOpen[] = "<<";
// Indexes into ResizeSettings::pageSize.
constexpr int kX1 = 0;
constexpr int kY1 = 1;
constexpr int kX2 = 2;
constexpr int kY2 = 3;

}  // namespace

PageGeometry::PageGeometry(const ResizeSettings& settings, const PageTransform& transform, const PageBox& mediaBox,
                           uint32_t pageObjectNumber)
    : settings_(settings), transform_(transform), mediaBox_(mediaBox), pageObjectNumber_(pageObjectNumber) {
    // The content factors come from the same percentages as the box factors.
    if (!std::isfinite(transform.boxFactors.x) || !std::isfinite(transform.boxFactors.y) ||
        !std::isfinite(transform.contentShiftX) || !std::isfinite(transform.contentShiftY)) {
        throw CPdfException("Cannot resize page object " + formatInteger(pageObjectNumber) +
                            ": its scale factors are not finite\n");
    }
}

bool PageGeometry::centred() const { return settings_.center && settings_.constrainProportions; }

PageBox PageGeometry::resizeBox(PageBox& box) const {
    ScaleFactors factors = transform_.boxFactors;
    double marginX = transform_.marginX;
    double marginY = transform_.marginY;
    if (centred() && !box.sameSize(mediaBox_)) {
        // A smaller box frames part of the content, which is scaled but never moved: the box goes
        // where that content goes. The margins and the box factors place the page around the
        // content, and would move such a box off what it framed.
        factors = transform_.contentFactors;
        marginX = marginY = 0;
    } else if (centred() && settings_.noScale) {
        // The unscaled content is centred on a page of the target size.
        const double* target = settings_.pageSize;
        const PageBox page{target[kX1], target[kY1], target[kX2], target[kY2]};
        // Under -noenlarge the page keeps its own extent where the target is larger.
        const bool keepWidth = settings_.noEnlarge && page.width() > box.width();
        const bool keepHeight = settings_.noEnlarge && page.height() > box.height();
        box = PageBox{keepWidth ? box.x1 : page.x1, keepHeight ? box.y1 : page.y1, keepWidth ? box.x2 : page.x2,
                      keepHeight ? box.y2 : page.y2};
    }
    PageBox result;
    result.x1 = factors.x * box.x1 - marginX + settings_.offsetX;
    result.y1 = factors.y * box.y1 - marginY + settings_.offsetY;
    result.x2 = factors.x * box.x2 - marginX + settings_.offsetX;
    result.y2 = factors.y * box.y2 - marginY + settings_.offsetY;
    return result;
}

PageBox PageGeometry::placedBox(const PageBox& box, const std::string& key) const {
    const PageBox& page = *transform_.newPage;
    if (key == kMediaBoxKey || key == kCropBoxKey) return page;
    // The other boxes mark parts of the content: they go where it goes, within the new page.
    const PageBox moved = PageBox{transform_.contentX(box.x1), transform_.contentY(box.y1), transform_.contentX(box.x2),
                                  transform_.contentY(box.y2)}.normalized();
    const auto within = [](double value, double low, double high) { return std::min(std::max(value, low), high); };
    return PageBox{within(moved.x1, page.x1, page.x2), within(moved.y1, page.y1, page.y2),
                   within(moved.x2, page.x1, page.x2), within(moved.y2, page.y1, page.y2)};
}

void PageGeometry::rewriteBox(ObjectText& text, PageBox& box, const std::string& key, bool insertIfAbsent) const {
    const PageBox values = transform_.newPage ? placedBox(box, key) : resizeBox(box);
    const double numbers[] = {values.x1, values.y1, values.x2, values.y2};
    for (const double value : numbers) requireFinite(value, "page", pageObjectNumber_);

    const DictionaryScanner scanner(text.bytes());
    TextEntry found;
    const bool present = scanner.findKey(key, found);
    // Most pages lack most boxes: their numbers are only formatted when they are written.
    if (!present && key != kMediaBoxKey && !insertIfAbsent) return;
    std::string entry = key + " [";
    for (const double value : numbers) {
        entry += ' ';
        entry += formatBoxNumber(value);
    }
    entry += " ]\n";
    if (present) {
        // The whole value goes, whatever it was (a direct array, a reference to one, ...).
        text.replaceText(found.keyFirst, found.valueLast, entry);
        return;
    }
    const size_t dictionary = scanner.objectDictionary();
    if (dictionary == DictionaryScanner::npos) return;
    text.insertText(dictionary + sizeof kDictionaryOpen - 1, "\n" + entry);
}
