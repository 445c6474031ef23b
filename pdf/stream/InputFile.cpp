#include "pdf/stream/InputFile.h"

#include <algorithm>
#include <cstring>

std::unique_ptr<CInputFile> CInputFile::open(const std::string& path) {
    std::unique_ptr<ReadOnlyFile> file = ReadOnlyFile::open(path);
    if (!file) return nullptr;
    return std::unique_ptr<CInputFile>(new CInputFile(std::move(file)));
}

CInputFile::CInputFile(std::unique_ptr<ReadOnlyFile> file) : file_(std::move(file)), block_(kBlockSize + kSmallBlockSize) {}

CInputFile::~CInputFile() = default;

bool CInputFile::continuesBlock(uint64_t position) const {
    return blockLength_ > 0 && position >= blockPosition_ && position - blockPosition_ < blockLength_ + kSmallBlockSize;
}

bool CInputFile::extendBlock(uint64_t position, size_t wanted) {
    const uint64_t blockEnd = blockPosition_ + blockLength_;
    const uint64_t keepFrom = std::max(blockPosition_, position - std::min<uint64_t>(position, kSmallBlockSize));
    const size_t kept = static_cast<size_t>(blockEnd - keepFrom);
    const size_t room = block_.size() - kept;
    const uint64_t needed = position + wanted - blockEnd;
    if (position + wanted <= blockEnd || needed > room) return false;
    const size_t length = std::min(std::max(static_cast<size_t>(needed), 2 * blockLength_), std::min(room, kBlockSize));
    std::memmove(block_.data(), block_.data() + (keepFrom - blockPosition_), kept);
    blockPosition_ = keepFrom;
    blockLength_ = kept;
    blockLength_ += readFile(blockEnd, block_.data() + kept, length);
    return true;
}

bool CInputFile::loadBlock(uint64_t position, size_t wanted) {
    if (continuesBlock(position) && extendBlock(position, wanted)) return blockLength_ > position - blockPosition_;
    blockLength_ = 0;
    blockPosition_ = position;
    blockLength_ = readFile(position, block_.data(), std::min(std::max(wanted, kSmallBlockSize), kBlockSize));
    keepJump();
    return blockLength_ > 0;
}

void CInputFile::keepJump() {
    const size_t length = std::min(blockLength_, kKeptJumpBytes);
    if (length == 0 || keptBytes_ + length > kKeptJumpBudget) return;
    const auto inserted = kept_.emplace(blockPosition_, std::vector<uint8_t>(block_.data(), block_.data() + length));
    if (inserted.second) keptBytes_ += length;
}

size_t CInputFile::readKept(uint64_t position, uint8_t* destination, size_t count) const {
    auto next = kept_.upper_bound(position);
    if (next == kept_.begin()) return 0;
    const auto& [start, bytes] = *std::prev(next);
    if (position - start >= bytes.size()) return 0;
    const size_t piece = std::min(count, bytes.size() - static_cast<size_t>(position - start));
    std::memcpy(destination, bytes.data() + (position - start), piece);
    return piece;
}

size_t CInputFile::readAt(uint64_t position, uint8_t* destination, size_t count) {
    if (position >= size() || count == 0) return 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, size() - position));
    size_t done = 0;
    while (done < count) {
        const uint64_t at = position + done;
        if (at < blockPosition_ || at >= blockPosition_ + blockLength_) {
            const size_t kept = readKept(at, destination + done, count - done);
            if (kept > 0) {
                done += kept;
                continue;
            }
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
