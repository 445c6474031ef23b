#pragma once

#include "pdf/objects/PdfElement.h"
#include "pdf/stream/PdfStream.h"

class CInputFile;

// A window of the input file. Positions are absolute file positions; a length of 0 means
// the window runs to the end of the file.
class CPdfFileStream : public CPdfStream {
public:
    CPdfFileStream(CInputFile* file, uint32_t start, uint32_t length, const CPdfElement& dictionary);

    void reset() override;
    int getChar() override;
    int peekChar() override;
    CPdfDictionary* getDict() override;
    uint32_t getPos() override;
    void setPos(uint32_t pos, int direction) override;
    uint32_t getStart() override { return start_; }
    void moveStart(uint32_t delta) override;
    uint32_t getLength() override { return length_; }
    CPdfStream* makeSubStream(uint32_t start, uint32_t length, const CPdfElement& dictionary) override;
    size_t read(uint8_t* destination, size_t count) override;

private:
    static constexpr size_t kBufferSize = 1024;

    bool refill();

    CPdfElement dictionary_;
    CInputFile* file_;
    uint32_t start_;
    uint32_t length_;
    uint32_t bufferPos_;
    uint8_t buffer_[kBufferSize];
    const uint8_t* readPtr_ = buffer_;
    const uint8_t* endPtr_ = buffer_;
};
