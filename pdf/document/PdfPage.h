#pragma once

#include <cstdint>

#include "pdf/objects/PdfElement.h"

class CPdfDictionary;
class CPdfResolver;

// The per-page fields the reader keeps from a page dictionary. Nothing is inherited from the
// intermediate nodes: the resize engine collects boxes and their inheritance on its own visit of
// the page tree.
class CPdfPage {
public:
    CPdfPage();
    CPdfPage(const CPdfPage&) = default;
    CPdfPage(CPdfPage&&) = default;
    CPdfPage& operator=(const CPdfPage&) = default;
    CPdfPage& operator=(CPdfPage&&) = default;
    virtual ~CPdfPage();

    // `stored` is the page as its parent's Kids array holds it. A page that is an object of its
    // own does not keep its resolved Resources, which a document of many pages would hold for
    // every page at once: they are looked up again, through `stored`, when asked for.
    void load(int32_t pageNumber, CPdfResolver* xref, const CPdfDictionary& pageDictionary,
              const CPdfElement& stored = CPdfElement());

    // The page's own Rotate, normalised into 0..359; 0 when absent or not an integer.
    int32_t getRotate() const { return rotate_; }
    // 1-based position in document order.
    int32_t getPageNumber() const { return pageNumber_; }
    CPdfResolver* getXRef() const { return xref_; }
    // Contents as stored: a reference, an array (references unresolved) or kindNull.
    const CPdfElement& getContents() const { return contents_; }
    // The page's own Resources dictionary, resolved; kindNone when it has none.
    const CPdfElement& getResources() const;

private:
    int32_t rotate_ = 0;
    int32_t pageNumber_ = 0;
    CPdfResolver* xref_ = nullptr;
    CPdfElement contents_;
    CPdfElement stored_;  // the reference to the page while its resources are not kept
    mutable CPdfElement resources_;
    mutable bool resourcesLoaded_ = true;
};

// Any angle brought into 0..359, without looping on huge values.
int32_t normaliseRotation(int32_t degrees);
