#pragma once
// Shared fixtures of the document tests: documents opened from bytes, values parsed from text.

#include <memory>
#include <string>

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

// A document opened on a temporary copy of `bytes`; open() errors pass out as CPdfException.
class OpenedDocument {
public:
    explicit OpenedDocument(const std::string& bytes, const char* userPassword = nullptr) {
        writeFile(dir_.file("in.pdf"), bytes);
        document_.open(dir_.file("in.pdf").c_str(), nullptr, userPassword);
    }
    CPdfDocument& get() { return document_; }
    CPdfDocument* operator->() { return &document_; }

private:
    TempDir dir_;
    CPdfDocument document_;
};

// The message open() throws for these bytes, or "" when it opens.
inline std::string openError(const std::string& bytes) {
    try {
        OpenedDocument document(bytes);
    } catch (const CPdfException& error) {
        return error.getMessage();
    }
    return std::string();
}

// A document whose catalog (object 1) has `catalogEntries` besides /Pages 2 0 R; the caller
// adds object 2 and the rest.
inline PdfBuilder builderWithCatalog(const std::string& catalogEntries = "") {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R " + catalogEntries + " >>");
    builder.setTrailer("/Root 1 0 R");
    return builder;
}

// One PDF value parsed from text, references left unresolved.
inline CPdfElement parseValue(const std::string& text) {
    const std::string padded = text + " ";
    auto* stream = new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(padded.data()), 0,
                                        static_cast<uint32_t>(padded.size()));
    CPdfParser parser(nullptr, stream);
    CPdfElement value;
    parser.getObject(value);
    return value;
}
