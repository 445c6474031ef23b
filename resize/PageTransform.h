#pragma once

#include <optional>

#include "resize/PageRecord.h"
#include "resize/RewriteSupport.h"

// How one page is resized, worked out once per page from the job's settings and the page's
// MediaBox, and handed to everything that rewrites the page.
struct PageTransform {
    // What the page boxes are scaled by, before they are moved.
    ScaleFactors boxFactors;
    // What the content, annotation rectangles and pattern matrices are scaled by.
    ScaleFactors contentFactors;
    // How far the page boxes move left and down, in points, to centre the content on the target page.
    double marginX = 0;
    double marginY = 0;
    // How far the content itself moves, in the page's units, after it is scaled (-visible, -keepsize).
    double contentShiftX = 0;
    double contentShiftY = 0;
    // With -visible: the new page, lower-left at 0, 0, which the MediaBox and CropBox become;
    // the page's other boxes follow the content and stay inside it.
    std::optional<PageBox> newPage;
    // Where the content may show on the new page: what the page showed, placed (-visible).
    std::optional<PageBox> contentClip;
    // -keepsize: every box stays as it is; only the content moves.
    bool keepsBoxes = false;
    // The content matrix carries a shift and is written with the decimals that needs; the
    // two-decimal matrix of plain scaling stays as it always was.
    bool exactMatrix = false;

    // Where a point of the page's content (and of everything that points at the content:
    // annotations, destinations) lands on the new page.
    double contentX(double x) const { return contentFactors.x * x + contentShiftX; }
    double contentY(double y) const { return contentFactors.y * y + contentShiftY; }
};
