#pragma once

#include "pdf/stream/PdfChunkDecoder.h"

// ASCII85Decode: groups of five characters '!' to 'u' for four bytes, 'z' for four zero bytes,
// white space ignored, "~>" ends the data; a last group of n characters gives n - 1 bytes.
// Other characters, a group worth more than 32 bits and a last group of one character throw
// CPdfException.
class CPdfAscii85Stream : public CPdfChunkDecoder {
public:
    explicit CPdfAscii85Stream(CPdfStream* source) : CPdfChunkDecoder(source) { reset(); }

protected:
    size_t decodeChunk(Chunk& chunk, bool& last) override;
};
