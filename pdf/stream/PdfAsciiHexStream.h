#pragma once

#include "pdf/stream/PdfChunkDecoder.h"

// ASCIIHexDecode: pairs of hex digits, white space ignored, '>' ends the data; a lone last digit
// counts as followed by 0. Any other character throws CPdfException.
class CPdfAsciiHexStream : public CPdfChunkDecoder {
public:
    explicit CPdfAsciiHexStream(CPdfStream* source) : CPdfChunkDecoder(source) { reset(); }

protected:
    size_t decodeChunk(Chunk& chunk, bool& last) override;
};
