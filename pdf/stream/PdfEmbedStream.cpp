#include "pdf/stream/PdfEmbedStream.h"

#include <algorithm>

#include "pdf/objects/PdfDictionary.h"

CPdfEmbedStream::CPdfEmbedStream(CPdfStream* source, const CPdfElement& dictionary, bool limited, uint32_t length)
    : dictionary_(dictionary), source_(source), limited_(limited), remaining_(length) {}

int CPdfEmbedStream::getChar() {
    if (limited_ && remaining_ == 0) return kEnd;
    --remaining_;
    return source_->getChar();
}

int CPdfEmbedStream::peekChar() {
    if (limited_ && remaining_ == 0) return kEnd;
    return source_->peekChar();
}

CPdfDictionary* CPdfEmbedStream::getDict() {
    return dictionary_.is(kindDictionary) ? dictionary_.getDictionary() : nullptr;
}

size_t CPdfEmbedStream::read(uint8_t* destination, size_t count) {
    if (limited_) count = std::min<size_t>(count, remaining_);
    const size_t done = source_->read(destination, count);
    remaining_ -= static_cast<uint32_t>(done);
    return done;
}
