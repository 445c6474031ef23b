#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class ReadOnlyFile;

// A new file being written. Where the system has file descriptors it writes through one, so that
// its data can be put on the disk before it replaces another file; elsewhere through the C library.
class OutputFile {
public:
    enum class Creation { created, exists, failed };

    // Creates the file, which must not exist yet: a file already there is never taken over.
    // Null when it is not created; `creation` says why.
    static std::unique_ptr<OutputFile> createNew(const std::string& name, Creation& creation);

    ~OutputFile();  // closes the file if close() has not
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when not every byte was written (a full disk, say).
    bool write(const char* data, size_t length);
    // Appends the first `length` bytes of the file `source`, inside the kernel where it can, by
    // reads and writes where it cannot (other file systems, pipes). False when not all of them came.
    // Where the system has threads the copy may still run when this returns, so that the caller
    // goes on with its own work meanwhile: every later call waits for it first, and fails if it did.
    bool copyFrom(const std::string& source, uint64_t length);
    // Appends `length` bytes of `source` from `position` on, the same way but at once.
    bool copyFrom(ReadOnlyFile& source, uint64_t position, uint64_t length);
    // Puts the data written so far on the disk, not only in the system's cache.
    bool syncData();
    bool close();

private:
    struct Native;
    explicit OutputFile(std::unique_ptr<Native> native);

    std::unique_ptr<Native> native_;
};
