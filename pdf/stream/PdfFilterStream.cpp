#include "pdf/stream/PdfFilterStream.h"

#include "pdf/objects/PdfException.h"

// The source is deleted whatever its count: a decoding chain lives and dies as one.
CPdfFilterStream::~CPdfFilterStream() { delete source_; }

void CPdfFilterStream::setPos(uint32_t) { throw CPdfException("Internal: called setPos() on FilterStream"); }
