#include "resize/DirectObjectText.h"

#include <cstring>

#include "pdf/document/ElementText.h"
#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "resize/NumberFormat.h"
#include "resize/StringRewriter.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned char kFirstPrintable = '!';
constexpr unsigned char kLastPrintable = '~';

// Bytes that cannot stand in a name as they are: delimiters, the escape itself, and anything
// outside the printable range.
bool needsNameEscape(unsigned char c) {
    return c < kFirstPrintable || c > kLastPrintable || std::strchr("()<>[]{}/%#", c) != nullptr;
}

std::string nameText(const char* name) {
    std::string text = "/";
    for (const char* p = name; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!needsNameEscape(c)) {
            text += static_cast<char>(c);
            continue;
        }
        text += '#';
        text += kHexDigits[c >> 4];
        text += kHexDigits[c & 0x0F];
    }
    return text;
}

void appendValue(const CPdfElement& value, int depth, std::string& out);

void appendArray(const CPdfArray& array, int depth, std::string& out) {
    out += '[';
    for (int32_t i = 0; i < array.getLength(); ++i) {
        if (i > 0) out += ' ';
        appendValue(array.at(i), depth + 1, out);
    }
    out += ']';
}

void appendDictionary(const CPdfDictionary& dictionary, int depth, std::string& out) {
    out += "<<";
    for (int32_t i = 0; i < dictionary.getLength(); ++i) {
        out += nameText(dictionary.getKey(i).c_str());
        out += ' ';
        CPdfElement entry;
        dictionary.getValue(i, entry);
        appendValue(entry, depth + 1, out);
    }
    out += ">>";
}

void appendValue(const CPdfElement& value, int depth, std::string& out) {
    if (depth > kMaxDirectObjectDepth) {
        out += "null";
        return;
    }
    std::string bytes;
    switch (value.getKind()) {
        case kindBool: out += value.getBool() ? "true" : "false"; return;
        case kindInteger: out += formatInteger(value.getInteger()); return;
        case kindReal: out += formatBoxNumber(value.getReal()); return;
        case kindString:
        case kindHexString:
            getStringBytes(value, bytes);
            out += hexStringText(bytes);
            return;
        case kindName: out += nameText(value.getName()); return;
        case kindArray: appendArray(*value.getArray(), depth, out); return;
        case kindDictionary: appendDictionary(*value.getDictionary(), depth, out); return;
        case kindReference:
            out += formatInteger(value.getRefNumber()) + " " + formatInteger(value.getRefGeneration()) + " R";
            return;
        default: out += "null"; return;
    }
}

}  // namespace

std::string directObjectText(const CPdfElement& value) {
    std::string out;
    appendValue(value, 0, out);
    return out;
}
