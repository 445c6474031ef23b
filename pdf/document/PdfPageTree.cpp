#include "pdf/document/PdfPageTree.h"

#include <algorithm>
#include <limits>
#include <string>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/xref/PdfXRef.h"

namespace {

uint32_t numberOf(const CPdfElement& stored) {
    return stored.is(kindReference) ? static_cast<uint32_t>(stored.getRefNumber()) : 0;
}

struct Frame {
    CPdfElement kids;  // the node's Kids array
    int32_t next = 0;
    uint32_t number = 0;  // the node's object number, 0 when it is direct
    // The lowest object number among the kids from each index on; a kid that names no object counts as 0.
    std::vector<uint32_t> lowestFrom;

    void findLowest() {
        const CPdfArray& array = *kids.getArray();
        lowestFrom.assign(static_cast<size_t>(array.getLength()) + 1, std::numeric_limits<uint32_t>::max());
        for (int32_t i = array.getLength() - 1; i >= 0; --i) {
            const CPdfElement& kid = array.at(i);
            const uint32_t number = kid.is(kindReference) && kid.getRefNumber() > 0 ? numberOf(kid) : 0;
            lowestFrom[static_cast<size_t>(i)] = std::min(lowestFrom[static_cast<size_t>(i) + 1], number);
        }
    }
};


// Indirect intermediate nodes met so far, and whether each is on the path from the root: a tree
// can only lead back to an ancestor, or list a node twice, through a reference.
class NodeRegister {
public:
    void enter(uint32_t number) {
        if (number == 0) return;
        const auto [entry, isNew] = nodes_.emplace(number, true);
        if (isNew) return;
        if (entry->second) throw CPdfException("Page tree refers back to one of its own ancestors");
        throw CPdfException("\nPage tree is damaged: object " + std::to_string(number) +
                            " appears in it more than once\n");
    }
    void leave(uint32_t number) {
        if (number != 0) nodes_[number] = false;
    }

private:
    std::unordered_map<uint32_t, bool> nodes_;
};

}  // namespace

CPdfPageTree::CPdfPageTree(CPdfXRef& xref) {
    const ObjectRef rootRef = xref.getRootRef();
    xref.fetch(rootRef.number, rootRef.generation, catalog_);
    if (!catalog_.is(kindDictionary)) throw CPdfException("Catalog object is wrong type");
    const CPdfDictionary& catalog = *catalog_.getDictionary();
    catalog.lookupUnresolved("Pages", rootStored_);
    rootStored_.fetch(catalog.getXRef(), root_);
    if (!root_.is(kindDictionary)) throw CPdfException("Top-level pages object is wrong type");
    CPdfElement count;
    root_.getDictionary()->lookup("Count", count);
    // Only a hint: the pages are the leaves the walk finds.
    count_ = count.isNumber() ? count.getNumber() : 0;
}

const CPdfDictionary& CPdfPageTree::getCatalog() const { return *catalog_.getDictionary(); }

const CPdfDictionary& CPdfPageTree::getRoot() const { return *root_.getDictionary(); }

void CPdfPageTree::walk(CPdfPageTreeVisitor& visitor, size_t maxNodes) const {
    NodeRegister nodes;
    std::vector<Frame> path;
    size_t kidsSeen = 0;
    const auto enter = [&](const CPdfDictionary& node, CPdfElement& kids, uint32_t number) {
        nodes.enter(number);
        visitor.enterNode(node);
        Frame frame;
        frame.kids = std::move(kids);
        frame.number = number;
        frame.findLowest();
        path.push_back(std::move(frame));
    };

    CPdfElement rootKids;
    getRoot().lookup("Kids", rootKids);
    if (!rootKids.is(kindArray)) throw CPdfException("Kids object is wrong type");
    enter(getRoot(), rootKids, numberOf(rootStored_));
    while (!path.empty()) {
        Frame& top = path.back();
        const CPdfArray& kids = *top.kids.getArray();
        if (top.next >= kids.getLength()) {
            nodes.leave(top.number);
            path.pop_back();
            visitor.leaveNode();
            continue;
        }
        if (++kidsSeen > maxNodes) throw CPdfException("Page tree has too many nodes");
        const CPdfElement& stored = kids.at(top.next++);
        CPdfElement kid;
        stored.fetch(kids.getXRef(), kid);
        if (!kid.is(kindDictionary)) throw CPdfException("Kid object is wrong type");
        const CPdfDictionary& dictionary = *kid.getDictionary();
        CPdfElement grandKids;
        dictionary.lookup("Kids", grandKids);
        if (!grandKids.is(kindArray)) {
            if (!visitor.visitPage(kid, stored)) return;
            visitor.siblingsAheadFrom(top.lowestFrom[static_cast<size_t>(top.next)]);
            continue;
        }
        // The root is level 0.
        if (path.size() > kMaxDepth) throw CPdfException("Page tree is nested too deeply");
        enter(dictionary, grandKids, numberOf(stored));
    }
}
