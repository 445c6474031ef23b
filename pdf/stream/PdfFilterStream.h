#pragma once

#include "pdf/stream/PdfStream.h"

// Base of the decoding streams: reads a source stream, which it owns and deletes outright.
class CPdfFilterStream : public CPdfStream {
public:
    explicit CPdfFilterStream(CPdfStream* source) : source_(source) {}

    void close() override { source_->close(); }
    CPdfDictionary* getDict() override { return source_->getDict(); }
    uint32_t getPos() override { return source_->getPos(); }
    void setPos(uint32_t pos, int direction) override = 0;
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
