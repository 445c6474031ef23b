#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "pdf/objects/PdfElement.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/PageRecord.h"

class CPdfDictionary;

// The page pass: one record per page of the page tree, in page order, with the page's object
// number and its five boxes, each the page's own or inherited from its nearest ancestor.
class PageTreeWalker {
public:
    // Intermediate nodes deeper than this are taken for a damaged tree.
    static constexpr size_t kMaxDepth = 256;

    explicit PageTreeWalker(CPdfXRef& xref) : xref_(xref) {}

    // One record per leaf, in page order, and never more than the root's /Count: pages that
    // /Count promises beyond the leaves get no record. A leaf that is a direct dictionary keeps
    // its place with an unfilled record. `pagesNumber` becomes the root's object number when the
    // catalog refers to it. Throws on a catalog without a page tree, a /Count the file cannot
    // hold, a loop or excessive nesting.
    std::vector<PageRecord> collect(ObjectRef root, uint32_t& pagesNumber);

private:
    enum { kMediaBox, kCropBox, kBleedBox, kTrimBox, kArtBox, kBoxCount };

    struct Boxes {
        PageBox box[kBoxCount];
        bool hasCropBox = false;
    };

    struct Frame {
        CPdfElement kids;  // the node's Kids array
        int32_t next = 0;
        Boxes boxes;       // what the node's kids inherit
    };

    static Boxes defaultBoxes();
    static Boxes nodeBoxes(const CPdfDictionary& node, const Boxes& inherited);
    static PageBox readBox(const CPdfElement& array);
    void visit(const CPdfElement& node, uint32_t number, bool indirect, const Boxes& inherited);
    void fillLeaf(const CPdfDictionary& page, uint32_t number, bool indirect, const Boxes& boxes);
    static uint32_t pageCountOf(const CPdfDictionary& root, size_t entryCount);

    CPdfXRef& xref_;
    std::vector<PageRecord> records_;
    size_t pageCount_ = 0;  // the root's /Count
    std::vector<Frame> stack_;
    std::unordered_set<uint32_t> visitedNodes_;
};
