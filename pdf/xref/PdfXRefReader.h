#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "pdf/objects/PdfElement.h"
#include "pdf/xref/PdfXRef.h"

class CPdfParser;
class CPdfStream;
class CPdfByteReader;

// Reads the cross-reference sections of a file along their Prev chain into one entry per object
// number and the newest section's trailer. Entries that a newer section defined stay.
class CPdfXRefReader {
public:
    // Longest entry vector accepted: beyond it the numbers cannot describe a real file.
    static constexpr uint32_t kMaxEntries = 8388608;
    // Bytes of one row of a classic table.
    static constexpr uint64_t kClassicEntryBytes = 20;
    // Sections one Prev chain may hold: far more than incremental saves produce, few enough
    // that a file made of nothing but sections is refused at once.
    static constexpr size_t kMaxSections = 4096;

    // `stream` is the document stream (not owned) whose start is the "%PDF-" header.
    CPdfXRefReader(CPdfStream* stream, std::vector<XRefEntry>& entries, CPdfElement& trailer);

    // The number after the last "startxref" in the file's last 1023 bytes; 0 when there is none.
    uint32_t findStartXRef();
    // Reads the section at `position` (from the header) and the older ones its Prev chain names.
    void readChain(uint32_t position);

private:
    struct Widths {
        uint32_t type;
        uint32_t offset;
        uint32_t generation;
        uint64_t total() const { return uint64_t{type} + offset + generation; }
    };
    // Entries of a cross-reference stream that a hybrid table's section collects before use.
    using PendingEntries = std::vector<std::pair<uint32_t, XRefEntry>>;

    bool readXRef(uint32_t position, uint32_t& prev);
    bool readXRefTable(CPdfParser& parser, uint32_t& prev);
    bool readXRefStream(const CPdfElement& streamObject, uint32_t& prev);
    void readXRefStreamEntries(const CPdfElement& streamObject, PendingEntries* pending);
    void readXRefStreamSection(CPdfByteReader& reader, const Widths& widths, int32_t first, int32_t count,
                               PendingEntries* pending);
    void readHybridStream(uint32_t position, const std::vector<uint32_t>& freedByTable);

    // A parser over the file from `position` (from the header) on, resolving nothing.
    CPdfParser* makeParserAt(uint32_t position);
    // The Prev entry of a section's dictionary as a position.
    static bool previousSection(const CPdfElement& dictionary, uint32_t& prev);
    // A subsection must start at 0 or above, end within kMaxEntries, and take no more bytes
    // (each entry at least one) than the file has: a stream's data never decodes to more in a
    // real file, and so a small file cannot ask for millions of entries.
    void checkRange(int32_t first, int32_t count, uint64_t bytesPerEntry) const;
    void growTo(uint64_t count);
    void keepTrailer(const CPdfElement& dictionary);

    CPdfStream* stream_;
    std::vector<XRefEntry>& entries_;
    CPdfElement& trailer_;
    uint32_t start_;
    uint32_t fileEnd_;
};
