#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "pdf/stream/PdfFilterStream.h"

// Base of the small decoders (hex, ASCII base-85, run-length): each decodes a few bytes at a time
// into a chunk, from which getChar and peekChar hand them out. Positions and windows are the
// source's, as for Flate.
class CPdfChunkDecoder : public CPdfFilterStream {
public:
    explicit CPdfChunkDecoder(CPdfStream* source) : CPdfFilterStream(source) {}

    void reset() override;
    int getChar() override;
    int peekChar() override;

protected:
    static constexpr size_t kChunkCapacity = 128;
    using Chunk = std::array<uint8_t, kChunkCapacity>;

    // Decodes the next piece into `chunk` and returns its length. Returning 0, or setting `last`,
    // ends the data for good, so that nothing after an end-of-data mark is read.
    virtual size_t decodeChunk(Chunk& chunk, bool& last) = 0;
    // Forgets what a previous pass left behind; the source has just been reset.
    virtual void restart() {}
    // The next source byte that is not PDF white space, or kEnd.
    int nextSignificantChar();

private:
    bool fill();

    Chunk chunk_{};
    size_t length_ = 0;
    size_t next_ = 0;
    bool ended_ = false;
};
