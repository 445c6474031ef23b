#include "pdf/stream/PdfRunLengthStream.h"

namespace {

constexpr int kEndOfData = 128;
constexpr int kRepeatBase = 257;  // a length byte n above 128 repeats 257 - n times

}  // namespace

size_t CPdfRunLengthStream::decodeChunk(Chunk& chunk, bool& last) {
    const int code = source()->getChar();
    if (code == kEnd || code == kEndOfData) return 0;
    if (code < kEndOfData) {
        size_t length = 0;
        for (int k = 0; k <= code; ++k) {
            const int c = source()->getChar();
            if (c == kEnd) {
                last = true;
                break;
            }
            chunk[length++] = static_cast<uint8_t>(c);
        }
        return length;
    }
    const int c = source()->getChar();
    if (c == kEnd) return 0;
    const size_t count = static_cast<size_t>(kRepeatBase - code);
    chunk.fill(static_cast<uint8_t>(c));
    return count;
}
