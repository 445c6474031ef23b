#pragma once

#include <memory>

#include "pdf/stream/FlateInflater.h"
#include "pdf/stream/PdfFilterStream.h"

class StreamPredictor;

// Decodes zlib/deflate data from its source (owned), optionally undoing a PNG or TIFF predictor.
// Throws CPdfException for bad headers and broken deflate data, and from the constructor for
// predictor parameters that are negative or size a row above 1 MiB.
class CPdfFlateStream : public CPdfFilterStream {
public:
    CPdfFlateStream(CPdfStream* source, int predictor, int columns, int colors, int bitsPerComponent);
    ~CPdfFlateStream() override;

    void reset() override;
    int getChar() override;
    int getRawChar() override;
    int peekChar() override;
    void setPos(uint32_t, int) override {}
    using CPdfFilterStream::setPos;
    uint32_t getStart() override { return source()->getStart(); }
    void moveStart(uint32_t delta) override { source()->moveStart(delta); }
    uint32_t getLength() override { return source()->getLength(); }
    CPdfStream* makeSubStream(uint32_t, uint32_t, const CPdfElement&) override { return nullptr; }
    size_t read(uint8_t* destination, size_t count) override;
    virtual bool isDecoding() const { return true; }

private:
    FlateInflater inflater_;
    std::unique_ptr<StreamPredictor> predictor_;
};
