#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ReadOnlyFile.h"

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

    uint64_t size() const { return file_->size(); }
    bool tooLarge() const { return size() > kMaxSize; }

    // Copies up to `count` bytes from `position`; fewer at the end of the file.
    size_t readAt(uint64_t position, uint8_t* destination, size_t count);
    // The file itself, for copies that need not pass through this process.
    ReadOnlyFile& file() { return *file_; }

private:
    // Reads that go on just past the block (a parser or a copy moving forward) load a block
    // twice as large as the last, up to kBlockSize, keeping up to a small block of the old one before them, where a reader that searched
    // ahead (for "endobj", say) comes back to. A jump elsewhere (the next page object, say)
    // loads only what it needs, at least a small block, so that scattered reads do not each
    // pull in 64 KB. Large reads take from the block what it holds and the rest from the file.
    static constexpr size_t kBlockSize = 64 * 1024;
    static constexpr size_t kSmallBlockSize = 4 * 1024;

    // A jump also keeps the first kKeptJumpBytes it loaded (what a parser reads of an object at
    // first), up to kKeptJumpBudget in all: the passes over the page tree come back to the same
    // page objects, and find them here instead of in the file.
    static constexpr size_t kKeptJumpBytes = 1024;
    static constexpr size_t kKeptJumpBudget = 4 << 20;

    explicit CInputFile(std::unique_ptr<ReadOnlyFile> file);
    bool loadBlock(uint64_t position, size_t wanted);
    // Whether `position` lies in the block or just past it.
    bool continuesBlock(uint64_t position) const;
    // Loads on from the block's end, keeping up to a small block before `position`; false when
    // [position, position + wanted) would not fit.
    bool extendBlock(uint64_t position, size_t wanted);
    // Copies what a kept jump holds from `position` on; 0 when none holds it.
    size_t readKept(uint64_t position, uint8_t* destination, size_t count) const;
    void keepJump();
    size_t readFile(uint64_t position, uint8_t* destination, size_t count) {
        return file_->readAt(position, destination, count);
    }

    std::unique_ptr<ReadOnlyFile> file_;
    std::vector<uint8_t> block_;
    uint64_t blockPosition_ = 0;
    size_t blockLength_ = 0;
    std::map<uint64_t, std::vector<uint8_t>> kept_;  // by file position
    size_t keptBytes_ = 0;
};
