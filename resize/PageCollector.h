#pragma once

#include <cstdint>
#include <vector>

#include "pdf/document/PdfPageTree.h"
#include "resize/PageRecord.h"

class CPdfXRef;

// The page pass's result: one record per page, and the page count that the root node promises.
struct CollectedPages {
    std::vector<PageRecord> records;
    uint32_t pageCount = 0;
};

// The page pass: one record per page of the page tree, in page order, with the page's object
// number and its five boxes, each the page's own or inherited from its nearest ancestor.
class PageCollector : private CPdfPageTreeVisitor {
public:
    // One record per page, and never more than the root's /Count: pages that /Count promises beyond
    // the tree's pages get no record. A page that is a direct dictionary keeps its place with an
    // unfilled record. Throws on a damaged tree, and on a /Count the file cannot hold.
    static CollectedPages collect(CPdfXRef& xref);

private:
    enum { kMediaBox, kCropBox, kBleedBox, kTrimBox, kArtBox, kBoxCount };

    struct Boxes {
        PageBox box[kBoxCount];
        bool hasCropBox = false;
    };

    explicit PageCollector(uint32_t pageCount);

    void enterNode(const CPdfDictionary& node) override;
    void leaveNode() override;
    bool visitPage(const CPdfDictionary& page, const CPdfElement& stored) override;

    static Boxes nodeBoxes(const CPdfDictionary& node, const Boxes& inherited);
    static PageBox readBox(const CPdfElement& array);
    static uint32_t pageCountOf(double count, size_t entryCount);

    CollectedPages pages_;
    std::vector<Boxes> inherited_;  // what the kids of each node on the path inherit
};
