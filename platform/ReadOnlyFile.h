#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A file opened for reading at given positions. Where the system reads at a position in one call,
// no read moves a shared file position, so readers of one file never disturb each other and no
// seek precedes a read; elsewhere the C library seeks, and only when the position changed.
class ReadOnlyFile {
public:
    // Null when the file cannot be opened.
    static std::unique_ptr<ReadOnlyFile> open(const std::string& name);

    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // The size when the file was opened.
    uint64_t size() const { return size_; }
    // Copies up to `count` bytes from `position` on; fewer only at the end of the file or on an error.
    size_t readAt(uint64_t position, void* destination, size_t count);

    // The system's descriptor, for a kernel-side copy out of this file; -1 where there is none.
    int descriptor() const;

private:
    struct Native;
    ReadOnlyFile(std::unique_ptr<Native> native, uint64_t size);

    std::unique_ptr<Native> native_;
    uint64_t size_;
};
