#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A read-only file shared by every stream of one document. Reads are positional, so streams
// never depend on each other's file position; a block cache keeps small scattered reads cheap.
class CInputFile {
public:
    // Files at or beyond this size are refused: offsets are 32-bit.
    static constexpr uint64_t kMaxSize = 0x7FFFFFFFu;

    // Null when the file cannot be opened.
    static std::unique_ptr<CInputFile> open(const std::string& path);

    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;
    ~CInputFile();

    uint64_t size() const { return size_; }
    bool tooLarge() const { return size_ > kMaxSize; }

    // Copies up to `count` bytes from `position`; fewer at the end of the file.
    size_t readAt(uint64_t position, uint8_t* destination, size_t count);

private:
    static constexpr size_t kBlockSize = 64 * 1024;

    explicit CInputFile(std::FILE* file);
    bool loadBlock(uint64_t position);

    std::FILE* file_;
    uint64_t size_ = 0;
    std::vector<uint8_t> block_;
    uint64_t blockPosition_ = 0;
    size_t blockLength_ = 0;
};
