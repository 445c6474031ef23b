#include "fuzz/FuzzTargets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfException.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/QuillmorHandler.h"

namespace {

// Enough objects to reach deep into a token stream or a document without letting one input run
// for long.
constexpr int kMaxObjectsPerInput = 10000;
constexpr size_t kMaxDecodedBytes = 64u << 20;
// Decoded stream bytes read per document: enough to run every decoder, few enough to stay fast.
constexpr size_t kMaxDocumentStreamBytes = 4u << 20;
constexpr size_t kDecodeChunk = 64 * 1024;
constexpr int kPredictorChoices = 16;
constexpr size_t kEndMarkSearch = 32;

// A broken promise of the program: reported as a crash so that libFuzzer keeps the input.
[[noreturn]] void fail(const char* why) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", why);
    std::abort();
}

// A fresh folder for one run, removed with its content when the run ends.
class ScratchDir {
public:
    ScratchDir() {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "quillmor-fuzz-XXXXXX").string();
        if (error) pattern = "/tmp/quillmor-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data())) fail("cannot create a scratch folder");
        path_ = buffer.data();
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const char* name) const { return path_ + "/" + name; }
    size_t entryCount() const {
        std::error_code error;
        const auto entries = std::filesystem::directory_iterator(path_, error);
        return error ? 0 : static_cast<size_t>(std::distance(begin(entries), end(entries)));
    }

private:
    std::string path_;
};

void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) fail("cannot write the input file");
    if (size && std::fwrite(data, 1, size, file) != size) fail("cannot write the input file");
    std::fclose(file);
}

std::string readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Fetches every object of an opened document and reads its streams through their decoders, so
// that object streams, filters and decryption meet the input too. One bad object does not hide
// the ones after it.
void readEveryObject(CPdfXRef& xref) {
    const std::vector<XRefEntry>& entries = xref.getEntries();
    const size_t count = std::min(entries.size(), static_cast<size_t>(kMaxObjectsPerInput));
    size_t decoded = 0;
    std::vector<uint8_t> buffer(kDecodeChunk);
    for (size_t number = 0; number < count; ++number) {
        const XRefEntry entry = entries[number];
        if (entry.type == XRefEntryType::free) continue;
        try {
            CPdfElement object;
            xref.fetch(static_cast<int32_t>(number), entry.type == XRefEntryType::inUse ? entry.generation : 0, object);
            if (!object.is(kindStream)) continue;
            CPdfStream* stream = object.getStream();
            stream->reset();
            while (decoded < kMaxDocumentStreamBytes) {
                const size_t got = stream->read(buffer.data(), buffer.size());
                if (got == 0) break;
                decoded += got;
            }
        } catch (const CPdfException&) {
        }
    }
}

bool endsWithEndMark(const std::string& bytes) {
    const size_t from = bytes.size() > kEndMarkSearch ? bytes.size() - kEndMarkSearch : 0;
    return bytes.find("%%EOF", from) != std::string::npos;
}

// Messages of the cross-reference reader: the section and trailer a finished job writes are its
// own and must always read back. Other errors may come from damaged objects that the job copied as
// they stand, whose parse can run past their end into bytes that now differ.
const char* const kCrossReferenceMessages[] = {"PDF file was damaged", "Couldn't parse an xref",
                                               "Trailer dictionary is wrong type", "Too many cross-reference sections"};

void checkOutputOpens(const std::string& path) {
    try {
        CPdfDocument document;
        document.open(path.c_str(), nullptr, nullptr);
        document.close();
    } catch (const CPdfException& error) {
        const std::string message = error.getMessage();
        for (const char* known : kCrossReferenceMessages) {
            if (message.compare(0, std::strlen(known), known) != 0) continue;
            std::fprintf(stderr, "reading the output back: %s\n", message.c_str());
            fail("the cross-reference section of a finished job cannot be read back");
        }
    }
}

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
        std::vector<uint8_t> buffer(kDecodeChunk);
        size_t total = 0;
        while (total < kMaxDecodedBytes) {
            const size_t got = flate->read(buffer.data(), buffer.size());
            if (got == 0) break;
            total += got;
        }
    } catch (const CPdfException&) {
    }
}

void fuzzDocument(const uint8_t* data, size_t size) {
    const ScratchDir dir;
    const std::string input = dir.file("in.pdf");
    writeBytes(input, data, size);
    try {
        CPdfDocument document;
        document.open(input.c_str(), nullptr, nullptr);
        if (document.getXRef()) readEveryObject(*document.getXRef());
        document.close();
    } catch (const CPdfException&) {
    }
}

// Beyond not crashing, a job keeps its promises: the input stays as it was, a failed job leaves no
// file behind, and a finished one leaves exactly the output, which the reader can open again.
void fuzzResize(const uint8_t* data, size_t size) {
    const ScratchDir dir;
    const std::string input = dir.file("in.pdf");
    const std::string output = dir.file("out.pdf");
    writeBytes(input, data, size);
    const char* arguments[] = {"quillmor", input.c_str(), output.c_str(), "-page", "a4", "-con", "-center"};
    bool finished = false;
    try {
        CQuillmorHandler handler;
        handler.resizeFile(static_cast<int>(sizeof arguments / sizeof arguments[0]), arguments);
        finished = true;
    } catch (const CPdfException&) {
    }
    const std::string after = readBytes(input);
    if (after.size() != size || (size && std::memcmp(after.data(), data, size) != 0)) fail("the input file changed");
    if (!finished) {
        if (dir.entryCount() != 1) fail("a failed job left a file behind");
        return;
    }
    if (dir.entryCount() != 2) fail("a finished job left other files than its output");
    if (!endsWithEndMark(readBytes(output))) fail("the output does not end with an end-of-file mark");
    checkOutputOpens(output);
}
