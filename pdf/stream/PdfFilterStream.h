#pragma once

#include "pdf/stream/PdfStream.h"

// Base of the decoding streams: reads a source stream, which it owns and deletes outright.
// Decoded data has no positions of its own: positions, windows and lengths are the source's, and
// no window can be cut from it.
class CPdfFilterStream : public CPdfStream {
public:
    explicit CPdfFilterStream(CPdfStream* source) : source_(source) {}

    void close() override { source_->close(); }
    CPdfDictionary* getDict() override { return source_->getDict(); }
    uint32_t getPos() override { return source_->getPos(); }
    void setPos(uint32_t, int) override {}
    uint32_t getStart() override { return source_->getStart(); }
    void moveStart(uint32_t delta) override { source_->moveStart(delta); }
    uint32_t getLength() override { return source_->getLength(); }
    CPdfStream* makeSubStream(uint32_t, uint32_t, const CPdfElement&) override { return nullptr; }
    virtual bool isDecoding() const { return true; }
    CPdfStream* getBaseStream() override { return source_->getBaseStream(); }
    CPdfStream* getUndecodedStream() override { return source_->getUndecodedStream(); }
    ~CPdfFilterStream() override;

    [[noreturn]] virtual void setPos(uint32_t pos);
    virtual CPdfStream* getNextStream() { return source_; }

protected:
    CPdfStream* source() const { return source_; }

private:
    CPdfStream* source_;
};
