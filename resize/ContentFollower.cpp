#include "resize/ContentFollower.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/syntax/SyntaxDecoders.h"
#include "resize/CoordinateText.h"
#include "resize/DictionaryScanner.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectText.h"
#include "resize/PageRewriter.h"
#include "resize/RawObjectReader.h"

namespace {

// Direct values nest deeper than this only in damaged or hostile files; chains of objects are
// bounded by the visited set instead.
constexpr int kMaxNesting = 32;

// Where the numbers of each kind of explicit destination stand (ISO 32000-1, 12.3.2.2): the
// index of each number and whether it is an x (else a y) coordinate.
struct DestinationNumber {
    int32_t index;
    bool x;
};

struct DestinationKind {
    const char* name;
    std::vector<DestinationNumber> numbers;
};

const std::vector<DestinationKind>& destinationKinds() {
    static const std::vector<DestinationKind> kinds = {
        {"XYZ", {{2, true}, {3, false}}},
        {"FitH", {{2, false}}},
        {"FitBH", {{2, false}}},
        {"FitV", {{2, true}}},
        {"FitBV", {{2, true}}},
        {"FitR", {{2, true}, {3, false}, {4, true}, {5, false}}},
    };
    return kinds;
}

bool nameIs(const CPdfElement& element, const char* name) {
    return element.is(kindName) && std::strcmp(element.getName(), name) == 0;
}

std::string keyOf(const char* key) { return std::string("/") + key; }

}  // namespace

bool sameMapping(const PageTransform& a, const PageTransform& b) {
    return a.contentFactors.x == b.contentFactors.x && a.contentFactors.y == b.contentFactors.y &&
           a.contentShiftX == b.contentShiftX && a.contentShiftY == b.contentShiftY;
}

ContentFollower::ContentFollower(ResizeJob& job) : job_(job) {}

void ContentFollower::addPage(const PageRecord& record, const PageTransform& transform) {
    pages_[record.objectNumber] = PageEntry{fetchGeneration(job_.entries, record.objectNumber), transform};
}

const PageTransform* ContentFollower::transformOf(const CPdfElement& reference) const {
    if (!reference.is(kindReference) || reference.getRefNumber() < 0) return nullptr;
    const auto found = pages_.find(static_cast<uint32_t>(reference.getRefNumber()));
    if (found == pages_.end() || found->second.generation != reference.getRefGeneration()) return nullptr;
    return &found->second.transform;
}

bool ContentFollower::claim(uint32_t objectNumber) { return written_.insert(objectNumber).second; }

const ContentFollower::AnnotationOwner* ContentFollower::annotationOwner(uint32_t objectNumber) const {
    const auto found = annotationOwners_.find(objectNumber);
    return found == annotationOwners_.end() ? nullptr : &found->second;
}

bool ContentFollower::copyable(uint32_t objectNumber) {
    if (job_.encryption) return false;
    CPdfElement annotation;
    job_.xref.fetch(static_cast<int32_t>(objectNumber), fetchGeneration(job_.entries, objectNumber), annotation);
    if (!annotation.is(kindDictionary)) return false;
    CPdfElement subtype;
    annotation.getDictionary()->lookup("Subtype", subtype);
    return !nameIs(subtype, "Widget");
}

void ContentFollower::planAnnotations(const std::vector<PageRecord>& records) {
    if (pages_.empty()) return;  // nothing moves
    for (const PageRecord& record : records) {
        if (!record.filled) continue;
        const auto page = pages_.find(record.objectNumber);
        AnnotationOwner owner;
        owner.kept = page == pages_.end();
        if (!owner.kept) owner.transform = page->second.transform;
        // An Annots array object of a page that stays stays too: a resized page that shares it takes a copy.
        if (owner.kept && record.annotsArrayNumber != 0) annotsArrays_.insert(record.annotsArrayNumber);
        for (const uint32_t number : record.annotations) {
            const auto found = annotationOwners_.emplace(number, owner);
            AnnotationOwner& first = found.first->second;
            if (found.second || (first.kept == owner.kept && sameMapping(first.transform, owner.transform))) continue;
            // A page that stays keeps its annotations as they are, whichever page lists them first.
            if (owner.kept) first = owner;
            if (!copyable(number) && firstNote(number)) {
                std::printf("Warning: annotation object %u is on pages resized differently and cannot be copied "
                            "(a form field, or an encrypted file): it follows the first of them, or one left as "
                            "it is\n",
                            number);
            }
        }
    }
}

void ContentFollower::queue(const CPdfElement& reference, Holder holder, const PageTransform* page) {
    if (reference.getRefNumber() <= 0) return;
    const uint32_t number = static_cast<uint32_t>(reference.getRefNumber());
    if (visited_.count(number) != 0) return;
    queue_.push_back(Queued{number, reference.getRefGeneration(), holder, page});
}

void ContentFollower::visit(Holder holder, const CPdfElement& value, const DictionaryScanner& scanner,
                            size_t position, const PageTransform* page, std::vector<TextEdit>& edits, int depth) {
    if (depth > kMaxNesting) return;
    if (value.is(kindReference)) {
        queue(value, holder, page);
        return;
    }
    if (value.is(kindDictionary) && scanner.isDictionaryAt(position)) {
        visitDictionary(holder, *value.getDictionary(), scanner, position, page, edits, depth);
    } else if (value.is(kindArray) && scanner.isArrayAt(position)) {
        visitArray(holder, value, scanner, position, page, edits, depth);
    }
}

void ContentFollower::visitEntry(const char* key, Holder holder, const CPdfDictionary& dictionary,
                                 const DictionaryScanner& scanner, size_t position, const PageTransform* page,
                                 std::vector<TextEdit>& edits, int depth) {
    CPdfElement value;
    dictionary.lookupUnresolved(key, value);
    if (value.is(kindNull)) return;
    TextEntry entry;
    if (!scanner.findKey(position, keyOf(key), entry) || entry.valueFirst == entry.valueLast) return;
    visit(holder, value, scanner, entry.valueFirst, page, edits, depth + 1);
}

void ContentFollower::visitDictionary(Holder holder, const CPdfDictionary& dictionary, const DictionaryScanner& scanner,
                                      size_t position, const PageTransform* page, std::vector<TextEdit>& edits,
                                      int depth) {
    auto entry = [&](const char* key, Holder as) {
        visitEntry(key, as, dictionary, scanner, position, page, edits, depth);
    };
    switch (holder) {
        case Holder::annotation:
            entry("Dest", Holder::destination);
            entry("A", Holder::action);
            return;
        case Holder::action:
        case Holder::actionList: {
            CPdfElement kind;
            dictionary.lookup("S", kind);
            if (nameIs(kind, "GoTo")) entry("D", Holder::destination);
            entry("Next", Holder::actionList);
            return;
        }
        case Holder::namedDestination:
            entry("D", Holder::destination);
            return;
        case Holder::outlineRoot:
            entry("First", Holder::outlineItem);
            return;
        case Holder::outlineItem:
            entry("Dest", Holder::destination);
            entry("A", Holder::action);
            entry("First", Holder::outlineItem);
            entry("Next", Holder::outlineItem);
            return;
        case Holder::namesDictionary:
            entry("Dests", Holder::nameTreeNode);
            return;
        case Holder::nameTreeNode:
            entry("Kids", Holder::nameTreeKids);
            entry("Names", Holder::nameTreeNames);
            return;
        case Holder::destsDictionary: {
            // One walk over the text: such a dictionary may name thousands of destinations.
            std::set<std::string> seen;
            for (const TextEntry& named : scanner.entries(position)) {
                const std::string_view key = scanner.text().substr(named.keyFirst + 1, named.keyLast - named.keyFirst - 1);
                const std::string name = decodeName(key);
                CPdfElement value;
                dictionary.lookupUnresolved(name.c_str(), value);
                // The first of two equal keys is the one the dictionary holds.
                if (!seen.insert(name).second || value.is(kindNull) || named.valueFirst == named.valueLast) continue;
                visit(Holder::namedDestination, value, scanner, named.valueFirst, page, edits, depth + 1);
            }
            return;
        }
        case Holder::catalog: {
            CPdfElement openAction;
            dictionary.lookup("OpenAction", openAction);
            entry("OpenAction", openAction.is(kindArray) ? Holder::destination : Holder::action);
            entry("Outlines", Holder::outlineRoot);
            entry("Dests", Holder::destsDictionary);
            entry("Names", Holder::namesDictionary);
            entry("Threads", Holder::threadList);
            return;
        }
        case Holder::thread:
            entry("F", Holder::bead);
            return;
        case Holder::bead: {
            CPdfElement pageReference;
            dictionary.lookupUnresolved("P", pageReference);
            if (const PageTransform* transform = transformOf(pageReference)) {
                boxEdit("R", dictionary, scanner, position, *transform, edits);
            }
            entry("N", Holder::bead);
            return;
        }
        case Holder::viewport:
            if (page) boxEdit("BBox", dictionary, scanner, position, *page, edits);
            return;
        default:
            return;
    }
}

void ContentFollower::visitArray(Holder holder, const CPdfElement& value, const DictionaryScanner& scanner,
                                 size_t position, const PageTransform* page, std::vector<TextEdit>& edits, int depth) {
    if (holder == Holder::destination || holder == Holder::namedDestination) {
        destinationEdits(value, scanner, position, edits);
        return;
    }
    const CPdfArray& array = *value.getArray();
    const std::vector<TextRange> elements = scanner.arrayElements(position);
    // Text and parsed array must agree element for element, or no element is known for sure.
    if (elements.size() != static_cast<size_t>(array.getLength())) return;
    for (int32_t i = 0; i < array.getLength(); ++i) {
        const size_t at = elements[static_cast<size_t>(i)].first;
        switch (holder) {
            case Holder::actionList: visit(Holder::action, array.at(i), scanner, at, page, edits, depth + 1); break;
            case Holder::threadList: visit(Holder::thread, array.at(i), scanner, at, page, edits, depth + 1); break;
            case Holder::viewports: visit(Holder::viewport, array.at(i), scanner, at, page, edits, depth + 1); break;
            case Holder::nameTreeKids: visit(Holder::nameTreeNode, array.at(i), scanner, at, page, edits, depth + 1); break;
            case Holder::nameTreeNames:  // keys and values alternate
                if (i % 2 == 1) visit(Holder::namedDestination, array.at(i), scanner, at, page, edits, depth + 1);
                break;
            default: return;
        }
    }
}

void ContentFollower::destinationEdits(const CPdfElement& value, const DictionaryScanner& scanner, size_t position,
                                       std::vector<TextEdit>& edits) const {
    const CPdfArray& array = *value.getArray();
    if (array.getLength() < 2) return;
    // Page numbers instead of references name pages of other documents.
    const PageTransform* transform = transformOf(array.at(0));
    if (!transform) return;
    const CPdfElement& kindName = array.at(1);
    const DestinationKind* kind = nullptr;
    for (const DestinationKind& candidate : destinationKinds()) {
        if (nameIs(kindName, candidate.name)) kind = &candidate;
    }
    if (!kind) return;  // Fit and FitB name no place; anything else is no destination
    const std::vector<TextRange> elements = scanner.arrayElements(position);
    if (elements.size() != static_cast<size_t>(array.getLength())) return;
    for (const DestinationNumber& number : kind->numbers) {
        // A null keeps the viewer's current value, and stays.
        if (number.index >= array.getLength() || !array.at(number.index).isNumber()) continue;
        const double input = array.at(number.index).getNumber();
        const double mapped = number.x ? transform->contentX(input) : transform->contentY(input);
        if (!std::isfinite(mapped)) continue;  // a damaged destination stays as it is
        const TextRange& range = elements[static_cast<size_t>(number.index)];
        edits.push_back(TextEdit{range.first, range.last, formatScaleNumber(mapped)});
    }
}

void ContentFollower::boxEdit(const char* key, const CPdfDictionary& dictionary, const DictionaryScanner& scanner,
                              size_t position, const PageTransform& transform, std::vector<TextEdit>& edits) const {
    TextEntry entry;
    if (!scanner.findKey(position, keyOf(key), entry)) return;
    CPdfElement box;
    dictionary.lookup(key, box);
    std::string inside;
    try {
        if (!mappedNumbers(box, CoordinateKind::box, transform, NumberOwner{"viewport or bead", 0}, inside)) return;
    } catch (const CPdfException&) {
        return;  // numbers out of range are damage, left as they are
    }
    edits.push_back(entryArrayEdit(scanner, entry, inside));
}

void ContentFollower::finish(const ObjectRef& root, const std::vector<PageRecord>& records) {
    if (pages_.empty()) return;  // nothing points at a place that moved
    // Links on pages that stay as they are may still point at pages that change.
    for (const PageRecord& record : records) {
        if (!record.filled || record.selected || pages_.count(record.objectNumber) != 0) continue;
        try {
            CPdfElement page;
            job_.xref.fetch(static_cast<int32_t>(record.objectNumber), fetchGeneration(job_.entries, record.objectNumber),
                            page);
            if (!page.is(kindDictionary)) continue;
            CPdfElement annotations;
            page.getDictionary()->lookup("Annots", annotations);
            if (!annotations.is(kindArray)) continue;
            // Annotations written in the page object itself would change that page: they stay.
            for (int32_t i = 0; i < annotations.getArray()->getLength(); ++i) {
                const CPdfElement& annotation = annotations.getArray()->at(i);
                if (annotation.is(kindReference)) queue(annotation, Holder::annotation, nullptr);
            }
        } catch (const CPdfException&) {
            // A page that cannot be read has no links to follow.
        }
    }
    if (root.number > 0) {
        CPdfElement catalog;
        catalog.initReference(root.number, root.generation);
        queue(catalog, Holder::catalog, nullptr);
    }
    writeQueued();
}

void ContentFollower::writeQueued() {
    while (!queue_.empty()) {
        const Queued next = queue_.front();
        queue_.pop_front();
        if (!visited_.insert(next.objectNumber).second || isClaimed(next.objectNumber)) continue;
        std::vector<TextEdit> edits;
        std::string raw;
        try {
            CPdfElement value;
            job_.xref.fetch(static_cast<int32_t>(next.objectNumber), next.generation, value);
            if (!job_.reader.readRawObject(next.objectNumber, raw)) continue;
            const DictionaryScanner scanner(raw);
            const size_t position = scanner.objectValue();
            if (position == DictionaryScanner::npos) continue;
            visit(next.holder, value, scanner, position, next.page, edits);
        } catch (const CPdfException&) {
            // Damage in these structures is left as it is: the object stays as copied.
            continue;
        }
        if (edits.empty()) continue;
        ObjectText text(std::move(raw));
        applyEdits(text, std::move(edits));
        claim(next.objectNumber);
        writeObjectAgain(job_, next.objectNumber, text.bytes());
    }
}
