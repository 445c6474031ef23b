#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pdf/xref/PdfXRef.h"
#include "resize/DictionaryScanner.h"

struct ResizeJob;
class ObjectText;

// A factor for x and one for y (the content factors or the box factors of one page).
struct ScaleFactors {
    double x = 1;
    double y = 1;
};

// The bytes from `first` up to `last` of an object's text, to be replaced by `text`.
struct TextEdit {
    size_t first = 0;
    size_t last = 0;
    std::string text;
};

// The generation to fetch an object with: 0 for an object inside an object stream.
uint32_t fetchGeneration(const std::vector<XRefEntry>& entries, uint32_t objectNumber);

// Points the object's output row at the output's end and writes the object's bytes there.
void writeObjectAgain(ResizeJob& job, uint32_t objectNumber, const std::string& bytes);

// Writes the object again with at most one edit of its text, which `chooseEdit` picks from the
// object's dictionary (at `dictionary`; false: no edit). An object that cannot be read, or that
// holds no dictionary, stays as the copy pass left it (or out of the output).
using DictionaryEditChooser = std::function<bool(const DictionaryScanner& scanner, size_t dictionary, TextEdit& edit)>;
void rewriteDictionaryObject(ResizeJob& job, uint32_t objectNumber, const DictionaryEditChooser& chooseEdit);

// Throws when `value` cannot be written as a PDF number; `what` names the object ("page", ...).
void requireFinite(double value, const char* what, uint32_t objectNumber);

// The edit that puts `inside` between the brackets of the direct array `value`; an array whose
// closing bracket is missing gets one.
TextEdit arrayInsideEdit(const DictionaryScanner& scanner, const TextRange& value, const std::string& inside);

// The edit that gives a dictionary entry the direct array value "[" + inside + "]": only the
// bytes between the brackets when the value already is a direct array, else the whole value.
TextEdit entryArrayEdit(const DictionaryScanner& scanner, const TextEntry& entry, const std::string& inside);

// Applies edits that do not overlap, from the last position to the first, so that each edit's
// positions still hold when it is applied.
void applyEdits(ObjectText& text, std::vector<TextEdit> edits);
