#pragma once

#include "pdf/stream/PdfStream.h"

// A window of a buffer in memory; the data is not owned and never copied.
// Positions are offsets in the whole buffer.
class CPdfMemoryStream : public CPdfStream {
public:
    CPdfMemoryStream(const uint8_t* data, uint32_t start, uint32_t length);

    void reset() override;
    int getChar() override;
    int peekChar() override;
    CPdfDictionary* getDict() override { return nullptr; }
    uint32_t getPos() override;
    void setPos(uint32_t pos, int direction) override;
    uint32_t getStart() override { return start_; }
    void moveStart(uint32_t delta) override;
    uint32_t getLength() override { return length_; }
    CPdfStream* makeSubStream(uint32_t start, uint32_t length, const CPdfElement& dictionary) override;
    size_t read(uint8_t* destination, size_t count) override;

private:
    const uint8_t* data_;
    uint32_t start_;
    uint32_t length_;
    const uint8_t* end_;
    const uint8_t* readPtr_;
};
