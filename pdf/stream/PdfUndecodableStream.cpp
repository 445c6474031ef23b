#include "pdf/stream/PdfUndecodableStream.h"

#include "pdf/objects/PdfException.h"

namespace {
constexpr char kNotSupported[] = "Stream filter not supported";
}

int CPdfUndecodableStream::getChar() { throw CPdfException(kNotSupported); }

int CPdfUndecodableStream::peekChar() { throw CPdfException(kNotSupported); }

size_t CPdfUndecodableStream::read(uint8_t*, size_t) { throw CPdfException(kNotSupported); }
