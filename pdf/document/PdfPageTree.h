#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "pdf/objects/PdfElement.h"

class CPdfDictionary;
class CPdfXRef;

// What a walk of the page tree reports, in page order.
class CPdfPageTreeVisitor {
public:
    virtual ~CPdfPageTreeVisitor() = default;
    // An intermediate node (the root first), before its kids; leaveNode follows after them.
    virtual void enterNode(const CPdfDictionary& node) { (void)node; }
    virtual void leaveNode() {}
    // A page: `page` holds its dictionary, `stored` is the page as its parent's Kids array holds it
    // (a reference, or the dictionary itself). Returning false ends the walk.
    virtual bool visitPage(const CPdfElement& page, const CPdfElement& stored) = 0;
    // After each page: the lowest object number among its siblings still to be visited (0 when one
    // of them is direct; UINT32_MAX when none is left).
    virtual void siblingsAheadFrom(uint32_t lowestNumber) { (void)lowestNumber; }
};

// The document's page tree, from the catalog that the trailer's Root names. A node with a Kids
// array is an intermediate node; any other dictionary is a page, whatever its /Type says.
class CPdfPageTree {
public:
    // Bounds of the walk, so that a malformed or hostile tree cannot run for ever or exhaust
    // memory. Real documents stay far below both.
    static constexpr size_t kMaxDepth = 256;
    static constexpr size_t kMaxNodes = 1000000;

    // Reads the catalog and the root node; throws CPdfException when either is missing or
    // malformed, or when the root has no numeric /Count.
    explicit CPdfPageTree(CPdfXRef& xref);

    const CPdfDictionary& getCatalog() const;
    const CPdfDictionary& getRoot() const;
    // The catalog's /Pages as stored: a reference to the root, or the root itself.
    const CPdfElement& getRootStored() const { return rootStored_; }
    // The root's /Count, which only promises a number of pages.
    double getCount() const { return count_; }

    // Walks the tree depth first, kids in order. Throws on a tree that refers back to an ancestor,
    // holds a node twice, nests deeper than kMaxDepth, has more than `maxNodes` kids in all, or
    // lists a kid that is not a dictionary.
    void walk(CPdfPageTreeVisitor& visitor, size_t maxNodes = kMaxNodes) const;

private:
    CPdfElement catalog_;
    CPdfElement rootStored_;
    CPdfElement root_;
    double count_ = 0;
};
