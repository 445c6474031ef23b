#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "resize/CoordinateText.h"
#include "resize/PageTransform.h"
#include "resize/RewriteSupport.h"

class CPdfArray;
class CPdfDictionary;
class CPdfElement;
class DictionaryScanner;
class ObjectText;
struct ResizeJob;

// Makes a page's annotations follow its content: their rectangles and every point they hold
// (QuadPoints, InkList, Vertices, L, CL; the RD margins by the factors alone), their border
// widths, and the destinations of links. Each annotation object is written once, by the first page that lists it;
// a later page that lists it under another transform gets a copy of its own (with the annotation's
// popup, or the popup's parent), except a form field's widget, which follows the first page.
// Annotation dictionaries that stand directly in the Annots array are edited where they stand.
class AnnotationScaler {
public:
    AnnotationScaler(ResizeJob& job, const PageTransform& transform, uint32_t pageObjectNumber);

    void scaleAnnotations(const CPdfDictionary& page, ObjectText& pageText);

private:
    using Copies = std::map<uint32_t, uint32_t>;  // input annotation object -> its copy

    // The edits that the annotation dictionary at `dictionaryOpen` needs on this page.
    void annotationEdits(const DictionaryScanner& scanner, size_t dictionaryOpen, const CPdfElement& annotation,
                         const NumberOwner& owner, std::vector<TextEdit>& edits) const;
    // The border widths (BS W, Border's third number) of the annotation at `dictionaryOpen`.
    void borderWidthEdits(const DictionaryScanner& scanner, size_t dictionaryOpen, const CPdfDictionary& annotation,
                          std::vector<TextEdit>& edits) const;
    void rewriteAnnotationObject(uint32_t objectNumber, const CPdfElement& annotation);
    // Whether the page writes the annotation object itself: it is the first page to list it, or one
    // that puts its points at the same places.
    bool ownsAnnotation(uint32_t objectNumber) const;
    // Which annotations of the page need copies, with their new numbers.
    Copies planCopies(const CPdfArray& annotations);
    void writeCopy(uint32_t objectNumber, uint32_t copyNumber, const Copies& copies);
    // The edits of the Annots array at `arrayOpen`: direct annotations, and references to copies.
    std::vector<TextEdit> annotsArrayEdits(const DictionaryScanner& scanner, size_t arrayOpen,
                                           const CPdfArray& annotations, const Copies& copies,
                                           const NumberOwner& owner) const;
    // `annots` is the page's Annots entry, unresolved; `shared`: an earlier page lists its array object.
    void editAnnotsArray(const CPdfElement& annots, const CPdfArray& annotations, const Copies& copies, bool shared,
                         ObjectText& pageText);

    ResizeJob& job_;
    PageTransform transform_;
    uint32_t pageObjectNumber_;
};
