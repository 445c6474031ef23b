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
#include <utility>
#include <vector>

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfException.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/security/Aes256KeyDerivation.h"
#include "pdf/security/AesCbcCipher.h"
#include "pdf/security/ObjectEncryptor.h"
#include "pdf/security/PdfDecryptStream.h"
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

// The AES-256 target's input: a flags byte, P (low byte first), O, U, OE, UE and Perms, then the
// password. Missing bytes count as zeros.
constexpr size_t kPermissionBytes = 4;
constexpr size_t kEntrySizes[] = {48, 48, 32, 32, 16};
constexpr uint8_t kFlagRevision6 = 1, kFlagEncryptMetadata = 2;
// The password hash costs a few hundred milliseconds under the sanitizers, and its course hardly
// depends on the data: only inputs with this flag pay for it.
constexpr uint8_t kFlagDeriveKey = 4;
constexpr size_t kCipherKeySize = 32;

// Takes `count` bytes from the front of the input, zeros where it has run out.
std::vector<uint8_t> take(const uint8_t*& data, size_t& size, size_t count) {
    std::vector<uint8_t> out(count, 0);
    const size_t available = std::min(count, size);
    std::copy(data, data + available, out.begin());
    data += available;
    size -= available;
    return out;
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

namespace {

// Opens the input as a document and hands it to `explore`; CPdfException is the accepted ending.
template <typename Explore>
void exploreDocument(const uint8_t* data, size_t size, Explore explore) {
    const ScratchDir dir;
    const std::string input = dir.file("in.pdf");
    writeBytes(input, data, size);
    try {
        CPdfDocument document;
        document.open(input.c_str(), nullptr, nullptr);
        if (document.getXRef()) explore(document, *document.getXRef());
    } catch (const CPdfException&) {
    }
}

}  // namespace

void fuzzDocument(const uint8_t* data, size_t size) {
    exploreDocument(data, size, [](CPdfDocument& document, CPdfXRef& xref) {
        readEveryObject(xref);
        if (document.isOk()) document.getOutline();
    });
}

// Every input through the table rebuilt from its objects, whether its sections are sound or not.
void fuzzRepair(const uint8_t* data, size_t size) {
    exploreDocument(data, size, [](CPdfDocument& document, CPdfXRef& xref) {
        if (!xref.wasRepaired()) xref.rebuild();
        readEveryObject(xref);
        if (document.isOk()) document.getCatalog();
    });
}

namespace {

// Runs one job on the input. Beyond not crashing, a job keeps its promises: the input stays as it
// was, a failed job leaves no file behind, and a finished one leaves exactly the output, which
// the reader can open again.
// Gives the output, or nothing when the job failed.
std::string runJob(const uint8_t* data, size_t size, const ResizeSettings& settings) {
    const ScratchDir dir;
    const std::string input = dir.file("in.pdf");
    const std::string output = dir.file("out.pdf");
    writeBytes(input, data, size);
    bool finished = false;
    try {
        CQuillmorHandler(JobRequest{input, output, settings}).resizeFile();
        finished = true;
    } catch (const CPdfException&) {
    }
    const std::string after = readBytes(input);
    if (after.size() != size || (size && std::memcmp(after.data(), data, size) != 0)) fail("the input file changed");
    if (!finished) {
        if (dir.entryCount() != 1) fail("a failed job left a file behind");
        return std::string();
    }
    if (dir.entryCount() != 2) fail("a finished job left other files than its output");
    std::string written = readBytes(output);
    if (!endsWithEndMark(written)) fail("the output does not end with an end-of-file mark");
    checkOutputOpens(output);
    return written;
}

ResizeSettings fitToA4Centred() {
    ResizeSettings settings;
    const double a4[] = {0, 0, 595, 842};
    std::copy(std::begin(a4), std::end(a4), settings.pageSize);
    settings.constrainProportions = settings.center = true;
    return settings;
}

// The pages of the input as a job finds them; none when it cannot.
std::vector<PageRecord> surveyPages(const uint8_t* data, size_t size) {
    const ScratchDir dir;
    const std::string input = dir.file("in.pdf");
    writeBytes(input, data, size);
    try {
        return CQuillmorHandler(JobRequest{input, dir.file("out.pdf"), fitToA4Centred()}).surveyPages();
    } catch (const CPdfException&) {
        return {};
    }
}

// The option sets of the jobs target, each reaching code the others leave alone.
std::vector<ResizeSettings> jobOptionSets() {
    std::vector<ResizeSettings> sets;
    ResizeSettings update = fitToA4Centred();
    update.incremental = true;
    sets.push_back(update);
    ResizeSettings firstPageHalf;
    firstPageHalf.scale = firstPageHalf.scaleX = firstPageHalf.scaleY = 50;
    firstPageHalf.pageRanges = "-s1";
    sets.push_back(firstPageHalf);
    ResizeSettings stretched;
    stretched.scaleX = 200;
    stretched.offsetX = 10;
    stretched.offsetY = -20;
    sets.push_back(stretched);
    ResizeSettings sizeOnly = fitToA4Centred();
    sizeOnly.noScale = true;
    sets.push_back(sizeOnly);
    ResizeSettings asSeen = fitToA4Centred();
    asSeen.visible = true;
    sets.push_back(asSeen);
    ResizeSettings asSeenMoved;
    asSeenMoved.visible = true;
    asSeenMoved.scaleX = 50;
    asSeenMoved.offsetX = -30;
    sets.push_back(asSeenMoved);
    ResizeSettings shrinkOnly = fitToA4Centred();
    shrinkOnly.noEnlarge = true;
    sets.push_back(shrinkOnly);
    ResizeSettings margin;
    margin.scale = margin.scaleX = margin.scaleY = 90;
    margin.keepSize = margin.center = true;
    sets.push_back(margin);
    return sets;
}

}  // namespace

// As "-page a4 -con -center" gives it. A selection of every page copies the objects after the
// page walk instead of during it, and must give the same bytes.
void fuzzResize(const uint8_t* data, size_t size) {
    const std::string output = runJob(data, size, fitToA4Centred());
    const std::vector<PageRecord> pages = surveyPages(data, size);
    const auto filled = [](const PageRecord& record) { return record.filled; };
    if (output.empty() || pages.empty() || !std::all_of(pages.begin(), pages.end(), filled)) return;
    ResizeSettings everyPage = fitToA4Centred();
    everyPage.pageRanges = "-s1-" + std::to_string(pages.size());
    if (runJob(data, size, everyPage) != output) fail("a copy during the page walk differs from one after it");
}

// The option set comes from the input's length, so that the input stays a plain file that any
// reader opens, and a kept input replays under the options that found it.
void fuzzJobs(const uint8_t* data, size_t size) {
    static const std::vector<ResizeSettings> sets = jobOptionSets();
    runJob(data, size, sets[size % sets.size()]);
}

// What the parser gets from encrypted bytes of object 1 under `fileKey`.
std::string decryptObjectBytes(const std::string& stored, const FileKey& fileKey) {
    static const uint8_t kNoData = 0;
    const uint8_t* bytes = stored.empty() ? &kNoData : reinterpret_cast<const uint8_t*>(stored.data());
    CPdfStreamRef decrypt(new CPdfDecryptStream(new CPdfMemoryStream(bytes, 0, static_cast<uint32_t>(stored.size())),
                                                fileKey, 1, 0));
    std::string plain;
    for (int c; (c = decrypt->getChar()) != CPdfStream::kEnd;) plain += static_cast<char>(c);
    return plain;
}

// Beyond not crashing: a password that unlocks yields a role, CBC without padding undoes itself on
// whole blocks, and with padding gives back what it sealed; the decrypting stream opens what the
// output's encryptor seals under an AES-256 file key, and takes any bytes.
void fuzzAes256(const uint8_t* data, size_t size) {
    const uint8_t flags = take(data, size, 1)[0];
    Aes256EncryptionValues values;
    values.revision = flags & kFlagRevision6 ? 6 : 5;
    values.encryptMetadata = (flags & kFlagEncryptMetadata) != 0;
    for (const uint8_t b : take(data, size, kPermissionBytes)) values.permissions = values.permissions >> 8 | uint32_t{b} << 24;
    std::vector<uint8_t>* entries[] = {&values.owner, &values.user, &values.ownerWrappedKey, &values.userWrappedKey,
                                       &values.perms};
    for (size_t k = 0; k < std::size(entries); ++k) *entries[k] = take(data, size, kEntrySizes[k]);
    const std::string password(reinterpret_cast<const char*>(data), size);
    try {
        const CAes256KeyDerivation derivation(values);
        FileKey256 key;
        std::copy(values.owner.begin(), values.owner.begin() + key.size(), key.begin());
        derivation.checkPerms(key);
        if (CAes256KeyDerivation::preparePassword(password).size() > CAes256KeyDerivation::kMaxPasswordBytes)
            fail("a prepared password is longer than the limit");
        if (flags & kFlagDeriveKey) {
            const Aes256Unlock unlocked = derivation.unlock(password);
            if (unlocked.role == PasswordRole::none && unlocked.fileKey != FileKey256{}) fail("a refused password left a key");
        }
    } catch (const CPdfException&) {
        fail("well-sized entries were refused");
    }
    const std::vector<uint8_t> bytes(data, data + size);
    const CAesCbcCipher cipher(std::vector<uint8_t>(values.owner.begin(), values.owner.begin() + kCipherKeySize));
    AesBlock iv;
    std::copy(values.user.begin(), values.user.begin() + iv.size(), iv.begin());
    const std::vector<uint8_t> whole(bytes.begin(), bytes.end() - bytes.size() % CAes::kBlockSize);
    if (cipher.encrypt(iv, cipher.decrypt(iv, bytes, AesPadding::none), AesPadding::none) != whole)
        fail("CBC decryption and encryption are not inverse");
    if (cipher.decrypt(iv, cipher.encrypt(iv, bytes, AesPadding::pkcs5), AesPadding::pkcs5) != bytes)
        fail("padded CBC does not give back what it sealed");
    cipher.decrypt(iv, bytes, AesPadding::pkcs5);

    const FileKey fileKey(values.owner.data(), FileKey::kMaxLength, CipherKind::aes256);
    const std::string plain(bytes.begin(), bytes.end());
    if (decryptObjectBytes(ObjectEncryptor(fileKey).encrypt(plain, 1, 0), fileKey) != plain)
        fail("an AES-256 object does not decrypt to what was sealed");
    decryptObjectBytes(plain, fileKey);
}
