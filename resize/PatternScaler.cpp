#include "resize/PatternScaler.h"

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/stream/PdfStream.h"
#include "resize/DictionaryScanner.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectText.h"
#include "resize/PageRewriter.h"
#include "resize/RawObjectReader.h"

namespace {

constexpr char kMatrixKey[] = "/Matrix";
constexpr int32_t kMatrixSize = 6;
constexpr int32_t kTranslationIndex = 4;  // e and f
constexpr size_t kDictionaryOpenLength = 2;

// The dictionary of a shading pattern, or of a tiling pattern's stream.
const CPdfDictionary* patternDictionary(const CPdfElement& pattern) {
    if (pattern.is(kindDictionary)) return pattern.getDictionary();
    if (pattern.is(kindStream)) return pattern.getStream()->getDict();
    return nullptr;
}

std::string matrixNumber(double value) { return " " + formatBoxNumber(value) + " "; }

}  // namespace

PatternScaler::PatternScaler(ResizeJob& job, const PageTransform& transform)
    : job_(job), transform_(transform) {}

bool PatternScaler::scaledMatrix(const CPdfElement& matrix, std::string& numbers, uint32_t objectNumber) const {
    if (!matrix.is(kindArray) || matrix.getArray()->getLength() != kMatrixSize) return false;
    std::string text;
    for (int32_t i = 0; i < kMatrixSize; ++i) {
        CPdfElement element;
        matrix.getArray()->get(i, element);
        if (!element.isNumber()) return false;
        // Even indexes (a, c, e) are multiplied by the x factor, odd ones (b, d, f) by the y factor;
        // the translation (e, f) is a point of the page and also takes the content's shift.
        const double number = element.getNumber();
        const bool x = i % 2 == 0;
        const double value = i >= kTranslationIndex ? (x ? transform_.contentX(number) : transform_.contentY(number))
                                                    : number * (x ? transform_.contentFactors.x : transform_.contentFactors.y);
        requireFinite(value, "pattern", objectNumber);
        text += matrixNumber(value);
    }
    numbers = std::move(text);
    return true;
}

std::string PatternScaler::scaledIdentity(uint32_t objectNumber) const {
    const ScaleFactors& factors = transform_.contentFactors;
    requireFinite(factors.x, "pattern", objectNumber);
    requireFinite(factors.y, "pattern", objectNumber);
    return matrixNumber(factors.x) + matrixNumber(0) + matrixNumber(0) + matrixNumber(factors.y) +
           matrixNumber(transform_.contentShiftX) + matrixNumber(transform_.contentShiftY);
}

void PatternScaler::scalePatterns(const CPdfDictionary& page) {
    CPdfElement resources;
    page.lookup("Resources", resources);
    if (resources.is(kindNull)) {
        // Only the parent's resources stand in for absent ones; higher ancestors are not consulted.
        CPdfElement parent;
        page.lookup("Parent", parent);
        if (parent.is(kindDictionary)) {
            resources.free();
            parent.getDictionary()->lookup("Resources", resources);
        }
    }
    if (!resources.is(kindDictionary)) return;
    CPdfElement patterns;
    resources.getDictionary()->lookup("Pattern", patterns);
    if (!patterns.is(kindDictionary)) return;
    const CPdfDictionary& patternTable = *patterns.getDictionary();
    for (int32_t k = 0; k < patternTable.getLength(); ++k) {
        CPdfElement reference;
        patternTable.getValue(k, reference);
        // A pattern dictionary that stands directly in the resources has no object to write again.
        if (!reference.is(kindReference) || reference.getRefNumber() < 0) continue;
        CPdfElement pattern;
        patternTable.lookup(patternTable.getKey(k).c_str(), pattern);
        rewritePatternObject(static_cast<uint32_t>(reference.getRefNumber()), pattern);
    }
}

void PatternScaler::rewritePatternObject(uint32_t objectNumber, const CPdfElement& pattern) {
    const CPdfDictionary* patternDict = patternDictionary(pattern);
    rewriteDictionaryObject(job_, objectNumber, [&](const DictionaryScanner& scanner, size_t dictionary, TextEdit& edit) {
        if (!patternDict) return false;
        TextEntry entry;
        if (!scanner.findKey(dictionary, kMatrixKey, entry)) {
            edit = {dictionary + kDictionaryOpenLength, dictionary + kDictionaryOpenLength,
                    "\n/Matrix [" + scaledIdentity(objectNumber) + "]\n"};
            return true;
        }
        if (!scanner.isArrayAt(entry.valueFirst) && !scanner.isReference(entry.valueFirst, entry.valueLast)) return false;
        CPdfElement matrix;
        patternDict->lookup("Matrix", matrix);
        std::string numbers;
        if (!scaledMatrix(matrix, numbers, objectNumber)) return false;
        edit = entryArrayEdit(scanner, entry, numbers);
        return true;
    });
}
