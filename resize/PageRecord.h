#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pdf/objects/PdfElement.h"

// A rectangle as PDF writes it: lower-left corner, then upper-right corner.
struct PageBox {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;

    double width() const { return x2 - x1; }
    double height() const { return y2 - y1; }
    bool sameSize(const PageBox& other) const { return width() == other.width() && height() == other.height(); }
    // Files may give any two opposite corners; readers take the lower-left and the upper-right.
    PageBox normalized() const {
        return PageBox{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    }
};

// One page of the page pass, in page order.
struct PageRecord {
    uint32_t objectNumber = 0;
    uint32_t pageNumber = 0;
    PageBox mediaBox;
    PageBox cropBox;
    PageBox bleedBox;
    PageBox trimBox;
    PageBox artBox;
    bool selected = false;
    bool hasCropBox = false;
    double rotate = 0;    // /Rotate, the page's own or inherited, as the file gives it
    double userUnit = 1;  // /UserUnit: points per unit of the page's space
    bool filled = false;  // a leaf of the page tree filled this record
    // The page's /Contents when it is a reference (number 0 when it is not).
    uint32_t contentsNumber = 0;
    uint32_t contentsGeneration = 0;
    // The page's /Annots when it is a reference (0 when it is not), and the object numbers of the
    // annotations it lists, in their order (none when they cannot be read).
    uint32_t annotsArrayNumber = 0;
    std::vector<uint32_t> annotations;
    // The page's dictionary as the page walk read it, kept for the rewrite in small documents;
    // none otherwise, and the rewrite reads the page itself.
    CPdfElement page;
};
