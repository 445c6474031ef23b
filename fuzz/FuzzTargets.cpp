#include "fuzz/FuzzTargets.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfException.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "resize/QuillmorHandler.h"

namespace {

// Enough objects to reach deep into a token stream without letting one input run for long.
constexpr int kMaxObjectsPerInput = 10000;
constexpr size_t kMaxDecodedBytes = 64u << 20;
constexpr size_t kDecodeChunk = 64 * 1024;
constexpr int kPredictorChoices = 16;

// A scratch file that is removed when the run ends.
class ScratchFile {
public:
    explicit ScratchFile(const char* suffix) {
        const char* base = std::getenv("TMPDIR");
        path_ = std::string(base && *base ? base : "/tmp") + "/quillmor-fuzz-" + std::to_string(getpid()) + suffix;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }
    void write(const uint8_t* data, size_t size) const {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (!file) return;
        if (size) std::fwrite(data, 1, size, file);
        std::fclose(file);
    }

private:
    std::string path_;
};

}  // namespace

void fuzzParser(const uint8_t* data, size_t size) {
    try {
        CPdfParser parser(nullptr, new CPdfMemoryStream(data, 0, static_cast<uint32_t>(size)));
        for (int i = 0; i < kMaxObjectsPerInput; ++i) {
            CPdfElement object;
            parser.getObject(object);
            if (object.is(kindEof)) break;
        }
    } catch (const CPdfException&) {
    }
}

void fuzzFlate(const uint8_t* data, size_t size) {
    if (size < 1) return;
    // The first byte picks the predictor set-up, the rest is the compressed data.
    static const int predictors[kPredictorChoices] = {1, 2, 10, 11, 12, 13, 14, 15, 2, 2, 12, 15, 1, 2, 12, 15};
    static const int bits[kPredictorChoices] = {8, 8, 8, 8, 8, 8, 8, 8, 1, 4, 16, 2, 8, 16, 1, 8};
    const int choice = data[0] % kPredictorChoices;
    try {
        CPdfStreamRef flate(new CPdfFlateStream(new CPdfMemoryStream(data, 1, static_cast<uint32_t>(size - 1)),
                                                predictors[choice], 1 + data[0] / kPredictorChoices, 1 + choice % 4,
                                                bits[choice]));
        uint8_t buffer[kDecodeChunk];
        size_t total = 0;
        while (total < kMaxDecodedBytes) {
            const size_t got = flate->read(buffer, sizeof buffer);
            if (got == 0) break;
            total += got;
        }
    } catch (const CPdfException&) {
    }
}

void fuzzDocument(const uint8_t* data, size_t size) {
    ScratchFile input(".pdf");
    input.write(data, size);
    try {
        CPdfDocument document;
        document.open(input.path().c_str(), nullptr, nullptr);
        document.close();
    } catch (const CPdfException&) {
    }
}

void fuzzResize(const uint8_t* data, size_t size) {
    ScratchFile input(".pdf");
    ScratchFile output("-out.pdf");
    input.write(data, size);
    const char* arguments[] = {"quillmor", input.path().c_str(), output.path().c_str(), "-page", "a4", "-con", "-center"};
    try {
        CQuillmorHandler handler;
        handler.resizeFile(static_cast<int>(sizeof arguments / sizeof arguments[0]), arguments);
    } catch (const CPdfException&) {
    }
}
