#include "pdf/stream/PdfMemoryStream.h"

#include <algorithm>
#include <cstring>

CPdfMemoryStream::CPdfMemoryStream(const uint8_t* data, uint32_t start, uint32_t length)
    : data_(data), start_(start), length_(length), end_(data + start + length), readPtr_(data + start) {}

void CPdfMemoryStream::reset() { readPtr_ = data_ + start_; }

int CPdfMemoryStream::getChar() { return readPtr_ < end_ ? *readPtr_++ : kEnd; }

int CPdfMemoryStream::peekChar() { return readPtr_ < end_ ? *readPtr_ : kEnd; }

uint32_t CPdfMemoryStream::getPos() { return static_cast<uint32_t>(readPtr_ - data_); }

void CPdfMemoryStream::setPos(uint32_t pos, int direction) {
    uint64_t target = pos;
    if (direction == kFromEnd) target = pos > uint64_t{start_} + length_ ? 0 : uint64_t{start_} + length_ - pos;
    target = std::clamp<uint64_t>(target, start_, uint64_t{start_} + length_);
    readPtr_ = data_ + target;
}

void CPdfMemoryStream::moveStart(uint32_t delta) {
    delta = std::min(delta, length_);
    start_ += delta;
    length_ -= delta;
    readPtr_ = data_ + start_;
}

CPdfStream* CPdfMemoryStream::makeSubStream(uint32_t start, uint32_t length, const CPdfElement&) {
    if (length == 0) length = length_ > start ? length_ - start : 0;
    // The buffer is known to reach only as far as this window's end: never read past it.
    const uint32_t end = start_ + length_;
    start = std::min(start, end);
    length = std::min(length, end - start);
    return new CPdfMemoryStream(data_, start, length);
}

size_t CPdfMemoryStream::read(uint8_t* destination, size_t count) {
    const size_t piece = std::min(count, static_cast<size_t>(end_ - std::min(readPtr_, end_)));
    if (piece) std::memcpy(destination, readPtr_, piece);
    readPtr_ += piece;
    return piece;
}
