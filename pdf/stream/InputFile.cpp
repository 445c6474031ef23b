#include "pdf/stream/InputFile.h"

#include <algorithm>
#include <cstring>

std::unique_ptr<CInputFile> CInputFile::open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    return std::unique_ptr<CInputFile>(new CInputFile(file));
}

CInputFile::CInputFile(std::FILE* file) : file_(file), block_(kBlockSize) {
    // This class buffers itself: a second buffer in the C library would only copy every byte again.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        const long end = std::ftell(file_);
        if (end > 0) size_ = static_cast<uint64_t>(end);
    }
    filePosition_ = size_;
}

CInputFile::~CInputFile() { std::fclose(file_); }

size_t CInputFile::readFile(uint64_t position, uint8_t* destination, size_t count) {
    if (position != filePosition_) {
        if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) {
            filePosition_ = size_ + 1;  // unknown: the next read seeks again
            return 0;
        }
        filePosition_ = position;
    }
    const size_t got = std::fread(destination, 1, count, file_);
    filePosition_ += got;
    if (got < count) {
        std::clearerr(file_);
        filePosition_ = size_ + 1;
    }
    return got;
}

bool CInputFile::loadBlock(uint64_t position, size_t wanted) {
    const uint64_t blockEnd = blockPosition_ + blockLength_;
    const bool forward = blockLength_ > 0 && position >= blockEnd && position - blockEnd < kSmallBlockSize;
    size_t length = std::min(std::max(wanted, kSmallBlockSize), kBlockSize);
    uint64_t start = position;
    if (forward) {
        // The reader goes on past the block: read ahead twice as far as last time, and keep the
        // last bytes before the position, where a reader that searched ahead (for "endobj", say)
        // comes back to.
        length = std::min(std::max(wanted, 2 * blockLength_), kBlockSize);
        start = position - std::min<uint64_t>(position - blockPosition_, kSmallBlockSize);
    }
    blockLength_ = 0;
    blockPosition_ = start;
    blockLength_ = readFile(start, block_.data(), length);
    return blockLength_ > position - start;
}

void CInputFile::holdRange(uint64_t position, size_t count) {
    if (count > kBlockSize || position >= size_) return;
    if (position >= blockPosition_ && position + count <= blockPosition_ + blockLength_) return;
    // A whole block: a reader that holds an object's bytes mostly goes on with the next objects.
    blockLength_ = 0;
    blockPosition_ = position;
    blockLength_ = readFile(position, block_.data(), kBlockSize);
}

size_t CInputFile::readAt(uint64_t position, uint8_t* destination, size_t count) {
    if (position >= size_ || count == 0) return 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, size_ - position));
    size_t done = 0;
    while (done < count) {
        const uint64_t at = position + done;
        if (at < blockPosition_ || at >= blockPosition_ + blockLength_) {
            // What the block does not hold of a large read goes straight to its destination.
            if (count - done >= kBlockSize) return done + readFile(at, destination + done, count - done);
            if (!loadBlock(at, count - done)) break;
        }
        const size_t offset = static_cast<size_t>(at - blockPosition_);
        const size_t piece = std::min(count - done, blockLength_ - offset);
        std::memcpy(destination + done, block_.data() + offset, piece);
        done += piece;
    }
    return done;
}
