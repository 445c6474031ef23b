#pragma once

#include "pdf/objects/PdfElement.h"
#include "pdf/stream/PdfStream.h"

// Reads another stream (not owned), optionally stopping after a number of bytes.
class CPdfEmbedStream : public CPdfStream {
public:
    CPdfEmbedStream(CPdfStream* source, const CPdfElement& dictionary, bool limited, uint32_t length);

    void reset() override {}
    void close() override {}
    int getChar() override;
    int peekChar() override;
    CPdfDictionary* getDict() override;
    uint32_t getPos() override { return source_->getPos(); }
    void setPos(uint32_t, int) override {}
    uint32_t getStart() override { return 0; }
    void moveStart(uint32_t) override {}
    uint32_t getLength() override { return 0; }
    CPdfStream* makeSubStream(uint32_t, uint32_t, const CPdfElement&) override { return nullptr; }
    size_t read(uint8_t* destination, size_t count) override;

private:
    CPdfElement dictionary_;
    CPdfStream* source_;
    bool limited_;
    uint32_t remaining_;
};
