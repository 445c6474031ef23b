#pragma once
// A PDF file opened the way the document opens it: a file stream whose start is moved to the
// "%PDF-" header, and a cross-reference table read through it.

#include <memory>
#include <string>

#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/xref/PdfXRef.h"
#include "tests/support/TestTools.h"

class OpenedPdf {
public:
    // Writes `bytes` to a temporary file and opens it; open() reads the cross-reference table.
    static std::unique_ptr<OpenedPdf> fromBytes(const std::string& bytes);
    static std::unique_ptr<OpenedPdf> fromPath(const std::string& path);

    // Reads the cross-reference sections; throws CPdfException as the table does.
    CPdfXRef& open();
    CPdfXRef& xref() { return xref_; }
    uint32_t headerPosition() const { return headerPosition_; }

private:
    explicit OpenedPdf(const std::string& path);

    // A file stream over `file` whose start is moved to the header, if one is found.
    static CPdfStream* openAtHeader(CInputFile* file, uint32_t& headerPosition);

    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<CInputFile> file_;
    uint32_t headerPosition_ = 0;
    CPdfStreamRef stream_;
    CPdfXRef xref_;
};

// The fetched object `number` (generation `generation`), as an owned element.
CPdfElement fetchObject(CPdfXRef& xref, int number, unsigned generation = 0);
// The text of a fetched object's value of kind integer, name or string, for compact checks.
std::string describe(const CPdfElement& element);
