#include "pdf/document/PdfCatalog.h"

#include <algorithm>
#include <utility>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/xref/PdfXRef.h"

namespace {

// Pages reserved before the walk at most.
constexpr double kReservedPages = 65536;

bool sameRef(const ObjectRef& a, const ObjectRef& b) { return a.number == b.number && a.generation == b.generation; }

// Flattens the page tree depth first. Indirect nodes on the current path are remembered, since a
// tree can only lead back to an ancestor through an indirect reference; every node visit is counted,
// since shared subtrees would otherwise multiply the work without any cycle.
class PageTreeWalker {
public:
    PageTreeWalker(CPdfResolver* xref, std::vector<CPdfPage>& pages, size_t maxNodes)
        : xref_(xref), pages_(pages), maxNodes_(maxNodes) {}

    void walk(const CPdfDictionary& root, const CPdfElement& rootStored) {
        const bool indirect = rootStored.is(kindReference);
        if (indirect) ancestors_.push_back(refOf(rootStored));
        readNode(root, 0);
        if (indirect) ancestors_.pop_back();
    }

private:
    static ObjectRef refOf(const CPdfElement& reference) {
        ObjectRef ref;
        ref.number = reference.getRefNumber();
        ref.generation = reference.getRefGeneration();
        return ref;
    }

    bool isAncestor(const ObjectRef& ref) const {
        return std::any_of(ancestors_.begin(), ancestors_.end(),
                           [&ref](const ObjectRef& ancestor) { return sameRef(ancestor, ref); });
    }

    void countVisit() {
        if (++visited_ > maxNodes_) throw CPdfException("Page tree has too many nodes");
    }

    void readNode(const CPdfDictionary& node, int depth) {
        CPdfElement kids;
        node.lookup("Kids", kids);
        if (!kids.is(kindArray)) throw CPdfException("Kids object is wrong type");
        const CPdfArray& array = *kids.getArray();
        for (int32_t i = 0; i < array.getLength(); ++i) {
            countVisit();
            const CPdfElement& stored = array.at(i);
            CPdfElement kid;
            stored.fetch(array.getXRef(), kid);
            if (!kid.is(kindDictionary)) throw CPdfException("Kid object is wrong type");
            const CPdfDictionary& kidDictionary = *kid.getDictionary();
            if (kidDictionary.isType("Page")) {
                CPdfPage page;
                page.load(static_cast<int32_t>(pages_.size()) + 1, xref_, kidDictionary, stored);
                pages_.push_back(std::move(page));
                continue;
            }
            readChildNode(kidDictionary, stored, depth + 1);
        }
    }

    void readChildNode(const CPdfDictionary& node, const CPdfElement& stored, int depth) {
        if (depth > CPdfCatalog::kMaxTreeDepth) throw CPdfException("Page tree is nested too deeply");
        const bool indirect = stored.is(kindReference);
        if (indirect) {
            const ObjectRef ref = refOf(stored);
            if (isAncestor(ref)) throw CPdfException("Page tree refers back to one of its own ancestors");
            ancestors_.push_back(ref);
        }
        readNode(node, depth);
        if (indirect) ancestors_.pop_back();
    }

    CPdfResolver* xref_;
    std::vector<CPdfPage>& pages_;
    const size_t maxNodes_;
    std::vector<ObjectRef> ancestors_;
    size_t visited_ = 0;
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

    const ObjectRef rootRef = xref.getRootRef();
    CPdfElement catalog;
    xref.fetch(rootRef.number, rootRef.generation, catalog);
    if (!catalog.is(kindDictionary)) throw CPdfException("Catalog object is wrong type");
    const CPdfDictionary& catalogDictionary = *catalog.getDictionary();

    CPdfElement pagesStored;
    catalogDictionary.lookupUnresolved("Pages", pagesStored);
    CPdfElement pages;
    pagesStored.fetch(catalogDictionary.getXRef(), pages);
    if (!pages.is(kindDictionary)) throw CPdfException("Top-level pages object is wrong type");

    // Only the kind is checked: the page list comes from the walk, not from this number.
    CPdfElement count;
    pages.getDictionary()->lookup("Count", count);
    if (!count.isNumber()) throw CPdfException("Page count in top-level pages object is wrong type");
    // Reserved before the walk, the list is never copied to a larger block, which would hold the
    // old and the new block at once; a huge count only reserves up to a cap.
    if (count.getNumber() > 0) pages_.reserve(static_cast<size_t>(std::min(count.getNumber(), kReservedPages)));

    PageTreeWalker(xref_, pages_, maxTreeNodes).walk(*pages.getDictionary(), pagesStored);

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
