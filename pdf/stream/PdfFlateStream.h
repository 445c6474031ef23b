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
    size_t read(uint8_t* destination, size_t count) override;

private:
    FlateInflater inflater_;
    std::unique_ptr<StreamPredictor> predictor_;
};
