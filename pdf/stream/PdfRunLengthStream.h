#pragma once

#include "pdf/stream/PdfChunkDecoder.h"

// RunLengthDecode: a length byte 0 to 127 copies the next 1 to 128 bytes, 129 to 255 repeats the
// next byte 128 to 2 times, 128 ends the data. Data cut short ends where it stops.
class CPdfRunLengthStream : public CPdfChunkDecoder {
public:
    explicit CPdfRunLengthStream(CPdfStream* source) : CPdfChunkDecoder(source) { reset(); }

protected:
    size_t decodeChunk(Chunk& chunk, bool& last) override;
};
