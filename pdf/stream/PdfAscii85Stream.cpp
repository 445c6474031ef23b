#include "pdf/stream/PdfAscii85Stream.h"

#include "pdf/objects/PdfException.h"

namespace {

constexpr int kFirstDigit = '!';
constexpr int kLastDigit = 'u';
constexpr int kZeroGroup = 'z';
constexpr int kEndMarkFirst = '~';
constexpr int kBase = 85;
constexpr int kGroupChars = 5;
constexpr int kGroupBytes = 4;
constexpr int kBitsPerByte = 8;
constexpr uint64_t kMaxGroupValue = 0xFFFFFFFFu;

[[noreturn]] void bad() { throw CPdfException("Bad ASCII85Decode data"); }

}  // namespace

size_t CPdfAscii85Stream::decodeChunk(Chunk& chunk, bool& last) {
    size_t length = 0;
    while (length + kGroupBytes <= chunk.size() && !last) {
        uint64_t value = 0;
        int count = 0;
        for (; count < kGroupChars; ++count) {
            const int c = nextSignificantChar();
            if (c == kZeroGroup && count == 0) break;
            if (c == kEnd || c == kEndMarkFirst) {  // what follows '~' is the '>' of the mark
                last = true;
                break;
            }
            if (c < kFirstDigit || c > kLastDigit) bad();
            value = value * kBase + static_cast<uint64_t>(c - kFirstDigit);
        }
        if (count == 1) bad();
        if (last && count == 0) break;
        // A short last group stands for itself padded with the highest digit, cut to count - 1 bytes.
        const int bytes = count == 0 ? kGroupBytes : count - 1;
        for (int k = count; k < kGroupChars && count > 0; ++k) value = value * kBase + (kLastDigit - kFirstDigit);
        if (value > kMaxGroupValue) bad();
        for (int k = 0; k < bytes; ++k)
            chunk[length++] = static_cast<uint8_t>(value >> (kBitsPerByte * (kGroupBytes - 1 - k)));
    }
    return length;
}
