#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resize/PageTransform.h"
#include "resize/RewriteSupport.h"

class CPdfArray;
class CPdfDictionary;
class CPdfElement;
class DictionaryScanner;
class ObjectText;
struct ResizeJob;

// Scales the rectangles of a page's annotations by the content factors, so that they stay over
// the content they belong to. Each annotation object is written again; annotation dictionaries
// that stand directly in the Annots array are edited where they stand.
class AnnotationScaler {
public:
    AnnotationScaler(ResizeJob& job, const PageTransform& transform, uint32_t pageObjectNumber);

    void scaleAnnotations(const CPdfDictionary& page, ObjectText& pageText);

    // The scaled numbers of a rectangle array, each written " %.2f "; x values (indexes 0 and 2)
    // take the x factor, all others the y factor. False when `rect` is not an array of numbers.
    // `what` and `objectNumber` name the object in the error thrown for a number out of range.
    bool scaledNumbers(const CPdfElement& rect, std::string& numbers, const char* what, uint32_t objectNumber) const;

private:
    void rewriteAnnotationObject(uint32_t objectNumber, const CPdfElement& annotation);
    // The /Rect edit of the dictionary whose "<<" is at `dictionaryOpen`, when there is one to make.
    bool rectEdit(const DictionaryScanner& scanner, size_t dictionaryOpen, const CPdfElement& annotation,
                  const char* what, uint32_t objectNumber, TextEdit& edit) const;
    std::vector<TextEdit> directAnnotationEdits(const DictionaryScanner& scanner, size_t arrayOpen,
                                                const CPdfArray& annotations, const char* what,
                                                uint32_t objectNumber) const;
    void scaleDirectAnnotations(const CPdfDictionary& page, const CPdfArray& annotations, ObjectText& pageText);

    ResizeJob& job_;
    ScaleFactors factors_;
    uint32_t pageObjectNumber_;
};
