#pragma once

#include "pdf/objects/PdfElement.h"
#include "pdf/stream/PdfStream.h"

// The data of a stream object whose Length is 0: no bytes, but the object's dictionary.
class CPdfEmptyStream : public CPdfStream {
public:
    explicit CPdfEmptyStream(const CPdfElement& dictionary) : dictionary_(dictionary) {}

    void reset() override {}
    int getChar() override { return kEnd; }
    int peekChar() override { return kEnd; }
    CPdfDictionary* getDict() override {
        return dictionary_.is(kindDictionary) ? dictionary_.getDictionary() : nullptr;
    }
    uint32_t getPos() override { return 0; }
    void setPos(uint32_t, int) override {}
    uint32_t getStart() override { return 0; }
    void moveStart(uint32_t) override {}
    uint32_t getLength() override { return 0; }
    CPdfStream* makeSubStream(uint32_t, uint32_t, const CPdfElement&) override { return nullptr; }
    size_t read(uint8_t*, size_t) override { return 0; }

private:
    CPdfElement dictionary_;
};
