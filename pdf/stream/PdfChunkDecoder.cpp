#include "pdf/stream/PdfChunkDecoder.h"

namespace {

bool isWhiteSpace(int c) { return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' '; }

}  // namespace

void CPdfChunkDecoder::reset() {
    source()->reset();
    length_ = next_ = 0;
    ended_ = false;
    restart();
}

bool CPdfChunkDecoder::fill() {
    if (next_ < length_) return true;
    if (ended_) return false;
    bool last = false;
    length_ = decodeChunk(chunk_, last);
    next_ = 0;
    ended_ = last || length_ == 0;
    return length_ != 0;
}

int CPdfChunkDecoder::getChar() { return fill() ? chunk_[next_++] : kEnd; }

int CPdfChunkDecoder::peekChar() { return fill() ? chunk_[next_] : kEnd; }

int CPdfChunkDecoder::nextSignificantChar() {
    int c = source()->getChar();
    while (c != kEnd && isWhiteSpace(c)) c = source()->getChar();
    return c;
}
