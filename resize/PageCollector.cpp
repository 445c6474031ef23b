#include "resize/PageCollector.h"

#include <algorithm>
#include <string>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/xref/PdfXRef.h"

namespace {

constexpr const char* kBoxKeys[] = {"MediaBox", "CropBox", "BleedBox", "TrimBox", "ArtBox"};
// US Letter in points: the box of a page that neither it nor an ancestor gives.
constexpr PageBox kDefaultBox = {0, 0, 612, 792};
constexpr int32_t kBoxNumbers = 4;
// Records reserved before the walk at most (about 11 MB).
constexpr size_t kReservedRecords = size_t{1} << 16;
// The records of a document with at most this many pages keep each page's parsed dictionary for
// the rewrite (about 1.3 kB each), so that its pages are read once. Larger documents keep none:
// their memory stays what it was, and every page costs the same.
constexpr size_t kKeptPages = 2048;

}  // namespace

PageCollector::PageCollector(size_t maxPages, PageWalkObserver* observer) : maxPages_(maxPages), observer_(observer) {
    Boxes defaults;
    for (PageBox& box : defaults.box) box = kDefaultBox;
    inherited_.push_back(defaults);
}

CollectedPages PageCollector::collect(CPdfXRef& xref, PageWalkObserver* observer) {
    const CPdfPageTree tree(xref);
    // /Count is often wrong in files that viewers open: the pages the tree holds are the pages.
    // Each is an object of the file, so a tree that lists more than there are objects is damage.
    PageCollector collector(xref.getEntries().size(), observer);
    // Reserved up front, the records are never copied to a larger block, which would hold the old
    // and the new block at once; the count only guides the reservation.
    const double count = tree.getCount();
    if (count > 0) collector.pages_.records.reserve(std::min<size_t>(static_cast<size_t>(
        std::min<double>(count, static_cast<double>(collector.maxPages_))), kReservedRecords));
    collector.keepsPages_ = count <= kKeptPages;
    tree.walk(collector);
    collector.pages_.pageCount = static_cast<uint32_t>(collector.pages_.records.size());
    return std::move(collector.pages_);
}

void PageCollector::enterNode(const CPdfDictionary& node) { inherited_.push_back(nodeBoxes(node, inherited_.back())); }

void PageCollector::leaveNode() { inherited_.pop_back(); }

bool PageCollector::visitPage(const CPdfElement& pageElement, const CPdfElement& stored) {
    const CPdfDictionary& page = *pageElement.getDictionary();
    const Boxes boxes = nodeBoxes(page, inherited_.back());
    std::vector<PageRecord>& records = pages_.records;
    records.emplace_back();
    PageRecord& record = records.back();
    // A page given as a direct dictionary has no object of its own to rewrite.
    record.filled = stored.is(kindReference);
    record.objectNumber = record.filled ? static_cast<uint32_t>(stored.getRefNumber()) : 0;
    if (keepsPages_) keepPage(pageElement);
    record.mediaBox = boxes.box[kMediaBox];
    record.cropBox = boxes.box[kCropBox];
    record.bleedBox = boxes.box[kBleedBox];
    record.trimBox = boxes.box[kTrimBox];
    record.artBox = boxes.box[kArtBox];
    record.hasCropBox = boxes.hasCropBox;
    record.rotate = boxes.rotate;
    CPdfElement userUnit;
    page.lookup("UserUnit", userUnit);
    if (userUnit.isNumber()) record.userUnit = userUnit.getNumber();
    CPdfElement contents;
    page.lookupUnresolved("Contents", contents);
    if (contents.is(kindReference) && contents.getRefNumber() > 0) {
        record.contentsNumber = static_cast<uint32_t>(contents.getRefNumber());
        record.contentsGeneration = static_cast<uint32_t>(contents.getRefGeneration());
    }
    readAnnotations(page, record);
    return records.size() < maxPages_;
}

void PageCollector::siblingsAheadFrom(uint32_t lowestNumber) {
    if (observer_ && !pages_.records.empty()) observer_->pageRecorded(pages_.records.back(), lowestNumber);
}

void PageCollector::keepPage(const CPdfElement& page) {
    std::vector<PageRecord>& records = pages_.records;
    if (records.size() <= kKeptPages) {
        if (records.back().filled) records.back().page = page;
        return;
    }
    // More pages than the root's /Count promised: none are kept after all.
    keepsPages_ = false;
    for (PageRecord& record : records) record.page = CPdfElement();
}

void PageCollector::readAnnotations(const CPdfDictionary& page, PageRecord& record) {
    CPdfElement arrayObject;
    page.lookupUnresolved("Annots", arrayObject);
    if (arrayObject.is(kindReference) && arrayObject.getRefNumber() > 0) {
        record.annotsArrayNumber = static_cast<uint32_t>(arrayObject.getRefNumber());
    }
    try {
        CPdfElement annotations;
        page.lookup("Annots", annotations);
        if (!annotations.is(kindArray)) return;
        const CPdfArray& array = *annotations.getArray();
        for (int32_t i = 0; i < array.getLength(); ++i) {
            const CPdfElement& reference = array.at(i);
            if (reference.is(kindReference) && reference.getRefNumber() > 0) {
                record.annotations.push_back(static_cast<uint32_t>(reference.getRefNumber()));
            }
        }
    } catch (const CPdfException&) {
        record.annotations.clear();  // a page whose annotations cannot be read lists none
    }
}

PageCollector::Boxes PageCollector::nodeBoxes(const CPdfDictionary& node, const Boxes& inherited) {
    Boxes boxes = inherited;
    for (int i = 0; i < kBoxCount; ++i) {
        CPdfElement value;
        node.lookup(kBoxKeys[i], value);
        if (!value.is(kindArray)) continue;
        boxes.box[i] = readBox(value);
        if (i == kCropBox) boxes.hasCropBox = true;
    }
    CPdfElement rotate;
    node.lookup("Rotate", rotate);
    if (rotate.isNumber()) boxes.rotate = rotate.getNumber();
    return boxes;
}

PageBox PageCollector::readBox(const CPdfElement& array) {
    double numbers[kBoxNumbers] = {0, 0, 0, 0};
    const CPdfArray& elements = *array.getArray();
    for (int32_t i = 0; i < elements.getLength() && i < kBoxNumbers; ++i) {
        CPdfElement element;
        elements.get(i, element);
        if (element.is(kindInteger) || element.is(kindReal)) numbers[i] = element.getNumber();
    }
    return PageBox{numbers[0], numbers[1], numbers[2], numbers[3]}.normalized();
}
