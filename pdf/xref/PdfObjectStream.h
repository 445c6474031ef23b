#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "pdf/objects/PdfElement.h"

class CPdfResolver;
class CPdfStream;

// The decoded bytes of one object stream with the object numbers and offsets of its header.
// The parsed and the text form share it, so that a stream is decoded once for both.
class CPdfObjectStreamData {
public:
    // Decoded data beyond this ends the load: it guards against decompression bombs.
    static constexpr size_t kMaxDecodedBytes = size_t{64} << 20;

    // Fetches object `number` through `xref` and decodes it. Anything that is not a usable object
    // stream gives one without objects. Throws "Object stream too large"; decoder errors pass on.
    static std::shared_ptr<const CPdfObjectStreamData> load(CPdfResolver& xref, uint32_t number);

    uint32_t getNumber() const { return number_; }
    int32_t getCount() const { return static_cast<int32_t>(numbers_.size()); }
    size_t getMemorySize() const { return data_.size() + numbers_.size() * 2 * sizeof(uint32_t); }
    const uint8_t* getData() const { return data_.data(); }
    // The object number the header gives for `index` (0 <= index < getCount()).
    uint32_t getObjectNumber(int32_t index) const { return numbers_[static_cast<size_t>(index)]; }
    // The bytes [begin, end) of the object at `index`, when the header names object `number` there.
    bool findObject(int32_t index, int32_t number, uint32_t& begin, uint32_t& end) const;

private:
    explicit CPdfObjectStreamData(uint32_t number) : number_(number) {}
    // Reads small data whole; of large data only counts the bytes (`total`) and returns false.
    bool readData(CPdfStream& stream, size_t& total);
    void readHeader(int32_t count);

    uint32_t number_;
    std::vector<uint8_t> data_;
    uint32_t first_ = 0;
    std::vector<uint32_t> numbers_;
    std::vector<int32_t> offsets_;
};

// The objects of one object stream, each parsed on its first request and then handed out as
// copies (counted parts shared).
class CPdfObjectStream {
public:
    CPdfObjectStream(std::shared_ptr<const CPdfObjectStreamData> data, CPdfResolver* xref);

    uint32_t getNumber() const { return data_->getNumber(); }
    // Object `number` at `index`, or kindNull when the stream does not hold it there.
    void getStoredObject(int32_t index, int32_t number, CPdfElement& out);
    // Bytes of object text parsed so far (each object once).
    uint64_t getParsedBytes() const { return parsedBytes_; }

private:
    std::shared_ptr<const CPdfObjectStreamData> data_;
    CPdfResolver* xref_;
    std::vector<CPdfElement> objects_;  // kindNone until parsed
    uint64_t parsedBytes_ = 0;
};

// The decoded data of the most recently used object streams, within a memory budget, so that
// going back and forth between a few object streams does not decode them again.
class CPdfObjectStreamStore {
public:
    static constexpr size_t kMemoryBudget = size_t{64} << 20;
    static constexpr size_t kMaxStreams = 32;

    std::shared_ptr<const CPdfObjectStreamData> get(CPdfResolver& xref, uint32_t number);
    void clear();

private:
    std::list<std::shared_ptr<const CPdfObjectStreamData>> recent_;  // most recent first
    size_t bytes_ = 0;
};
