#pragma once

#include <cstdint>
#include <vector>

#include "pdf/document/PdfPageTree.h"
#include "resize/PageRecord.h"

class CPdfXRef;

// The page pass's result: one record per page of the tree, and their number.
struct CollectedPages {
    std::vector<PageRecord> records;
    uint32_t pageCount = 0;
};

// Told of each page as the page pass records it.
class PageWalkObserver {
public:
    virtual ~PageWalkObserver() = default;
    // `lowestSiblingAhead`: the lowest object number among the page's siblings still to come
    // (0 when one of them is direct, UINT32_MAX when none is left).
    virtual void pageRecorded(const PageRecord& record, uint32_t lowestSiblingAhead) = 0;
};

// The page pass: one record per page of the page tree, in page order, with the page's object
// number and its five boxes, each the page's own or inherited from its nearest ancestor.
class PageCollector : private CPdfPageTreeVisitor {
public:
    // One record per page the tree holds, whatever the root's /Count says, and never more than the
    // file has objects. A page that is a direct dictionary keeps its place with an unfilled record.
    // Throws on a damaged tree. `observer` (not owned; may be null) hears of each page.
    static CollectedPages collect(CPdfXRef& xref, PageWalkObserver* observer = nullptr);

private:
    enum { kMediaBox, kCropBox, kBleedBox, kTrimBox, kArtBox, kBoxCount };

    struct Boxes {
        PageBox box[kBoxCount];
        bool hasCropBox = false;
        double rotate = 0;  // inherited like the boxes
    };

    PageCollector(size_t maxPages, PageWalkObserver* observer);

    void enterNode(const CPdfDictionary& node) override;
    void leaveNode() override;
    bool visitPage(const CPdfElement& page, const CPdfElement& stored) override;
    void siblingsAheadFrom(uint32_t lowestNumber) override;

    // Keeps the page's dictionary in its record, while the document is small enough.
    void keepPage(const CPdfElement& page);
    // What the annotation plan needs of the page, read while the page is at hand.
    static void readAnnotations(const CPdfDictionary& page, PageRecord& record);
    static Boxes nodeBoxes(const CPdfDictionary& node, const Boxes& inherited);
    static PageBox readBox(const CPdfElement& array);

    size_t maxPages_;
    PageWalkObserver* observer_;
    CollectedPages pages_;
    std::vector<Boxes> inherited_;  // what the kids of each node on the path inherit
    bool keepsPages_ = false;
};
