#pragma once

#include <memory>

class CInputFile;
class CPdfStream;
class CPdfXRef;
class CPdfCatalog;
class CPdfOutline;

// One opened input PDF: owns the file, its stream and the cross-reference table, and the catalog
// and outline once they are asked for. Opening reads neither, so that a damaged part that a
// caller never needs cannot fail the opening.
class CPdfDocument {
public:
    CPdfDocument();
    virtual ~CPdfDocument();
    CPdfDocument(const CPdfDocument&) = delete;
    CPdfDocument& operator=(const CPdfDocument&) = delete;

    // Throws CPdfException on failure; returns with isOk() false when the document is encrypted
    // and cannot be authorised (no catalog or outline then, the xref stays usable).
    void open(const char* fileName, const char* ownerPassword, const char* userPassword);
    // The same for a file the caller has opened already (not null).
    void open(std::unique_ptr<CInputFile> file, const char* ownerPassword, const char* userPassword);
    bool isOk() const;
    // False when an AES-256 document's sealed permissions disagree with its encryption dictionary.
    bool permissionsSealIntact() const;
    CPdfXRef* getXRef() const;
    // The open file, for callers that read raw bytes beside the parser: one file, one block cache.
    CInputFile* getInputFile() const;
    // Loaded on the first call; throws CPdfException on a malformed catalog or page tree. Null
    // when isOk() is false.
    CPdfCatalog* getCatalog();
    // Read on the first call; whatever of it cannot be read is left out, never an error. Null
    // when isOk() is false.
    CPdfOutline* getOutline();
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
