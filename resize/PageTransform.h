#pragma once

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
    // How far the content itself moves, in points, after it is scaled; no option moves it yet.
    double contentShiftX = 0;
    double contentShiftY = 0;

    // Where a point of the page's content (and of everything that points at the content:
    // annotations, destinations) lands on the new page.
    double contentX(double x) const { return contentFactors.x * x + contentShiftX; }
    double contentY(double y) const { return contentFactors.y * y + contentShiftY; }
};
