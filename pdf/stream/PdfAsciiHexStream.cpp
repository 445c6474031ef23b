#include "pdf/stream/PdfAsciiHexStream.h"

#include "pdf/objects/PdfException.h"

namespace {

constexpr int kEndOfData = '>';
constexpr int kBitsPerDigit = 4;

int digitValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw CPdfException("Bad ASCIIHexDecode data");
}

}  // namespace

size_t CPdfAsciiHexStream::decodeChunk(Chunk& chunk, bool& last) {
    size_t length = 0;
    while (length < chunk.size()) {
        const int high = nextSignificantChar();
        if (high == kEnd || high == kEndOfData) {
            last = true;
            break;
        }
        const int low = nextSignificantChar();
        last = low == kEnd || low == kEndOfData;
        chunk[length++] = static_cast<uint8_t>(digitValue(high) << kBitsPerDigit | (last ? 0 : digitValue(low)));
        if (last) break;
    }
    return length;
}
