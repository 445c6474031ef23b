#include "resize/PageTreeWalker.h"

#include <algorithm>
#include <string>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"

namespace {

constexpr const char* kBoxKeys[] = {"MediaBox", "CropBox", "BleedBox", "TrimBox", "ArtBox"};
// US Letter in points: the box of a page that neither it nor an ancestor gives.
constexpr PageBox kDefaultBox = {0, 0, 612, 792};
constexpr int32_t kBoxNumbers = 4;
// Records reserved before the walk at most (about 11 MB).
constexpr size_t kReservedRecords = size_t{1} << 16;

}  // namespace

std::vector<PageRecord> PageTreeWalker::collect(ObjectRef root, uint32_t& pagesNumber) {
    CPdfElement catalog;
    xref_.fetch(root.number, root.generation, catalog);
    if (!catalog.is(kindDictionary)) throw CPdfException("Catalog object is wrong type");

    CPdfElement pagesReference;
    catalog.getDictionary()->lookupUnresolved("Pages", pagesReference);
    if (pagesReference.is(kindReference)) pagesNumber = static_cast<uint32_t>(pagesReference.getRefNumber());

    CPdfElement pages;
    catalog.getDictionary()->lookup("Pages", pages);
    if (!pages.is(kindDictionary)) throw CPdfException("Top-level pages object is wrong type");

    pageCount_ = pageCountOf(*pages.getDictionary(), xref_.getEntries().size());
    records_.clear();
    // Reserved up front, the records are never copied to a larger block, which would hold the old
    // and the new block at once; a huge /Count only reserves up to a cap and grows from there.
    records_.reserve(std::min<size_t>(pageCount_, kReservedRecords));
    stack_.clear();
    visitedNodes_.clear();

    visit(pages, pagesNumber, pagesReference.is(kindReference), defaultBoxes());
    // Depth first, kids in order: the leaves come in page order. Leaves past the count are not
    // recorded, so the walk may stop once the count is reached. Records are made as leaves are
    // found, so a /Count larger than the tree costs nothing.
    while (!stack_.empty() && records_.size() < pageCount_) {
        Frame& top = stack_.back();
        const CPdfArray* kids = top.kids.getArray();
        if (top.next >= kids->getLength()) {
            stack_.pop_back();
            continue;
        }
        const int32_t index = top.next++;
        const Boxes inherited = top.boxes;  // `top` does not survive a push
        CPdfElement kid;
        CPdfElement kidReference;
        kids->get(index, kid);
        kids->getUnresolved(index, kidReference);
        if (!kid.is(kindDictionary)) continue;
        const bool indirect = kidReference.is(kindReference);
        visit(kid, indirect ? static_cast<uint32_t>(kidReference.getRefNumber()) : 0, indirect, inherited);
    }
    stack_.clear();
    return std::move(records_);
}

uint32_t PageTreeWalker::pageCountOf(const CPdfDictionary& root, size_t entryCount) {
    CPdfElement count;
    root.lookup("Count", count);
    double value = 0;
    if (count.is(kindInteger) || count.is(kindReal)) value = count.getNumber();
    if (!(value > 0)) return 0;
    // Every page is an object of its own: a count beyond the objects of the file is damage,
    // and creating that many records could exhaust memory.
    if (value > static_cast<double>(entryCount)) {
        throw CPdfException("\nPage tree is damaged: its Count of " + std::to_string(static_cast<uint64_t>(value)) +
                            " pages is more than the file's " + std::to_string(entryCount) + " objects can hold\n");
    }
    return static_cast<uint32_t>(value);
}

void PageTreeWalker::visit(const CPdfElement& node, uint32_t number, bool indirect, const Boxes& inherited) {
    const CPdfDictionary& dictionary = *node.getDictionary();
    const Boxes boxes = nodeBoxes(dictionary, inherited);
    CPdfElement kids;
    dictionary.lookup("Kids", kids);
    // A node is a page exactly when it has no Kids array; its /Type is not looked at.
    if (!kids.is(kindArray)) {
        fillLeaf(dictionary, number, indirect, boxes);
        return;
    }
    if (stack_.size() >= kMaxDepth) {
        throw CPdfException("\nPage tree is damaged: it is nested more than " + std::to_string(kMaxDepth) +
                            " levels deep\n");
    }
    if (indirect && !visitedNodes_.insert(number).second) {
        throw CPdfException("\nPage tree is damaged: object " + std::to_string(number) +
                            " appears in it more than once\n");
    }
    Frame frame;
    frame.kids = std::move(kids);
    frame.boxes = boxes;
    stack_.push_back(std::move(frame));
}

void PageTreeWalker::fillLeaf(const CPdfDictionary& page, uint32_t number, bool indirect, const Boxes& boxes) {
    if (records_.size() >= pageCount_) return;
    records_.emplace_back();
    PageRecord& record = records_.back();
    record.objectNumber = number;
    record.mediaBox = boxes.box[kMediaBox];
    record.cropBox = boxes.box[kCropBox];
    record.bleedBox = boxes.box[kBleedBox];
    record.trimBox = boxes.box[kTrimBox];
    record.artBox = boxes.box[kArtBox];
    record.hasCropBox = boxes.hasCropBox;
    // A page given as a direct dictionary has no object of its own to rewrite.
    record.filled = indirect;
    CPdfElement contents;
    page.lookupUnresolved("Contents", contents);
    if (contents.is(kindReference) && contents.getRefNumber() > 0) {
        record.contentsNumber = static_cast<uint32_t>(contents.getRefNumber());
        record.contentsGeneration = static_cast<uint32_t>(contents.getRefGeneration());
    }
}

PageTreeWalker::Boxes PageTreeWalker::defaultBoxes() {
    Boxes boxes;
    for (PageBox& box : boxes.box) box = kDefaultBox;
    return boxes;
}

PageTreeWalker::Boxes PageTreeWalker::nodeBoxes(const CPdfDictionary& node, const Boxes& inherited) {
    Boxes boxes = inherited;
    for (int i = 0; i < kBoxCount; ++i) {
        CPdfElement value;
        node.lookup(kBoxKeys[i], value);
        if (!value.is(kindArray)) continue;
        boxes.box[i] = readBox(value);
        if (i == kCropBox) boxes.hasCropBox = true;
    }
    return boxes;
}

PageBox PageTreeWalker::readBox(const CPdfElement& array) {
    double numbers[kBoxNumbers] = {0, 0, 0, 0};
    const CPdfArray& elements = *array.getArray();
    for (int32_t i = 0; i < elements.getLength() && i < kBoxNumbers; ++i) {
        CPdfElement element;
        elements.get(i, element);
        if (element.is(kindInteger) || element.is(kindReal)) numbers[i] = element.getNumber();
    }
    return PageBox{numbers[0], numbers[1], numbers[2], numbers[3]}.normalized();
}
