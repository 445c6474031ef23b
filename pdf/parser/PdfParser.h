#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "pdf/objects/PdfElement.h"
#include "pdf/security/FileKey.h"

class CPdfStream;
class CPdfResolver;

// Lexer and recursive object parser over a stream, with a two-token look-ahead.
class CPdfParser {
public:
    // Arrays and dictionaries nested deeper than this end the object with an exception.
    static constexpr int kMaxNesting = 512;

    // Takes over the caller's counted reference to `stream`. `xref` may be null.
    CPdfParser(CPdfResolver* xref, CPdfStream* stream);
    virtual ~CPdfParser();
    CPdfParser(const CPdfParser&) = delete;
    CPdfParser& operator=(const CPdfParser&) = delete;

    // Parses one object into `out` (kindNone). With a `fileKey`, a literal string that forms the
    // whole object is decrypted, and so is the data of a stream
    // object before its filters, unless it is stored in plain text (a cross-reference stream, an
    // Identity crypt filter, or a metadata stream when `encryptMetadata` is false).
    void getObject(CPdfElement& out, const FileKey* fileKey = nullptr, int objectNumber = 0, int generation = 0,
                   bool encryptMetadata = true);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
