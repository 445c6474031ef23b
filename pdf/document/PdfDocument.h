#pragma once

#include <memory>

class CInputFile;
class CPdfStream;
class CPdfXRef;
class CPdfCatalog;
class CPdfOutline;

// One opened input PDF: owns the file, its stream, the cross-reference table, catalog and outline.
class CPdfDocument {
public:
    CPdfDocument();
    virtual ~CPdfDocument();
    CPdfDocument(const CPdfDocument&) = delete;
    CPdfDocument& operator=(const CPdfDocument&) = delete;

    // Throws CPdfException on failure; returns with isOk() false when the document is encrypted
    // and cannot be authorised (no catalog or outline then, the xref stays usable).
    void open(const char* fileName, const char* ownerPassword, const char* userPassword);
    bool isOk() const;
    CPdfXRef* getXRef() const;
    // The open file, for callers that read raw bytes beside the parser: one file, one block cache.
    CInputFile* getInputFile() const;
    CPdfCatalog* getCatalog() const;
    CPdfOutline* getOutline() const;
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
