#include "pdf/stream/PdfStream.h"

#include "pdf/objects/PdfException.h"

void CPdfStream::incRef() { ++refCount_; }

void CPdfStream::decRef() {
    if (--refCount_ == 0) delete this;
}

void CPdfStream::close() {}

int CPdfStream::getRawChar() {
    throw CPdfException("Internal: called getRawChar() on non-predictor stream");
}

CPdfStream* CPdfStream::getBaseStream() { return this; }

CPdfStream* CPdfStream::getUndecodedStream() { return this; }

CPdfStream::~CPdfStream() = default;

size_t CPdfStream::read(uint8_t* destination, size_t count) {
    size_t done = 0;
    while (done < count) {
        const int c = getChar();
        if (c == kEnd) break;
        destination[done++] = static_cast<uint8_t>(c);
    }
    return done;
}
