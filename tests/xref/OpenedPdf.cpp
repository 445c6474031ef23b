#include "tests/xref/OpenedPdf.h"

#include <cstring>
#include <stdexcept>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfString.h"
#include "pdf/stream/PdfFileStream.h"

namespace {

constexpr size_t kHeaderWindow = 1023;
constexpr size_t kHeaderPositions = 1018;

}  // namespace

std::unique_ptr<OpenedPdf> OpenedPdf::fromBytes(const std::string& bytes) {
    auto dir = std::make_unique<TempDir>();
    const std::string path = dir->file("input.pdf");
    writeFile(path, bytes);
    std::unique_ptr<OpenedPdf> pdf(new OpenedPdf(path));
    pdf->dir_ = std::move(dir);
    return pdf;
}

std::unique_ptr<OpenedPdf> OpenedPdf::fromPath(const std::string& path) {
    return std::unique_ptr<OpenedPdf>(new OpenedPdf(path));
}

OpenedPdf::OpenedPdf(const std::string& path)
    : file_(CInputFile::open(path)), stream_(openAtHeader(file_.get(), headerPosition_)) {}

CPdfStream* OpenedPdf::openAtHeader(CInputFile* file, uint32_t& headerPosition) {
    if (!file) throw std::runtime_error("cannot open the test file");
    CPdfElement noDictionary;
    noDictionary.initNull();
    CPdfStream* stream = new CPdfFileStream(file, 0, 0, noDictionary);
    uint8_t head[kHeaderWindow] = {};
    const size_t got = stream->read(head, kHeaderWindow);
    for (size_t p = 0; p < kHeaderPositions && p + 5 <= got; ++p) {
        if (std::memcmp(head + p, "%PDF-", 5) == 0) {
            headerPosition = static_cast<uint32_t>(p);
            stream->moveStart(headerPosition);
            break;
        }
    }
    stream->reset();
    return stream;
}

CPdfXRef& OpenedPdf::open() {
    xref_.open(stream_.get());
    return xref_;
}

CPdfElement fetchObject(CPdfXRef& xref, int number, unsigned generation) {
    CPdfElement object;
    xref.fetch(number, generation, object);
    return object;
}

std::string describe(const CPdfElement& element) {
    switch (element.getKind()) {
        case kindInteger: return std::to_string(element.getInteger());
        case kindName: return "/" + std::string(element.getName());
        case kindString: return "(" + std::string(element.getString()) + ")";
        case kindCommand: return element.getCommand();
        case kindNull: return "null";
        case kindBool: return element.getBool() ? "true" : "false";
        case kindReference:
            return std::to_string(element.getRefNumber()) + " " + std::to_string(element.getRefGeneration()) + " R";
        case kindArray: return "array";
        case kindDictionary: return "dictionary";
        case kindStream: return "stream";
        case kindEof: return "eof";
        case kindError: return "error";
        default: return "?";
    }
}
