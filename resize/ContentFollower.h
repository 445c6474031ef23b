#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "resize/PageRecord.h"
#include "resize/PageTransform.h"
#include "resize/RewriteSupport.h"

class CPdfDictionary;
class CPdfElement;
class DictionaryScanner;
struct ResizeJob;

// Everything in a document that points at a place on a page and lies outside the page's own
// object: destinations (of outline items, links, actions and their Next chains, the catalog's
// Dests and OpenAction, the Dests name tree), viewports and article beads. Each place follows the
// content of the page it names. One follower lives for a job: it knows every rewritten page's
// transform, walks what the pages and the catalog refer to with a visited set (so that loops in
// chains and trees end), and writes each object it changes once, with all its edits.
class ContentFollower {
public:
    // What a value is, which tells what in it can point at a page.
    enum class Holder {
        annotation,        // its Dest and A (geometry is the annotation scaler's)
        action,            // GoTo's D, and Next
        actionList,        // a Next value: one action or an array of them
        destination,       // an explicit destination array
        namedDestination,  // a value of the Dests dictionary or name tree: an array, or a dictionary with D
        outlineRoot,
        outlineItem,
        namesDictionary,
        nameTreeNode,
        nameTreeKids,
        nameTreeNames,
        destsDictionary,
        catalog,
        threadList,
        thread,
        bead,
        viewports,  // a page's VP array
        viewport,
    };

    explicit ContentFollower(ResizeJob& job);

    // A page that is rewritten with `transform`; a page object listed twice keeps the later transform,
    // as its later rewrite is the one the output refers to.
    void addPage(const PageRecord& record, const PageTransform& transform);
    // The transform of the page `reference` names, or null when it names no rewritten page.
    const PageTransform* transformOf(const CPdfElement& reference) const;

    // Adds to `edits` the changes that the direct value at `position` of `scanner`'s text (`value`,
    // parsed) needs as a `holder`; objects it refers to are queued and written by finish().
    // `page` is the transform of the page the value belongs to (viewports), or null.
    void visit(Holder holder, const CPdfElement& value, const DictionaryScanner& scanner, size_t position,
               const PageTransform* page, std::vector<TextEdit>& edits, int depth = 0);

    // Whether this follower, or the page rewrite for it, already wrote the object; marks it written.
    bool claim(uint32_t objectNumber);
    bool isClaimed(uint32_t objectNumber) const { return written_.count(objectNumber) != 0; }

    // Who an annotation object belongs to: the first page (in page order) that lists it, unless a page
    // that is not rewritten lists it too: such a page keeps its annotations as they are (`kept`).
    struct AnnotationOwner {
        PageTransform transform;
        bool kept = false;
    };
    // Before the pages are rewritten: gives every listed annotation its owner, and names once each
    // one that cannot be copied (a form field's widget, or any annotation of an encrypted file, whose
    // strings are encrypted for its own number) on pages resized differently.
    void planAnnotations(const std::vector<PageRecord>& records);
    // Null for an annotation that no page lists.
    const AnnotationOwner* annotationOwner(uint32_t objectNumber) const;
    // Whether the object can be copied for a page: a dictionary that is no widget, in a plain file.
    bool copyable(uint32_t objectNumber);
    // True the first time an object is named in a message, so that each is named once.
    bool firstNote(uint32_t objectNumber) { return noted_.insert(objectNumber).second; }
    // Annots array objects already used by a rewritten page.
    bool claimAnnotsArray(uint32_t objectNumber) { return annotsArrays_.insert(objectNumber).second; }

    // After the pages: walks the catalog (`root`) and the annotations of the pages that are not
    // rewritten, then writes every queued object that needs a change.
    void finish(const ObjectRef& root, const std::vector<PageRecord>& records);

private:
    struct Queued {
        uint32_t objectNumber;
        uint32_t generation;
        Holder holder;
        const PageTransform* page;
    };

    void queue(const CPdfElement& reference, Holder holder, const PageTransform* page);
    void writeQueued();
    void visitDictionary(Holder holder, const CPdfDictionary& dictionary, const DictionaryScanner& scanner,
                         size_t position, const PageTransform* page, std::vector<TextEdit>& edits, int depth);
    void visitArray(Holder holder, const CPdfElement& value, const DictionaryScanner& scanner, size_t position,
                    const PageTransform* page, std::vector<TextEdit>& edits, int depth);
    // The entry `key` of the direct dictionary at `position`, visited as `holder`.
    void visitEntry(const char* key, Holder holder, const CPdfDictionary& dictionary, const DictionaryScanner& scanner,
                    size_t position, const PageTransform* page, std::vector<TextEdit>& edits, int depth);
    void destinationEdits(const CPdfElement& value, const DictionaryScanner& scanner, size_t position,
                          std::vector<TextEdit>& edits) const;
    void boxEdit(const char* key, const CPdfDictionary& dictionary, const DictionaryScanner& scanner,
                 size_t position, const PageTransform& transform, std::vector<TextEdit>& edits) const;

    struct PageEntry {
        uint32_t generation;
        PageTransform transform;
    };

    ResizeJob& job_;
    std::map<uint32_t, PageEntry> pages_;
    std::deque<Queued> queue_;
    std::set<uint32_t> visited_;
    std::set<uint32_t> written_;
    std::map<uint32_t, AnnotationOwner> annotationOwners_;
    std::set<uint32_t> annotsArrays_;
    std::set<uint32_t> noted_;
};

// Whether two transforms put every point of the content at the same place.
bool sameMapping(const PageTransform& a, const PageTransform& b);
