#include "pdf/document/ElementText.h"

#include <cstring>
#include <memory>

#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfString.h"

bool getStringBytes(const CPdfElement& element, std::string& bytes) {
    bytes.clear();
    if (element.is(kindString)) {
        bytes.assign(element.getString(), element.getStringLength());
        return true;
    }
    if (!element.is(kindHexString)) return false;
    // Decoding works on a copy: the element belongs to its holder.
    const std::unique_ptr<CPdfString> copy(element.getHexString()->clone());
    copy->decodeHex();
    if (copy->getLength() > 0) bytes.assign(copy->getBytes(), static_cast<size_t>(copy->getLength()));
    return true;
}
