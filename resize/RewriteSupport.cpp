#include "resize/RewriteSupport.h"

#include <algorithm>
#include <cmath>

#include "pdf/objects/PdfException.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectText.h"
#include "resize/OutputWriter.h"
#include "resize/PageRewriter.h"
#include "resize/RawObjectReader.h"

namespace {


}  // namespace

uint32_t fetchGeneration(const std::vector<XRefEntry>& entries, uint32_t objectNumber) {
    if (objectNumber >= entries.size()) return 0;
    const XRefEntry& entry = entries[objectNumber];
    return entry.type == XRefEntryType::compressed ? 0 : entry.generation;
}

void writeObjectAgain(ResizeJob& job, uint32_t objectNumber, const std::string& bytes) {
    // A copied object keeps its generation in its cross-reference line; one rebuilt from an
    // object stream has the header " 0 obj".
    uint32_t generation = 0;
    if (objectNumber < job.entries.size() && job.entries[objectNumber].type == XRefEntryType::inUse) {
        generation = job.entries[objectNumber].generation;
    }
    if (!job.output.setOutputEntry(objectNumber, generation, job.output.position(), true)) return;
    job.output.write(bytes);
}

void rewriteDictionaryObject(ResizeJob& job, uint32_t objectNumber, const DictionaryEditChooser& chooseEdit) {
    std::string raw;
    if (!job.reader.readRawObject(objectNumber, raw)) return;
    ObjectText text(std::move(raw));
    TextEdit edit;
    bool edited = false;
    {
        const DictionaryScanner scanner(text.bytes());
        const size_t dictionary = scanner.objectDictionary();
        edited = dictionary != DictionaryScanner::npos && chooseEdit(scanner, dictionary, edit);
    }
    if (edited) text.replaceText(edit.first, edit.last, edit.text);
    writeObjectAgain(job, objectNumber, text.bytes());
}

void requireFinite(double value, const char* what, uint32_t objectNumber) {
    if (std::isfinite(value)) return;
    throw CPdfException("Cannot resize " + std::string(what) + " object " + formatInteger(objectNumber) +
                        ": a new number is not finite\n");
}

TextEdit arrayInsideEdit(const DictionaryScanner& scanner, const TextRange& value, const std::string& inside) {
    const bool closed = value.last > value.first + 1 && scanner.text()[value.last - 1] == ']';
    if (closed) return {value.first + 1, value.last - 1, inside};
    return {value.first + 1, value.last, inside + "]"};
}

TextEdit entryArrayEdit(const DictionaryScanner& scanner, const TextEntry& entry, const std::string& inside) {
    if (scanner.isArrayAt(entry.valueFirst)) {
        return arrayInsideEdit(scanner, {entry.valueFirst, entry.valueLast}, inside);
    }
    if (entry.valueFirst == entry.valueLast) return {entry.keyLast, entry.keyLast, " [" + inside + "]"};
    return {entry.valueFirst, entry.valueLast, "[" + inside + "]"};
}

void applyEdits(ObjectText& text, std::vector<TextEdit> edits) {
    std::sort(edits.begin(), edits.end(), [](const TextEdit& a, const TextEdit& b) { return a.first > b.first; });
    for (const TextEdit& edit : edits) text.replaceText(edit.first, edit.last, edit.text);
}
