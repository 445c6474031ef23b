#pragma once

#include "resize/PageRecord.h"

// A page's turn as a viewer shows it: clockwise, in quarter turns.
enum class PageRotation { upright = 0, quarter = 90, half = 180, threeQuarters = 270 };

// The page as a reader sees it: the part of its MediaBox that its CropBox shows, in the page's
// UserUnit, turned by its /Rotate.
class PageView {
public:
    explicit PageView(const PageRecord& record);

    // A /Rotate value as viewers take it: a multiple of 90 (negative ones count from the other
    // side) turns the page, anything else leaves it upright.
    static PageRotation rotationOf(double rotate);

    // The overlap of CropBox and MediaBox, or the MediaBox without a CropBox, in the page's own units and axes.
    const PageBox& visibleBox() const { return visible_; }
    PageRotation rotation() const { return rotation_; }
    // Points per unit of the page's own space.
    double userUnit() const { return userUnit_; }
    // Whether the page is shown on its side (90 or 270), so that width and height swap.
    bool sideways() const { return rotation_ == PageRotation::quarter || rotation_ == PageRotation::threeQuarters; }
    // The visible box's size on screen, in points.
    double width() const;
    double height() const;

private:
    PageBox visible_;
    PageRotation rotation_;
    double userUnit_;
};
