#include "pdf/stream/FlateBitReader.h"

#include <algorithm>
#include <cstring>

#include "pdf/stream/PdfStream.h"

FlateBitReader::FlateBitReader(CPdfStream& source) : source_(source) { restart(); }

FlateBitReader::~FlateBitReader() = default;

void FlateBitReader::restart() {
    cursor_ = Cursor{0, 0, input_.get(), input_.get()};
    sourceEnded_ = false;
}

bool FlateBitReader::loadInput() {
    if (sourceEnded_) return false;
    // Allocated on first use: many streams are made only to check their header.
    if (!input_) input_.reset(new uint8_t[kInputSize]);
    const size_t got = source_.read(input_.get(), kInputSize);
    cursor_.next = input_.get();
    cursor_.end = input_.get() + got;
    sourceEnded_ = got == 0;
    return got != 0;
}

void FlateBitReader::topUp(size_t bytes) {
    const size_t left = static_cast<size_t>(cursor_.end - cursor_.next);
    if (left >= bytes || sourceEnded_) return;
    if (!input_) input_.reset(new uint8_t[kInputSize]);
    std::memmove(input_.get(), cursor_.next, left);
    size_t have = left;
    // A short read is not taken as the end: only a read that gives nothing is.
    while (have < kInputSize) {
        const size_t got = source_.read(input_.get() + have, kInputSize - have);
        if (got == 0) {
            sourceEnded_ = true;
            break;
        }
        have += got;
    }
    cursor_.next = input_.get();
    cursor_.end = input_.get() + have;
}

bool FlateBitReader::fill(unsigned need) {
    while (cursor_.count < need) {
        if (cursor_.next == cursor_.end && !loadInput()) return false;
        cursor_.bits |= uint64_t{*cursor_.next++} << cursor_.count;
        cursor_.count += 8;
    }
    return true;
}

int FlateBitReader::getBits(unsigned n) {
    if (!fill(n)) return -1;
    const int value = static_cast<int>(cursor_.peek(n));
    cursor_.drop(n);
    return value;
}

void FlateBitReader::dropStrayBits() {
    if (cursor_.count == 0) cursor_.bits = 0;
}

int FlateBitReader::takeByte() {
    if (cursor_.count >= 8) {
        const int value = static_cast<int>(cursor_.peek(8));
        cursor_.drop(8);
        return value;
    }
    dropStrayBits();
    if (cursor_.next == cursor_.end && !loadInput()) return -1;
    return *cursor_.next++;
}

size_t FlateBitReader::takeBytes(uint8_t* destination, size_t count) {
    size_t done = 0;
    while (done < count && cursor_.count >= 8) {
        destination[done++] = static_cast<uint8_t>(cursor_.peek(8));
        cursor_.drop(8);
    }
    if (done == count) return done;
    dropStrayBits();
    while (done < count) {
        if (cursor_.next == cursor_.end) {
            if (sourceEnded_) break;
            // Large remainders go straight from the source to their destination.
            if (count - done >= kInputSize) {
                const size_t got = source_.read(destination + done, count - done);
                if (got == 0) sourceEnded_ = true;
                done += got;
                continue;
            }
            if (!loadInput()) break;
        }
        const size_t piece = std::min(count - done, static_cast<size_t>(cursor_.end - cursor_.next));
        std::memcpy(destination + done, cursor_.next, piece);
        cursor_.next += piece;
        done += piece;
    }
    return done;
}
