#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A new file being written. Where the system has file descriptors it writes through one, so that
// its data can be put on the disk before it replaces another file; elsewhere through the C library.
class OutputFile {
public:
    enum class Creation { created, exists, failed };

    // Creates the file, which must not exist yet: a file already there is never taken over.
    // Null when it is not created; `creation` says why.
    static std::unique_ptr<OutputFile> createNew(const std::string& name, Creation& creation);
    // Takes standard output over for data: the file writes where standard output went, and from then
    // on what the program prints to standard output goes to standard error, so that nothing mixes
    // with the data. Null where the system cannot part the two.
    static std::unique_ptr<OutputFile> takeStandardOutput();

    ~OutputFile();  // closes the file if close() has not
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when not every byte was written (a full disk, say).
    bool write(const char* data, size_t length);
    // Appends the first `length` bytes of the file `source`, inside the kernel where it can, by
    // reads and writes where it cannot (other file systems, pipes). False when not all of them came.
    bool copyFrom(const std::string& source, uint64_t length);
    // Puts the data written so far on the disk, not only in the system's cache.
    bool syncData();
    bool close();

private:
    struct Native;
    explicit OutputFile(std::unique_ptr<Native> native);

    std::unique_ptr<Native> native_;
};
