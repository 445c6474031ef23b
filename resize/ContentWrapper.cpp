#include "resize/ContentWrapper.h"

#include <algorithm>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/syntax/PdfSyntax.h"
#include "resize/DictionaryScanner.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectText.h"
#include "resize/OutputEncryption.h"
#include "resize/OutputWriter.h"
#include "resize/PageRewriter.h"
#include "resize/RawObjectReader.h"

namespace {

constexpr char kContentsKey[] = "/Contents";
constexpr char kRestoreContent[] = "Q\n";
constexpr size_t kDictionaryOpenLength = 2;

std::string referenceText(const CPdfElement& reference) {
    return " " + formatInteger(reference.getRefNumber()) + " " + formatInteger(reference.getRefGeneration()) + " R ";
}

bool isSingleContent(const CPdfElement& resolved, const CPdfElement& unresolved) {
    return unresolved.is(kindReference) &&
           (resolved.is(kindStream) || resolved.is(kindNull) || resolved.is(kindError));
}

bool endsContentsValue(char c) { return c == '/' || c == '<' || c == '>'; }

}  // namespace

ContentWrapper::ContentWrapper(ResizeJob& job, const PageTransform& transform, uint32_t pageObjectNumber)
    : job_(job), transform_(transform), pageObjectNumber_(pageObjectNumber) {}

std::string ContentWrapper::scaleContent(ScaleFactors factors) {
    return "q\n" + formatScaleNumber(factors.x) + " 0 0 " + formatScaleNumber(factors.y) + " 0 0 cm\n";
}

std::string ContentWrapper::scaleContent(const PageTransform& transform) {
    if (!transform.exactMatrix) return scaleContent(transform.contentFactors);
    std::string content = "q\n";
    if (transform.contentClip) {
        const PageBox& clip = *transform.contentClip;
        content += formatExactNumber(clip.x1) + " " + formatExactNumber(clip.y1) + " " +
                   formatExactNumber(clip.width()) + " " + formatExactNumber(clip.height()) + " re W n\n";
    }
    const ScaleFactors& factors = transform.contentFactors;
    return content + formatExactNumber(factors.x) + " 0 0 " + formatExactNumber(factors.y) + " " +
           formatExactNumber(transform.contentShiftX) + " " + formatExactNumber(transform.contentShiftY) + " cm\n";
}

std::string ContentWrapper::streamObject(uint32_t objectNumber, const std::string& data) {
    return formatInteger(objectNumber) + " 0 obj\n<<\n/Length " + formatInteger(static_cast<int64_t>(data.size())) +
           " >>\nstream\n" + data + "endstream\nendobj\n";
}

uint32_t ContentWrapper::writeStream(const std::string& data) {
    OutputEntry row;
    row.offset = job_.output.position();
    row.generation = 0;
    row.written = true;
    const uint32_t objectNumber = job_.output.appendOutputEntry(row);
    if (job_.encryption) {
        job_.output.write(streamObject(objectNumber, job_.encryption->encryptStreamData(data, objectNumber)));
        return objectNumber;
    }
    job_.output.write(streamObject(objectNumber, data));
    return objectNumber;
}

uint32_t ContentWrapper::writeScaleStream() { return writeStream(scaleContent(transform_)); }

uint32_t ContentWrapper::writeRestoreStream() { return writeStream(kRestoreContent); }

std::string ContentWrapper::buildContentsList(const CPdfElement& resolved, const CPdfElement& unresolved) {
    std::string oldReferences;
    if (resolved.is(kindArray)) {
        const CPdfArray* array = resolved.getArray();
        for (int32_t i = 0; i < array->getLength(); ++i) {
            // Content streams are always indirect; anything else in the array is dropped.
            if (array->at(i).is(kindReference)) oldReferences += referenceText(array->at(i));
        }
    } else if (isSingleContent(resolved, unresolved)) {
        oldReferences = referenceText(unresolved);
    }
    return wrapReferences(oldReferences);
}

std::string ContentWrapper::wrapReferences(const std::string& oldReferences) {
    const uint32_t scaleStream = writeScaleStream();
    const uint32_t restoreStream = writeRestoreStream();
    return " " + formatInteger(scaleStream) + " 0 R " + oldReferences + "  " + formatInteger(restoreStream) + " 0 R ";
}

bool ContentWrapper::isStreamObject(const CPdfElement& unresolved) const {
    if (!unresolved.is(kindReference) || unresolved.getRefNumber() <= 0) return false;
    const uint32_t number = static_cast<uint32_t>(unresolved.getRefNumber());
    if (number >= job_.entries.size() || job_.entries[number].generation != unresolved.getRefGeneration()) return false;
    const std::vector<bool>* known = job_.knownStreams;
    if (known && !known->empty()) return number < known->size() && (*known)[number];
    // An update copies no object: the head tells, and the stream's data need not be read.
    return job_.reader.headShowsStream(number);
}

void ContentWrapper::wrapContents(const CPdfDictionary& page, ObjectText& pageText) {
    CPdfElement unresolved;
    page.lookupUnresolved("Contents", unresolved);
    // A stream goes on as the page's content whatever its data: a wrong /Length, say, harms no
    // byte the job writes.
    if (isStreamObject(unresolved)) {
        replaceSingleReference(pageText, wrapReferences(referenceText(unresolved)));
        return;
    }
    CPdfElement resolved;
    page.lookup("Contents", resolved);
    const std::string list = buildContentsList(resolved, unresolved);

    if (resolved.is(kindArray)) {
        if (unresolved.is(kindReference)) {
            rewriteArrayObject(static_cast<uint32_t>(unresolved.getRefNumber()), list);
        } else {
            replaceInPageArray(pageText, list);
        }
    } else if (resolved.is(kindNull) && unresolved.is(kindNull)) {
        insertContents(pageText, list);
    } else if (isSingleContent(resolved, unresolved)) {
        replaceSingleReference(pageText, list);
    }
    // Any other Contents value is left as it is; the new streams stay unreferenced.
}

void ContentWrapper::replaceInPageArray(ObjectText& pageText, const std::string& list) const {
    TextEdit edit;
    {
        const DictionaryScanner scanner(pageText.bytes());
        TextEntry entry;
        if (!scanner.findKey(kContentsKey, entry)) return;
        edit = entryArrayEdit(scanner, entry, list);
    }
    pageText.replaceText(edit.first, edit.last, edit.text);
}

void ContentWrapper::rewriteArrayObject(uint32_t arrayObjectNumber, const std::string& list) {
    const std::string names =
        " Contents array object " + formatInteger(arrayObjectNumber) + " of page object " + formatInteger(pageObjectNumber_);
    std::string raw;
    if (!job_.reader.readRawObject(arrayObjectNumber, raw)) throw CPdfException("Cannot read the" + names + "\n");
    ObjectText arrayText(std::move(raw));
    TextEdit edit;
    {
        const DictionaryScanner scanner(arrayText.bytes());
        const size_t value = scanner.objectValue();
        if (value == DictionaryScanner::npos || !scanner.isArrayAt(value)) {
            throw CPdfException("Cannot rewrite the" + names + ": it holds no array\n");
        }
        edit = arrayInsideEdit(scanner, {value, scanner.valueEnd(value)}, list);
    }
    arrayText.replaceText(edit.first, edit.last, edit.text);
    writeObjectAgain(job_, arrayObjectNumber, arrayText.bytes());
}

void ContentWrapper::insertContents(ObjectText& pageText, const std::string& list) const {
    const size_t dictionary = DictionaryScanner(pageText.bytes()).objectDictionary();
    if (dictionary == DictionaryScanner::npos) return;
    pageText.insertText(dictionary + kDictionaryOpenLength, "/Contents [ " + list + " ]\n");
}

void ContentWrapper::replaceSingleReference(ObjectText& pageText, const std::string& list) const {
    TextEntry entry;
    size_t first = 0;
    size_t last = 0;
    {
        const DictionaryScanner scanner(pageText.bytes());
        if (!scanner.findKey(kContentsKey, entry)) return;
        const std::string_view text = scanner.text();
        // The list replaces the value from the second byte after the key, and the white space
        // after the value up to the next key or the dictionary's end, line ends excepted.
        first = std::min(entry.keyLast + 1, entry.valueFirst);
        last = entry.valueLast;
        size_t next = last;
        while (next < text.size() && isWhite(text[next])) ++next;
        if (next < text.size() && endsContentsValue(text[next])) {
            last = next;
            while (last > entry.valueLast && isLineEnd(text[last - 1])) --last;
        }
    }
    pageText.replaceText(first, last, " [ " + list + " ] ");
}
