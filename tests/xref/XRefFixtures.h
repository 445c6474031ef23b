#pragma once
// Files assembled byte for byte, and a table opened as the document opens one: from the "%PDF-" header on.
#include <cstdio>
#include <map>
#include <memory>

#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/xref/PdfXRef.h"
#include "tests/parser/ParserFixture.h"
#include "tests/support/TestTools.h"

// Object 1 is a catalog at offset 9; section() marks where startxref will point.
struct HandPdf {
    HandPdf() { object(1, "<< /Type /Catalog >>"); }
    void object(int number, const std::string& body, int generation = 0) {
        offsets[number] = position();
        bytes += std::to_string(number) + " " + std::to_string(generation) + " obj\n" + body + "\nendobj\n";
    }
    void stream(int number, const std::string& dict, const std::string& data) { object(number, streamText(dict, data)); }
    void section(const std::string& text) { start = position(), bytes += text; }
    uint32_t offsetOf(int number) const { return offsets.at(number); }
    uint32_t position() const { return static_cast<uint32_t>(bytes.size()); }
    std::string finish() const { return bytes + "startxref\n" + std::to_string(start) + "\n%%EOF\n"; }
    std::string bytes = "%PDF-1.5\n";
    std::map<int, uint32_t> offsets;
    uint32_t start = 0;
};

inline std::string tableRow(uint32_t offset, uint32_t generation, char type) {
    char row[24];
    std::snprintf(row, sizeof row, "%010u %05u %c \n", offset, generation, type);
    return row;
}

// One cross-reference stream entry of widths [1 2 1], big-endian.
inline std::string row(uint32_t type, uint32_t second, uint32_t third) {
    return {static_cast<char>(type), static_cast<char>(second >> 8), static_cast<char>(second), static_cast<char>(third)};
}

class OpenedPdf {
public:
    explicit OpenedPdf(const std::string& bytes) {
        writeFile(dir_.file("input.pdf"), bytes);
        file_ = CInputFile::open(dir_.file("input.pdf"));
        CPdfElement noDictionary;  // as the document makes it
        noDictionary.initNull();
        stream_ = std::make_unique<CPdfStreamRef>(new CPdfFileStream(file_.get(), 0, 0, noDictionary));
        const size_t header = bytes.substr(0, 1022).find("%PDF-");  // sought up to position 1017
        if (header != std::string::npos) stream_->get()->moveStart(static_cast<uint32_t>(header));
        stream_->get()->reset();
    }
    CPdfXRef& open() { return xref_.open(stream_->get()), xref_; }
    CPdfXRef& xref() { return xref_; }

private:
    TempDir dir_;
    std::unique_ptr<CInputFile> file_;
    std::unique_ptr<CPdfStreamRef> stream_;  // outlives the table
    CPdfXRef xref_;
};

inline CPdfElement fetchObject(CPdfXRef& xref, int number, unsigned generation = 0) {
    CPdfElement object;
    return xref.fetch(number, generation, object), object;
}

// The message the call ends with, or "ok".
template <class Call>
std::string messageOf(Call call) {
    try { call(); } catch (const CPdfException& error) { return error.getMessage(); }
    return "ok";
}
