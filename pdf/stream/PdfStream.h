#pragma once

#include <cstddef>
#include <cstdint>

class CPdfDictionary;
class CPdfElement;

// The counted byte-stream interface every reader byte comes through.
// getChar/peekChar return 0..255, or -1 at the end of the data.
class CPdfStream {
public:
    static constexpr int kEnd = -1;
    static constexpr int kFromStart = 0;
    static constexpr int kFromEnd = 2;

    CPdfStream() = default;
    CPdfStream(const CPdfStream&) = delete;
    CPdfStream& operator=(const CPdfStream&) = delete;

    virtual void incRef();
    virtual void decRef();
    virtual void reset() = 0;
    virtual void close();
    virtual int getChar() = 0;
    virtual int getRawChar();
    virtual int peekChar() = 0;
    virtual CPdfDictionary* getDict() = 0;
    virtual uint32_t getPos() = 0;
    virtual void setPos(uint32_t pos, int direction) = 0;
    virtual uint32_t getStart() = 0;
    virtual void moveStart(uint32_t delta) = 0;
    virtual uint32_t getLength() = 0;
    virtual CPdfStream* makeSubStream(uint32_t start, uint32_t length, const CPdfElement& dictionary) = 0;
    virtual CPdfStream* getBaseStream();
    virtual CPdfStream* getUndecodedStream();
    virtual ~CPdfStream();

    // Up to `count` bytes as getChar would give them; fewer only at the end. Decoders
    // override it to hand out their output in blocks.
    virtual size_t read(uint8_t* destination, size_t count);

    int32_t getRefCount() const { return refCount_; }

private:
    int32_t refCount_ = 1;
};

// Drops one counted reference on destruction: for streams a function holds only for its own span.
class CPdfStreamRef {
public:
    explicit CPdfStreamRef(CPdfStream* stream = nullptr) : stream_(stream) {}
    CPdfStreamRef(const CPdfStreamRef&) = delete;
    CPdfStreamRef& operator=(const CPdfStreamRef&) = delete;
    ~CPdfStreamRef() { if (stream_) stream_->decRef(); }
    CPdfStream* get() const { return stream_; }
    CPdfStream* operator->() const { return stream_; }
    CPdfStream* release() { CPdfStream* s = stream_; stream_ = nullptr; return s; }

private:
    CPdfStream* stream_;
};
