#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pdf/document/PdfPage.h"
#include "pdf/document/PdfPageTree.h"
#include "pdf/objects/PdfElement.h"

class CPdfXRef;

// The document catalog: its flattened page list and the entries the outline needs.
class CPdfCatalog {
public:
    CPdfCatalog();
    CPdfCatalog(const CPdfCatalog&) = delete;
    CPdfCatalog& operator=(const CPdfCatalog&) = delete;
    virtual ~CPdfCatalog();

    // Reads the Root object and walks its page tree; throws CPdfException on a malformed one.
    // The walk gives up after `maxTreeNodes` kids.
    void load(CPdfXRef& xref, size_t maxTreeNodes = CPdfPageTree::kMaxNodes);

    // Leaf pages in document order; pages[i] has page number i + 1.
    const std::vector<CPdfPage>& getPages() const { return pages_; }
    // The catalog's Outlines, Dests and Names/Dests, resolved (kindNull when absent).
    const CPdfElement& getOutlines() const { return outlines_; }
    const CPdfElement& getDests() const { return dests_; }
    const CPdfElement& getNameDests() const { return nameDests_; }

private:
    CPdfXRef* xref_ = nullptr;
    std::vector<CPdfPage> pages_;
    CPdfElement outlines_;
    CPdfElement dests_;
    CPdfElement nameDests_;
};
