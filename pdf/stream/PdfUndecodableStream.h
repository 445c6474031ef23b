#pragma once

#include "pdf/stream/PdfFilterStream.h"

// The data of a stream under a filter this reader has no decoder for (DCT, LZW, JBIG2 ...). The
// object stays usable, so that a job that only copies or wraps it works; reading its bytes
// throws CPdfException "Stream filter not supported".
class CPdfUndecodableStream : public CPdfFilterStream {
public:
    explicit CPdfUndecodableStream(CPdfStream* source) : CPdfFilterStream(source) {}

    void reset() override {}
    [[noreturn]] int getChar() override;
    [[noreturn]] int peekChar() override;
    [[noreturn]] size_t read(uint8_t* destination, size_t count) override;
    void setPos(uint32_t, int) override {}
    using CPdfFilterStream::setPos;
    uint32_t getStart() override { return 0; }
    void moveStart(uint32_t) override {}
    uint32_t getLength() override { return 0; }
    CPdfStream* makeSubStream(uint32_t, uint32_t, const CPdfElement&) override { return nullptr; }
};
