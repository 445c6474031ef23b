#pragma once

#include <cstdint>
#include <string>

#include "resize/PageTransform.h"
#include "resize/RewriteSupport.h"

class CPdfDictionary;
class CPdfElement;
struct ResizeJob;

// Makes the patterns of a page's resources follow the scaled content: a pattern's /Matrix maps
// pattern space to the page's default space, which the page's new scale stream does not change,
// so each pattern object is written again with its matrix multiplied by the content factors.
class PatternScaler {
public:
    PatternScaler(ResizeJob& job, const PageTransform& transform);

    void scalePatterns(const CPdfDictionary& page);

    // The six numbers of `matrix` (a b c d e f) as a*cx b*cy c*cx d*cy e*cx+tx f*cy+ty (tx, ty: the
    // content's shift), each written " %f "; false when `matrix` is not an array of six numbers.
    bool scaledMatrix(const CPdfElement& matrix, std::string& numbers, uint32_t objectNumber) const;
    // The numbers of the page's content matrix: cx 0 0 cy tx ty, each written " %f ".
    std::string scaledIdentity(uint32_t objectNumber) const;

private:
    void rewritePatternObject(uint32_t objectNumber, const CPdfElement& pattern);

    ResizeJob& job_;
    PageTransform transform_;
};
