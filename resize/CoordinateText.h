#pragma once

#include <cstdint>
#include <string>

#include "resize/PageTransform.h"

class CPdfElement;

// How the numbers of a coordinate array map onto the new page.
enum class CoordinateKind {
    points,     // x y x y ...: each pair is a point of the page (QuadPoints, Vertices, L, CL)
    box,        // a rectangle: the box of its two mapped corners (Rect, BBox, a bead's R)
    distances,  // left top right bottom margins: scaled only, never shifted (RD)
};

// Where an error about a number names it: "annotation object 12", say.
struct NumberOwner {
    const char* what;
    uint32_t objectNumber;
};

// The inside of the rewritten array (each number " %.2f ") for `value`, an array of numbers
// (resolved), mapped by `transform`; false when `value` is anything else.
bool mappedNumbers(const CPdfElement& value, CoordinateKind kind, const PageTransform& transform,
                   const NumberOwner& owner, std::string& inside);

// The same for an array of point arrays (an ink annotation's paths), each written "[...]".
bool mappedPointLists(const CPdfElement& value, const PageTransform& transform, const NumberOwner& owner,
                      std::string& inside);
