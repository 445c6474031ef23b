#pragma once

#include <cstddef>
#include <cstdint>

#include "pdf/stream/PdfStream.h"

// Hands out the bytes of a stream (not owned) one at a time, taking them in blocks so that a
// decoder runs in large steps.
class CPdfByteReader {
public:
    explicit CPdfByteReader(CPdfStream* stream) : stream_(stream) {}
    CPdfByteReader(const CPdfByteReader&) = delete;
    CPdfByteReader& operator=(const CPdfByteReader&) = delete;

    // The next byte, or -1 at the end.
    int getChar() {
        if (next_ == end_ && !refill()) return CPdfStream::kEnd;
        return buffer_[next_++];
    }

private:
    static constexpr size_t kBlockSize = 4096;

    bool refill() {
        next_ = 0;
        end_ = stream_->read(buffer_, kBlockSize);
        return end_ != 0;
    }

    CPdfStream* stream_;
    uint8_t buffer_[kBlockSize];
    size_t next_ = 0;
    size_t end_ = 0;
};
