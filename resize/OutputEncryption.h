#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "pdf/security/ObjectEncryptor.h"

class CPdfElement;
class CPdfXRef;

// What keeps the output of an encrypted input readable under the input's own encryption: the
// trailer keys that name it, and the encryption of the bytes the job writes anew. Objects
// copied as they stand keep their encrypted strings and streams, since they keep their numbers
// and generations.
class OutputEncryption {
public:
    // Null when the document's cross-reference holds no file key (a plain input).
    static std::unique_ptr<OutputEncryption> fromDocument(const CPdfXRef& xref);

    // `trailer` is the input's trailer dictionary.
    OutputEncryption(const CPdfElement& trailer, const FileKey& fileKey);

    // "/Encrypt n g R" (or the direct dictionary) and "/ID [<...><...>]", each on its own line,
    // for the end of the output trailer.
    const std::string& trailerKeys() const { return trailerKeys_; }

    // The data of a new stream object, numbered `objectNumber` with generation 0, as stored.
    std::string encryptStreamData(const std::string& plain, uint32_t objectNumber) const;

    // The raw text of an object taken out of an object stream, where its strings stood in plain
    // text, made fit to stand on its own as object `objectNumber` with generation 0: each string
    // is encrypted under that object's key and written as a hex string. The encryption
    // dictionary itself is never encrypted, so its text comes back unchanged.
    std::string encryptRebuiltStrings(std::string_view objectText, uint32_t objectNumber) const;

private:
    static constexpr uint32_t kNoObject = 0;

    ObjectEncryptor encryptor_;
    std::string trailerKeys_;
    uint32_t encryptObjectNumber_ = kNoObject;
};
