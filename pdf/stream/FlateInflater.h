#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "pdf/stream/FlateBitReader.h"
#include "pdf/stream/FlateCodeTable.h"

class CPdfStream;

// The block state machine of a zlib stream (RFC 1950, 1951): reads the header, then stored,
// fixed and dynamic blocks, decoding into a window that is both the 32 KB history for
// back-references and the queue of decoded bytes not yet handed out.
//
// Faults in the data are found ahead of the reader, but they are reported (as CPdfException)
// only once every byte decoded before them has been handed out, and again on every later call.
class FlateInflater {
public:
    explicit FlateInflater(CPdfStream& source);
    ~FlateInflater();
    FlateInflater(const FlateInflater&) = delete;
    FlateInflater& operator=(const FlateInflater&) = delete;

    // Resets the source and reads the zlib header from it. Throws for an unknown method, a bad
    // check value or a preset dictionary; a source of fewer than two bytes gives no data.
    void restart();

    int getByte() {
        if (next_ == end_ && !decodeMore()) return -1;
        return *next_++;
    }
    int peekByte() {
        if (next_ == end_ && !decodeMore()) return -1;
        return *next_;
    }
    // Up to `count` bytes; fewer only at the end of the data.
    size_t read(uint8_t* destination, size_t count);

private:
    enum class State { BlockStart, Stored, Compressed, Finished, Failed };

    // Decodes at least one more byte unless the data ends; false at the end.
    bool decodeMore();
    void allocateWindow();
    void slideWindow();
    void decodeUntil(size_t limit);

    bool startBlock();
    bool startStoredBlock();
    bool readDynamicTables();
    void copyStored(size_t limit);
    void decodeCompressed(size_t limit);
    void decodeFast(size_t limit);
    bool decodeOneSymbol();
    int decodeSymbol(const FlateCodeTable& table);
    void endBlock();
    bool fail(const char* message);

    FlateBitReader reader_;
    CPdfStream& source_;
    std::unique_ptr<uint8_t[]> window_;
    size_t write_ = 0;            // window index of the next decoded byte
    const uint8_t* next_ = nullptr;
    const uint8_t* end_ = nullptr;
    bool historyUsed_ = false;

    State state_ = State::Finished;
    bool lastBlock_ = false;
    uint32_t storedLeft_ = 0;
    const char* failure_ = nullptr;
    const FlateCodeTable* literals_ = nullptr;
    const FlateCodeTable* distances_ = nullptr;
    FlateCodeTable dynamicLiterals_;
    FlateCodeTable dynamicDistances_;
    FlateCodeTable codeLengthTable_;
};
