#include "pdf/parser/StreamDecryption.h"

#include <cstring>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/security/PdfDecryptStream.h"
#include "pdf/stream/FilterSetup.h"
#include "pdf/stream/PdfStream.h"

namespace {

constexpr char kCryptFilter[] = "Crypt";
constexpr char kIdentityFilter[] = "Identity";

// Decrypts the data of a stream object while still answering for the object's dictionary,
// which the decoders above it and the stream's users ask for.
class CStreamDataDecryptStream : public CPdfDecryptStream {
public:
    using CPdfDecryptStream::CPdfDecryptStream;
    CPdfDictionary* getDict() override { return source()->getDict(); }
};

bool isName(const CPdfElement& element, const char* name) {
    return element.is(kindName) && std::strcmp(element.getName(), name) == 0;
}

// The filters of a stream object, and where a leading crypt filter leaves the rest.
struct FilterChain {
    CPdfElement filter;
    CPdfElement parms;
    bool startsWithCrypt = false;
    CPdfElement cryptParms;
    int32_t remaining = 0;  // filters after the crypt filter

    explicit FilterChain(const CPdfDictionary& dictionary)
        : filter(lookupEither(dictionary, "Filter", "F")), parms(lookupEither(dictionary, "DecodeParms", "DP")) {
        if (isName(filter, kCryptFilter)) {
            startsWithCrypt = true;
            cryptParms.copyFrom(parms);
            return;
        }
        if (!filter.is(kindArray) || filter.getArray()->getLength() == 0) return;
        const CPdfArray& names = *filter.getArray();
        CPdfElement first;
        names.get(0, first);
        if (!isName(first, kCryptFilter)) return;
        startsWithCrypt = true;
        remaining = names.getLength() - 1;
        parmsAt(0, cryptParms);
    }

    // The decode parameters of filter `index`: one per filter in an array, or none.
    void parmsAt(int32_t index, CPdfElement& out) const {
        if (parms.is(kindArray) && index < parms.getArray()->getLength()) {
            parms.getArray()->get(index, out);
        } else {
            out.initNull();
        }
    }

    // A crypt filter without a Name in its parameters is the Identity filter.
    bool cryptIsIdentity() const {
        if (!startsWithCrypt) return false;
        if (!cryptParms.is(kindDictionary)) return true;
        CPdfElement name;
        cryptParms.getDictionary()->lookup("Name", name);
        return !name.is(kindName) || isName(name, kIdentityFilter);
    }
};

bool dataEncrypted(const CPdfDictionary& dictionary, const FilterChain& chain, bool encryptMetadata) {
    if (dictionary.isType("XRef")) return false;
    if (!encryptMetadata && dictionary.isType("Metadata")) return false;
    return !chain.cryptIsIdentity();
}

}  // namespace

bool isStreamDataEncrypted(const CPdfDictionary& dictionary, bool encryptMetadata) {
    return dataEncrypted(dictionary, FilterChain(dictionary), encryptMetadata);
}

CPdfStream* makeStreamDecoder(CPdfStream* raw, const CPdfElement& dictionary, const ObjectDecryption* key) {
    CPdfStreamRef owned(raw);
    if (!dictionary.is(kindDictionary)) return owned.release();
    const CPdfDictionary& streamDictionary = *dictionary.getDictionary();
    const FilterChain chain(streamDictionary);
    const bool decrypt = key && key->fileKey && dataEncrypted(streamDictionary, chain, key->encryptMetadata);
    // The decrypting stream owns the raw data from here on, also if its constructor throws.
    CPdfStreamRef data(decrypt ? new CStreamDataDecryptStream(owned.release(), *key->fileKey, key->objectNumber,
                                                              key->generation)
                               : owned.release());
    if (!chain.startsWithCrypt) return makeFilterStream(data.release(), dictionary);
    if (chain.remaining == 0) return data.release();
    return makeFilterChain(data.release(), *chain.filter.getArray(), chain.parms, 1);
}
