#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/security/FileKey.h"

class CPdfParser;
class CPdfStream;

// The numbers are those of a cross-reference stream's first field.
enum class XRefEntryType : uint32_t {
    free = 0,
    inUse = 1,       // `offset` relative to the "%PDF-" header
    compressed = 2,  // `offset` is the object stream's number and `generation` the index in it
};

// One cross-reference entry.
struct XRefEntry {
    static constexpr uint32_t kUndefined = 0xFFFFFFFFu;

    uint32_t offset = kUndefined;
    uint32_t generation = 0;
    XRefEntryType type = XRefEntryType::free;
};

// The section that startxref names: where it is (from the header) and its form. An update
// appended to the file names it as its /Prev and takes the same form.
struct NewestSection {
    enum class Form { table, stream, hybrid };
    uint32_t position = 0;
    Form form = Form::table;
};

struct ObjectRef {
    int32_t number = 0;
    uint32_t generation = 0;
};

// Reads the cross-reference sections and the trailer of a file, and fetches objects by number.
class CPdfXRef : public CPdfResolver {
public:
    // Fetches that start while others are still reading (an indirect Length, an object stream)
    // deeper than this end with an exception instead of exhausting the stack.
    static constexpr size_t kMaxFetchDepth = 16;
    // Bytes that fetches may parse in all, as a base plus a multiple of the file's size. Real
    // documents read each object a few times, and a large shared one comes from a small cache;
    // a file that points at many large objects from everywhere would otherwise cost their size
    // times the number of pointers.
    static constexpr uint64_t kBaseParseBudget = uint64_t{2} << 20;
    static constexpr uint64_t kParseBudgetPerFileByte = 16;
    // What one fetch of a file object is charged beyond the bytes it parsed past the parser's
    // first block, which every fetch reads whatever the object's size.
    static constexpr uint64_t kFetchCost = 64;
    static constexpr uint64_t kFirstBlockBytes = 1024;

    CPdfXRef();
    ~CPdfXRef() override;
    CPdfXRef(const CPdfXRef&) = delete;
    CPdfXRef& operator=(const CPdfXRef&) = delete;

    // Reads everything through `stream` (not owned), whose start is the "%PDF-" header. When the
    // cross-reference data cannot be used, rebuilds the table from the objects in the file.
    void open(CPdfStream* stream);
    bool isOk() const;
    // Rebuilds the table from the objects found in the file, for data that looked sound but
    // pointed at the wrong bytes. Throws "PDF file was damaged" when no catalog can be found.
    void rebuild();
    // The table was rebuilt from the file's objects instead of read from its sections.
    bool wasRepaired() const;
    // Of a table read from its sections (not a rebuilt one).
    NewestSection getNewestSection() const;
    // Runs `read`, which reads objects through this table. Sections that read well may still point
    // at the wrong bytes: when `read` fails on such a table, it is rebuilt from the objects and
    // `read` runs again. When that fails too, the first failure is the one reported.
    void readRebuilding(const std::function<void()>& read);

    const std::vector<XRefEntry>& getEntries() const;
    ObjectRef getRootRef() const;
    ObjectRef getInfoRef() const;
    // The newest section's trailer dictionary, bound to this table after open.
    const CPdfElement& getTrailer() const;
    uint32_t getStart() const;

    // Object `number` with `generation`, or kindNull when there is none; throws "Corrupted PDF file"
    // for a number outside the entry vector.
    void fetch(int32_t number, uint32_t generation, CPdfElement& out) override;

    // The raw text of a compressed object inside its decoded object stream, or null. The text
    // stays valid until the next call for an object of another object stream.
    const char* getCompressedObjectText(int32_t number, uint32_t generation, uint32_t& length);

    void setEncryption(uint32_t permissionFlags, bool ownerPasswordOk, const uint8_t* key, int keyLength,
                       int encVersion, CipherKind cipher);
    // Whether metadata streams are encrypted like every other stream (the default).
    void setEncryptMetadata(bool encryptMetadata);
    bool isEncrypted() const;
    const FileKey& getFileKey() const;

private:
    struct Impl;
    class FetchScope;

    void readSections();
    // Whether the bytes at the entry's offset start with the object's own "n g obj".
    bool holdsOwnHeader(int32_t number);
    // Reads "number generation obj" from the parser; whether they name this object.
    static bool readOwnHeader(CPdfParser& parser, int32_t number, uint32_t generation);
    void takeTrailer(const CPdfElement& trailer);
    // Objects of the object streams a rebuilt table found, where no later plain object has the number.
    void addCompressedEntries();
    // Calls `visit` with every object in use below `end` that can be read, in number order.
    void forEachPlainObject(size_t end, const std::function<void(uint32_t, const CPdfElement&)>& visit);
    void fetchInUse(int32_t number, uint32_t generation, const XRefEntry& entry, CPdfElement& out);
    void fetchCompressed(int32_t number, const XRefEntry& entry, CPdfElement& out);
    void chargeParse(uint64_t bytes);

    std::unique_ptr<Impl> impl_;
};
