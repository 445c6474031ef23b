#include "pdf/document/PdfCatalog.h"

#include <algorithm>
#include <utility>

#include "pdf/document/PdfPageTree.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/xref/PdfXRef.h"

namespace {

// Pages reserved before the walk at most.
constexpr double kReservedPages = 65536;

// Each page of the walk becomes a record, numbered in page order.
class PageListBuilder : public CPdfPageTreeVisitor {
public:
    PageListBuilder(CPdfResolver* xref, std::vector<CPdfPage>& pages) : xref_(xref), pages_(pages) {}

    bool visitPage(const CPdfElement& page, const CPdfElement& stored) override {
        CPdfPage record;
        record.load(static_cast<int32_t>(pages_.size()) + 1, xref_, *page.getDictionary(), stored);
        pages_.push_back(std::move(record));
        return true;
    }

private:
    CPdfResolver* xref_;
    std::vector<CPdfPage>& pages_;
};

}  // namespace

CPdfCatalog::CPdfCatalog() = default;

CPdfCatalog::~CPdfCatalog() = default;

void CPdfCatalog::load(CPdfXRef& xref, size_t maxTreeNodes) {
    xref_ = &xref;
    pages_.clear();
    outlines_.free();
    dests_.free();
    nameDests_.free();

    const CPdfPageTree tree(xref);
    // Reserved before the walk, the list is never copied to a larger block, which would hold the
    // old and the new block at once; a huge count only reserves up to a cap.
    if (tree.getCount() > 0) pages_.reserve(static_cast<size_t>(std::min(tree.getCount(), kReservedPages)));
    PageListBuilder builder(xref_, pages_);
    tree.walk(builder, maxTreeNodes);

    const CPdfDictionary& catalogDictionary = tree.getCatalog();
    catalogDictionary.lookup("Dests", dests_);
    CPdfElement names;
    catalogDictionary.lookup("Names", names);
    if (names.is(kindDictionary)) {
        names.getDictionary()->lookup("Dests", nameDests_);
    } else {
        nameDests_.initNull();
    }
    catalogDictionary.lookup("Outlines", outlines_);
}
