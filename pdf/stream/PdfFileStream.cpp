#include "pdf/stream/PdfFileStream.h"

#include <algorithm>
#include <cstring>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/stream/InputFile.h"

CPdfFileStream::CPdfFileStream(CInputFile* file, uint32_t start, uint32_t length, const CPdfElement& dictionary)
    : dictionary_(dictionary), file_(file), start_(start), length_(length), bufferPos_(start) {
    reset();
}

void CPdfFileStream::reset() { setPos(start_, kFromStart); }

void CPdfFileStream::setPos(uint32_t pos, int direction) {
    int64_t target = static_cast<int32_t>(pos);
    if (direction == kFromStart) target = pos;
    if (direction == kFromEnd) target += static_cast<int64_t>(file_->size());
    bufferPos_ = static_cast<uint32_t>(std::max<int64_t>(target, 0));
    readPtr_ = endPtr_ = buffer_;
}

void CPdfFileStream::moveStart(uint32_t delta) {
    start_ += delta;
    bufferPos_ = start_;
    readPtr_ = endPtr_ = buffer_;
}

bool CPdfFileStream::refill() {
    bufferPos_ += static_cast<uint32_t>(endPtr_ - buffer_);
    readPtr_ = endPtr_ = buffer_;
    uint32_t count = kBufferSize;
    if (length_ != 0) {
        const uint32_t end = start_ + length_;
        if (bufferPos_ >= end) return false;
        count = std::min<uint32_t>(count, end - bufferPos_);
    }
    endPtr_ = buffer_ + file_->readAt(bufferPos_, buffer_, count);
    return endPtr_ != buffer_;
}

int CPdfFileStream::getChar() {
    if (readPtr_ == endPtr_ && !refill()) return kEnd;
    return *readPtr_++;
}

int CPdfFileStream::peekChar() {
    if (readPtr_ == endPtr_ && !refill()) return kEnd;
    return *readPtr_;
}

size_t CPdfFileStream::read(uint8_t* destination, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (readPtr_ == endPtr_ && !refill()) break;
        const size_t piece = std::min(count - done, static_cast<size_t>(endPtr_ - readPtr_));
        std::memcpy(destination + done, readPtr_, piece);
        readPtr_ += piece;
        done += piece;
    }
    return done;
}

CPdfDictionary* CPdfFileStream::getDict() {
    return dictionary_.is(kindDictionary) ? dictionary_.getDictionary() : nullptr;
}

uint32_t CPdfFileStream::getPos() { return bufferPos_ + static_cast<uint32_t>(readPtr_ - buffer_); }

CPdfStream* CPdfFileStream::makeSubStream(uint32_t start, uint32_t length, const CPdfElement& dictionary) {
    return new CPdfFileStream(file_, start, length, dictionary);
}
