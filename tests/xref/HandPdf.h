#pragma once
// Files assembled by hand, byte for byte, for the layouts a builder does not make on purpose:
// odd tables, hand-made cross-reference streams, object streams with chosen offsets.

#include <cstdint>
#include <map>
#include <string>

class HandPdf {
public:
    explicit HandPdf(std::string header = "%PDF-1.5\n") : bytes_(std::move(header)) {}

    // "n g obj\n" body "\nendobj\n", remembering where it starts.
    void object(int number, const std::string& body, int generation = 0);
    // A stream object whose dictionary gets /Length of the data, unfiltered.
    void stream(int number, const std::string& dictEntries, const std::string& data);
    void raw(const std::string& bytes) { bytes_ += bytes; }

    uint32_t offsetOf(int number) const { return offsets_.at(number); }
    uint32_t position() const { return static_cast<uint32_t>(bytes_.size()); }
    // Ends the file with "startxref", the position and "%%EOF".
    std::string finish(uint32_t xrefPosition) const;

private:
    std::string bytes_;
    std::map<int, uint32_t> offsets_;
};

// One 20-byte row of a classic table.
std::string tableRow(uint32_t offset, uint32_t generation, char type);
// Big-endian bytes of `value` in `width` bytes.
std::string field(uint64_t value, int width);
