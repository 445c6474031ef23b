#include "pdf/stream/FilterSetup.h"

#include <cstring>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/PdfAscii85Stream.h"
#include "pdf/stream/PdfAsciiHexStream.h"
#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfRunLengthStream.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/stream/PdfUndecodableStream.h"

namespace {

int integerParameter(const CPdfDictionary& parms, const char* key, int fallback) {
    CPdfElement value;
    parms.lookup(key, value);
    return value.is(kindInteger) ? value.getInteger() : fallback;
}

// A filter's full name or its abbreviation.
bool isFilter(const char* name, const char* full, const char* abbreviation) {
    return std::strcmp(name, full) == 0 || std::strcmp(name, abbreviation) == 0;
}

bool carriesText(const CPdfElement& element) {
    return element.is(kindName) || element.is(kindString) || element.is(kindCommand);
}

}  // namespace

// Looks up `key`, falling back to its abbreviation when the full key is absent.
CPdfElement lookupEither(const CPdfDictionary& dictionary, const char* key, const char* abbreviation) {
    CPdfElement value;
    dictionary.lookup(key, value);
    if (value.is(kindNull)) {
        value.free();
        dictionary.lookup(abbreviation, value);
    }
    return value;
}

CPdfStream* makeFilter(const char* name, CPdfStream* raw, const CPdfElement& parms) {
    // Held until the decoder owns it, so that a throwing lookup does not leak it either.
    CPdfStreamRef owned(raw);
    if (isFilter(name, "ASCIIHexDecode", "AHx")) return new CPdfAsciiHexStream(owned.release());
    if (isFilter(name, "ASCII85Decode", "A85")) return new CPdfAscii85Stream(owned.release());
    if (isFilter(name, "RunLengthDecode", "RL")) return new CPdfRunLengthStream(owned.release());
    // Only some streams are ever read: the others must stay usable whatever their filter.
    if (!isFilter(name, "FlateDecode", "Fl")) return new CPdfUndecodableStream(owned.release());
    int predictor = 1, columns = 1, colors = 1, bitsPerComponent = 8;
    if (parms.is(kindDictionary)) {
        const CPdfDictionary& dictionary = *parms.getDictionary();
        predictor = integerParameter(dictionary, "Predictor", predictor);
        columns = integerParameter(dictionary, "Columns", columns);
        colors = integerParameter(dictionary, "Colors", colors);
        bitsPerComponent = integerParameter(dictionary, "BitsPerComponent", bitsPerComponent);
    }
    // When the decoder's constructor throws, its base part deletes `raw` while unwinding.
    return new CPdfFlateStream(owned.release(), predictor, columns, colors, bitsPerComponent);
}

CPdfStream* makeFilterStream(CPdfStream* raw, const CPdfElement& streamDictionary) {
    CPdfStreamRef owned(raw);
    if (!streamDictionary.is(kindDictionary)) return owned.release();
    const CPdfDictionary& dictionary = *streamDictionary.getDictionary();
    const CPdfElement filter = lookupEither(dictionary, "Filter", "F");
    const CPdfElement parms = lookupEither(dictionary, "DecodeParms", "DP");
    if (filter.is(kindNull)) return owned.release();
    if (filter.is(kindName)) return makeFilter(filter.getName(), owned.release(), parms);
    if (!filter.is(kindArray) || filter.getArray()->getLength() == 0) return nullptr;
    return makeFilterChain(owned.release(), *filter.getArray(), parms, 0);
}

CPdfStream* makeFilterChain(CPdfStream* raw, const CPdfArray& names, const CPdfElement& parms, int32_t first) {
    CPdfStreamRef owned(raw);
    const int32_t count = names.getLength();
    // Each filter of the array must name something before any decoder is built.
    for (int32_t index = first; index < count; ++index) {
        CPdfElement name;
        names.get(index, name);
        if (!carriesText(name)) return nullptr;
    }
    CPdfStream* stream = owned.release();
    for (int32_t index = first; index < count; ++index) {
        CPdfElement name;
        names.get(index, name);
        // Parameters come as an array in step with the filters; a lone dictionary beside a
        // one-filter array is taken for that filter, as writers put it both ways.
        CPdfElement filterParms;
        if (parms.is(kindArray)) {
            if (index < parms.getArray()->getLength()) parms.getArray()->get(index, filterParms);
        } else if (count == 1) {
            filterParms = parms;
        }
        stream = makeFilter(name.getString(), stream, filterParms);  // owns the stream it wraps
    }
    return stream;
}
