#include "resize/AnnotationScaler.h"

#include <cmath>
#include <cstring>
#include <set>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "resize/ContentFollower.h"
#include "resize/DictionaryScanner.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectText.h"
#include "resize/OutputWriter.h"
#include "resize/PageRewriter.h"
#include "resize/RawObjectReader.h"

namespace {

constexpr char kAnnotsKey[] = "/Annots";

// The entries of an annotation that hold places on its page.
struct GeometryKey {
    const char* name;
    CoordinateKind kind;
    bool pointLists;  // an array of point arrays
};

constexpr GeometryKey kGeometryKeys[] = {
    {"Rect", CoordinateKind::box, false},         {"QuadPoints", CoordinateKind::points, false},
    {"Vertices", CoordinateKind::points, false},  {"L", CoordinateKind::points, false},
    {"CL", CoordinateKind::points, false},        {"RD", CoordinateKind::distances, false},
    {"InkList", CoordinateKind::points, true},
};

// Border widths of annotations drawn from their points scale as the content's lines do; under
// uneven factors a line's width depends on its direction, and the mean of the two stands for both.
double widthFactor(const PageTransform& transform) {
    return std::sqrt(transform.contentFactors.x * transform.contentFactors.y);
}

constexpr int32_t kBorderWidthIndex = 2;  // Border [horizontal-radius vertical-radius width ...]

// The edit of a non-zero width number standing at `range`, when `value` holds one.
bool widthEdit(const CPdfElement& value, const TextRange& range, double factor, TextEdit& edit) {
    if (!value.isNumber() || value.getNumber() == 0) return false;
    const double width = value.getNumber() * factor;
    if (!std::isfinite(width)) return false;
    edit = TextEdit{range.first, range.last, formatScaleNumber(width)};
    return true;
}

bool hasDirectDictionary(const CPdfArray& array) {
    for (int32_t i = 0; i < array.getLength(); ++i) {
        if (array.at(i).is(kindDictionary)) return true;
    }
    return false;
}

bool nameEntryIs(const CPdfElement& dictionary, const char* key, const char* name) {
    if (!dictionary.is(kindDictionary)) return false;
    CPdfElement value;
    dictionary.getDictionary()->lookup(key, value);
    return value.is(kindName) && std::strcmp(value.getName(), name) == 0;
}

uint32_t referenceNumber(const CPdfElement& element) {
    return element.is(kindReference) && element.getRefNumber() > 0 ? static_cast<uint32_t>(element.getRefNumber()) : 0;
}

std::string referenceText(uint32_t objectNumber, uint32_t generation) {
    return formatInteger(objectNumber) + " " + formatInteger(generation) + " R";
}

}  // namespace

AnnotationScaler::AnnotationScaler(ResizeJob& job, const PageTransform& transform, uint32_t pageObjectNumber)
    : job_(job), transform_(transform), pageObjectNumber_(pageObjectNumber) {}

void AnnotationScaler::annotationEdits(const DictionaryScanner& scanner, size_t dictionaryOpen,
                                       const CPdfElement& annotation, const NumberOwner& owner,
                                       std::vector<TextEdit>& edits) const {
    if (!annotation.is(kindDictionary)) return;
    const CPdfDictionary& dictionary = *annotation.getDictionary();
    for (const GeometryKey& key : kGeometryKeys) {
        TextEntry entry;
        if (!scanner.findKey(dictionaryOpen, std::string("/") + key.name, entry)) continue;
        CPdfElement value;
        dictionary.lookup(key.name, value);
        std::string inside;
        const bool mapped = key.pointLists ? mappedPointLists(value, transform_, owner, inside)
                                           : mappedNumbers(value, key.kind, transform_, owner, inside);
        if (mapped) edits.push_back(entryArrayEdit(scanner, entry, inside));
    }
    borderWidthEdits(scanner, dictionaryOpen, dictionary, edits);
    if (job_.follower) {
        job_.follower->visit(ContentFollower::Holder::annotation, annotation, scanner, dictionaryOpen, &transform_,
                             edits);
    }
}

void AnnotationScaler::borderWidthEdits(const DictionaryScanner& scanner, size_t dictionaryOpen,
                                        const CPdfDictionary& annotation, std::vector<TextEdit>& edits) const {
    const double factor = widthFactor(transform_);
    TextEntry entry;
    TextEdit edit;
    CPdfElement style, border;
    annotation.lookupUnresolved("BS", style);
    if (style.is(kindDictionary) && scanner.findKey(dictionaryOpen, "/BS", entry) &&
        scanner.isDictionaryAt(entry.valueFirst)) {
        TextEntry width;
        const CPdfElement* value = style.getDictionary()->find("W");
        if (value && scanner.findKey(entry.valueFirst, "/W", width) &&
            widthEdit(*value, {width.valueFirst, width.valueLast}, factor, edit)) {
            edits.push_back(edit);
        }
    }
    annotation.lookupUnresolved("Border", border);
    if (!border.is(kindArray) || border.getArray()->getLength() <= kBorderWidthIndex ||
        !scanner.findKey(dictionaryOpen, "/Border", entry) || !scanner.isArrayAt(entry.valueFirst)) {
        return;
    }
    const std::vector<TextRange> elements = scanner.arrayElements(entry.valueFirst);
    if (elements.size() == static_cast<size_t>(border.getArray()->getLength()) &&
        widthEdit(border.getArray()->at(kBorderWidthIndex), elements[kBorderWidthIndex], factor, edit)) {
        edits.push_back(edit);
    }
}

void AnnotationScaler::scaleAnnotations(const CPdfDictionary& page, ObjectText& pageText) {
    CPdfElement annots;
    page.lookup("Annots", annots);
    if (!annots.is(kindArray) || annots.getArray()->getLength() == 0) return;
    const CPdfArray& annotations = *annots.getArray();
    const Copies copies = planCopies(annotations);
    CPdfElement unresolved;
    page.lookupUnresolved("Annots", unresolved);
    // An array object that an earlier page lists too keeps that page's annotations: this page gets its own.
    const uint32_t arrayNumber = referenceNumber(unresolved);
    const bool sharedArray = job_.follower && arrayNumber != 0 && !job_.follower->claimAnnotsArray(arrayNumber);
    std::set<uint32_t> done;
    for (int32_t i = 0; i < annotations.getLength(); ++i) {
        const uint32_t number = referenceNumber(annotations.at(i));
        if (number == 0 || copies.count(number) != 0 || !done.insert(number).second) continue;
        if (ContentFollower* follower = job_.follower) {
            // Written by an earlier page, or left to a page of its own, or to a page that stays.
            if (!ownsAnnotation(number) || !follower->claim(number)) continue;
        }
        CPdfElement annotation;
        annotations.get(i, annotation);
        rewriteAnnotationObject(number, annotation);
    }
    for (const auto& [number, copy] : copies) writeCopy(number, copy, copies);
    if (!copies.empty() || hasDirectDictionary(annotations)) {
        editAnnotsArray(unresolved, annotations, copies, sharedArray, pageText);
    }
}

void AnnotationScaler::rewriteAnnotationObject(uint32_t objectNumber, const CPdfElement& annotation) {
    std::string raw;
    if (!job_.reader.readRawObject(objectNumber, raw)) return;
    ObjectText text(std::move(raw));
    std::vector<TextEdit> edits;
    {
        const DictionaryScanner scanner(text.bytes());
        const size_t dictionary = scanner.objectDictionary();
        if (dictionary != DictionaryScanner::npos) {
            annotationEdits(scanner, dictionary, annotation, NumberOwner{"annotation", objectNumber}, edits);
        }
    }
    applyEdits(text, std::move(edits));
    // Every annotation of the page is written again, changed or not.
    writeObjectAgain(job_, objectNumber, text.bytes());
}

bool AnnotationScaler::ownsAnnotation(uint32_t objectNumber) const {
    const ContentFollower::AnnotationOwner* owner = job_.follower->annotationOwner(objectNumber);
    return !owner || (!owner->kept && sameMapping(owner->transform, transform_));
}

AnnotationScaler::Copies AnnotationScaler::planCopies(const CPdfArray& annotations) {
    Copies copies;
    ContentFollower* follower = job_.follower;
    if (!follower) return copies;
    std::set<uint32_t> listed;
    for (int32_t i = 0; i < annotations.getLength(); ++i) listed.insert(referenceNumber(annotations.at(i)));
    std::vector<uint32_t> pending;
    auto consider = [&](uint32_t number, bool listedHere) {
        if (number == 0 || copies.count(number) != 0 || (listedHere && ownsAnnotation(number))) return;
        if (!follower->copyable(number)) return;
        copies[number] = 0;
        pending.push_back(number);
    };
    for (int32_t i = 0; i < annotations.getLength(); ++i) consider(referenceNumber(annotations.at(i)), true);
    // A popup and the annotation it belongs to go together.
    while (!pending.empty()) {
        const uint32_t number = pending.back();
        pending.pop_back();
        CPdfElement annotation;
        job_.xref.fetch(static_cast<int32_t>(number), fetchGeneration(job_.entries, number), annotation);
        CPdfElement popup, parent;
        annotation.getDictionary()->lookupUnresolved("Popup", popup);
        const uint32_t popupNumber = referenceNumber(popup);
        consider(popupNumber, listed.count(popupNumber) != 0);
        if (nameEntryIs(annotation, "Subtype", "Popup")) {
            annotation.getDictionary()->lookupUnresolved("Parent", parent);
            const uint32_t parentNumber = referenceNumber(parent);
            consider(parentNumber, listed.count(parentNumber) != 0);
        }
    }
    for (auto& [number, copy] : copies) copy = job_.output.appendOutputEntry(OutputEntry{});
    return copies;
}

void AnnotationScaler::writeCopy(uint32_t objectNumber, uint32_t copyNumber, const Copies& copies) {
    std::string raw;
    CPdfElement annotation;
    job_.xref.fetch(static_cast<int32_t>(objectNumber), fetchGeneration(job_.entries, objectNumber), annotation);
    if (!annotation.is(kindDictionary) || !job_.reader.readRawObject(objectNumber, raw)) return;
    ObjectText text(std::move(raw));
    std::vector<TextEdit> edits;
    {
        const DictionaryScanner scanner(text.bytes());
        const size_t dictionary = scanner.objectDictionary();
        TextRange header;
        if (dictionary == DictionaryScanner::npos || !scanner.objectHeader(header)) return;
        edits.push_back(TextEdit{header.first, header.last, formatInteger(copyNumber) + " 0"});
        annotationEdits(scanner, dictionary, annotation, NumberOwner{"annotation", objectNumber}, edits);
        // The copy belongs to this page, and to the copies of its popup or parent.
        for (const char* key : {"Popup", "Parent", "P"}) {
            TextEntry entry;
            CPdfElement value;
            annotation.getDictionary()->lookupUnresolved(key, value);
            if (!value.is(kindReference) || !scanner.findKey(dictionary, std::string("/") + key, entry) ||
                !scanner.isReference(entry.valueFirst, entry.valueLast)) {
                continue;
            }
            const auto copied = copies.find(referenceNumber(value));
            if (std::strcmp(key, "P") == 0) {
                const uint32_t generation = fetchGeneration(job_.entries, pageObjectNumber_);
                edits.push_back(TextEdit{entry.valueFirst, entry.valueLast, referenceText(pageObjectNumber_, generation)});
            } else if (copied != copies.end()) {
                edits.push_back(TextEdit{entry.valueFirst, entry.valueLast, referenceText(copied->second, 0)});
            }
        }
    }
    applyEdits(text, std::move(edits));
    job_.output.setOutputEntry(copyNumber, 0, job_.output.position(), true);
    job_.output.write(text.bytes());
}

std::vector<TextEdit> AnnotationScaler::annotsArrayEdits(const DictionaryScanner& scanner, size_t arrayOpen,
                                                         const CPdfArray& annotations, const Copies& copies,
                                                         const NumberOwner& owner) const {
    std::vector<TextEdit> edits;
    const std::vector<TextRange> elements = scanner.arrayElements(arrayOpen);
    // Text and parsed array must agree element for element, or no element is known for sure.
    if (elements.size() != static_cast<size_t>(annotations.getLength())) return edits;
    for (int32_t i = 0; i < annotations.getLength(); ++i) {
        const TextRange& range = elements[static_cast<size_t>(i)];
        const CPdfElement& element = annotations.at(i);
        const auto copied = copies.find(referenceNumber(element));
        if (copied != copies.end()) {
            edits.push_back(TextEdit{range.first, range.last, referenceText(copied->second, 0)});
        } else if (element.is(kindDictionary) && scanner.isDictionaryAt(range.first)) {
            annotationEdits(scanner, range.first, element, owner, edits);
        }
    }
    return edits;
}

void AnnotationScaler::editAnnotsArray(const CPdfElement& annots, const CPdfArray& annotations, const Copies& copies,
                                       bool shared, ObjectText& pageText) {
    if (annots.is(kindArray)) {  // the array stands in the page object, which is written later
        std::vector<TextEdit> edits;
        {
            const DictionaryScanner scanner(pageText.bytes());
            TextEntry entry;
            if (!scanner.findKey(kAnnotsKey, entry) || !scanner.isArrayAt(entry.valueFirst)) return;
            edits = annotsArrayEdits(scanner, entry.valueFirst, annotations, copies, NumberOwner{"page", pageObjectNumber_});
        }
        applyEdits(pageText, std::move(edits));
        return;
    }
    const uint32_t arrayNumber = referenceNumber(annots);
    if (arrayNumber == 0) return;
    std::string raw;
    if (!job_.reader.readRawObject(arrayNumber, raw)) return;
    ObjectText arrayText(std::move(raw));
    std::vector<TextEdit> edits;
    uint32_t copyNumber = 0;
    {
        const DictionaryScanner scanner(arrayText.bytes());
        const size_t value = scanner.objectValue();
        if (value == DictionaryScanner::npos || !scanner.isArrayAt(value)) return;
        edits = annotsArrayEdits(scanner, value, annotations, copies, NumberOwner{"Annots array", arrayNumber});
        TextRange header;
        if (edits.empty() || (shared && !scanner.objectHeader(header))) return;
        if (shared) {
            copyNumber = job_.output.appendOutputEntry(OutputEntry{});
            edits.push_back(TextEdit{header.first, header.last, formatInteger(copyNumber) + " 0"});
        }
    }
    applyEdits(arrayText, std::move(edits));
    if (!shared) {
        writeObjectAgain(job_, arrayNumber, arrayText.bytes());
        return;
    }
    job_.output.setOutputEntry(copyNumber, 0, job_.output.position(), true);
    job_.output.write(arrayText.bytes());
    TextEdit pageEdit;
    {
        const DictionaryScanner scanner(pageText.bytes());
        TextEntry entry;
        if (!scanner.findKey(kAnnotsKey, entry) || !scanner.isReference(entry.valueFirst, entry.valueLast)) return;
        pageEdit = TextEdit{entry.valueFirst, entry.valueLast, referenceText(copyNumber, 0)};
    }
    pageText.replaceText(pageEdit.first, pageEdit.last, pageEdit.text);
}
