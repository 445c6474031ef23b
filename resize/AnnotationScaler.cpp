#include "resize/AnnotationScaler.h"

#include <vector>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "resize/DictionaryScanner.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectText.h"
#include "resize/PageRecord.h"
#include "resize/PageRewriter.h"
#include "resize/RawObjectReader.h"

namespace {

constexpr char kRectKey[] = "/Rect";
constexpr char kAnnotsKey[] = "/Annots";

constexpr size_t kRectNumbers = 4;

// Indexes 0 and 2 of a rectangle are x coordinates.
bool isXIndex(size_t index) { return index == 0 || index == 2; }

bool hasDirectDictionary(const CPdfArray& array) {
    for (int32_t i = 0; i < array.getLength(); ++i) {
        if (array.at(i).is(kindDictionary)) return true;
    }
    return false;
}

}  // namespace

AnnotationScaler::AnnotationScaler(ResizeJob& job, const PageTransform& transform, uint32_t pageObjectNumber)
    : job_(job), factors_(transform.contentFactors), pageObjectNumber_(pageObjectNumber) {}

bool AnnotationScaler::scaledNumbers(const CPdfElement& rect, std::string& numbers, const char* what,
                                     uint32_t objectNumber) const {
    if (!rect.is(kindArray)) return false;
    const CPdfArray* array = rect.getArray();
    std::vector<double> values;
    for (int32_t i = 0; i < array->getLength(); ++i) {
        CPdfElement element;
        array->get(i, element);
        if (!element.isNumber()) return false;
        values.push_back(element.getNumber());
    }
    if (values.size() == kRectNumbers) {
        const PageBox corners = PageBox{values[0], values[1], values[2], values[3]}.normalized();
        values = {corners.x1, corners.y1, corners.x2, corners.y2};
    }
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        const double value = values[i] * (isXIndex(i) ? factors_.x : factors_.y);
        requireFinite(value, what, objectNumber);
        text += " " + formatScaleNumber(value) + " ";
    }
    numbers = std::move(text);
    return true;
}

bool AnnotationScaler::rectEdit(const DictionaryScanner& scanner, size_t dictionaryOpen,
                                const CPdfElement& annotation, const char* what, uint32_t objectNumber,
                                TextEdit& edit) const {
    if (!annotation.is(kindDictionary)) return false;
    TextEntry entry;
    if (!scanner.findKey(dictionaryOpen, kRectKey, entry)) return false;
    CPdfElement rect;
    annotation.getDictionary()->lookup("Rect", rect);
    std::string numbers;
    if (!scaledNumbers(rect, numbers, what, objectNumber)) return false;
    edit = entryArrayEdit(scanner, entry, numbers);
    return true;
}

void AnnotationScaler::scaleAnnotations(const CPdfDictionary& page, ObjectText& pageText) {
    CPdfElement annots;
    page.lookup("Annots", annots);
    if (!annots.is(kindArray) || annots.getArray()->getLength() == 0) return;
    const CPdfArray& annotations = *annots.getArray();
    for (int32_t i = 0; i < annotations.getLength(); ++i) {
        const CPdfElement& reference = annotations.at(i);
        if (!reference.is(kindReference) || reference.getRefNumber() < 0) continue;
        CPdfElement annotation;
        annotations.get(i, annotation);
        rewriteAnnotationObject(static_cast<uint32_t>(reference.getRefNumber()), annotation);
    }
    if (hasDirectDictionary(annotations)) scaleDirectAnnotations(page, annotations, pageText);
}

void AnnotationScaler::rewriteAnnotationObject(uint32_t objectNumber, const CPdfElement& annotation) {
    rewriteDictionaryObject(job_, objectNumber, [&](const DictionaryScanner& scanner, size_t dictionary, TextEdit& edit) {
        return rectEdit(scanner, dictionary, annotation, "annotation", objectNumber, edit);
    });
}

std::vector<TextEdit> AnnotationScaler::directAnnotationEdits(const DictionaryScanner& scanner, size_t arrayOpen,
                                                              const CPdfArray& annotations, const char* what,
                                                              uint32_t objectNumber) const {
    std::vector<TextEdit> edits;
    const std::vector<TextRange> elements = scanner.arrayElements(arrayOpen);
    // Text and parsed array must agree element for element, or no element is known for sure.
    if (elements.size() != static_cast<size_t>(annotations.getLength())) return edits;
    for (int32_t i = 0; i < annotations.getLength(); ++i) {
        const size_t first = elements[static_cast<size_t>(i)].first;
        TextEdit edit;
        if (annotations.at(i).is(kindDictionary) && scanner.isDictionaryAt(first) &&
            rectEdit(scanner, first, annotations.at(i), what, objectNumber, edit)) {
            edits.push_back(std::move(edit));
        }
    }
    return edits;
}

void AnnotationScaler::scaleDirectAnnotations(const CPdfDictionary& page, const CPdfArray& annotations,
                                              ObjectText& pageText) {
    CPdfElement annots;
    page.lookupUnresolved("Annots", annots);
    if (annots.is(kindArray)) {  // the array stands in the page object, which is written later
        std::vector<TextEdit> edits;
        {
            const DictionaryScanner scanner(pageText.bytes());
            TextEntry entry;
            if (!scanner.findKey(kAnnotsKey, entry) || !scanner.isArrayAt(entry.valueFirst)) return;
            edits = directAnnotationEdits(scanner, entry.valueFirst, annotations, "page", pageObjectNumber_);
        }
        applyEdits(pageText, std::move(edits));
        return;
    }
    if (!annots.is(kindReference) || annots.getRefNumber() < 0) return;
    const uint32_t arrayObjectNumber = static_cast<uint32_t>(annots.getRefNumber());
    std::string raw;
    if (!job_.reader.readRawObject(arrayObjectNumber, raw)) return;
    ObjectText arrayText(std::move(raw));
    std::vector<TextEdit> edits;
    {
        const DictionaryScanner scanner(arrayText.bytes());
        const size_t value = scanner.objectValue();
        if (value == DictionaryScanner::npos || !scanner.isArrayAt(value)) return;
        edits = directAnnotationEdits(scanner, value, annotations, "Annots array", arrayObjectNumber);
    }
    if (edits.empty()) return;
    applyEdits(arrayText, std::move(edits));
    writeObjectAgain(job_, arrayObjectNumber, arrayText.bytes());
}
