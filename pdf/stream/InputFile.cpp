#include "pdf/stream/InputFile.h"

#include <algorithm>
#include <cstring>

std::unique_ptr<CInputFile> CInputFile::open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    return std::unique_ptr<CInputFile>(new CInputFile(file));
}

CInputFile::CInputFile(std::FILE* file) : file_(file), block_(kBlockSize) {
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        const long end = std::ftell(file_);
        if (end > 0) size_ = static_cast<uint64_t>(end);
    }
}

CInputFile::~CInputFile() { std::fclose(file_); }

bool CInputFile::loadBlock(uint64_t position) {
    blockLength_ = 0;
    blockPosition_ = position;
    if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) return false;
    blockLength_ = std::fread(block_.data(), 1, block_.size(), file_);
    return blockLength_ > 0;
}

size_t CInputFile::readAt(uint64_t position, uint8_t* destination, size_t count) {
    if (position >= size_ || count == 0) return 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, size_ - position));
    if (count >= kBlockSize) {
        if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) return 0;
        return std::fread(destination, 1, count, file_);
    }
    size_t done = 0;
    while (done < count) {
        const uint64_t at = position + done;
        if (at < blockPosition_ || at >= blockPosition_ + blockLength_) {
            if (!loadBlock(at)) break;
        }
        const size_t offset = static_cast<size_t>(at - blockPosition_);
        const size_t piece = std::min(count - done, blockLength_ - offset);
        std::memcpy(destination + done, block_.data() + offset, piece);
        done += piece;
    }
    return done;
}
