#pragma once

#include <cstdint>

// A rectangle as PDF writes it: lower-left corner, then upper-right corner.
struct PageBox {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
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
    bool filled = false;  // a leaf of the page tree filled this record
    // The page's /Contents when it is a reference (number 0 when it is not).
    uint32_t contentsNumber = 0;
    uint32_t contentsGeneration = 0;
};
