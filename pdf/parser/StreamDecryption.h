#pragma once

#include <cstdint>

#include "pdf/security/FileKey.h"

class CPdfDictionary;
class CPdfElement;
class CPdfStream;

// What decrypts the strings and stream data of one object of an encrypted document.
struct ObjectDecryption {
    const FileKey* fileKey = nullptr;
    int objectNumber = 0;
    int generation = 0;
    // False when the document keeps its metadata streams in plain text.
    bool encryptMetadata = true;
};

// Whether a stream object with this dictionary holds encrypted data in an encrypted document:
// cross-reference streams never do, metadata streams not when the document says so, and a
// stream whose first filter is the Identity crypt filter (named, or by default) does not.
bool isStreamDataEncrypted(const CPdfDictionary& dictionary, bool encryptMetadata);

// The decoding chain of a stream object: `raw` decrypted first when `key` is given and the data
// is encrypted, then its filters, a leading crypt filter taking no further part. Takes over the
// caller's reference to `raw`; null when the filters cannot be decoded. Throws as makeFilter does.
CPdfStream* makeStreamDecoder(CPdfStream* raw, const CPdfElement& dictionary, const ObjectDecryption* key);
