#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ReadOnlyFile;

// A new file being written. Where the system has file descriptors it writes through one, so that
// its data can be put on the disk before it replaces another file; elsewhere through the C library.
// Where it also has threads, copies and batches are written by a thread of the file's own while
// the caller goes on with its work (reading pages, say): batches queue, and every other call
// waits for what was handed over before, and fails when that failed.
class OutputFile {
public:
    enum class Creation { created, exists, failed };

    // What a batch writes, in order: bytes of its block, or bytes copied from an input file.
    struct Piece {
        ReadOnlyFile* source = nullptr;  // null: bytes of the block
        uint64_t offset = 0;             // in the block, or in the source
        uint64_t length = 0;
        bool inKernel = false;  // a source range that copiesInKernel() chose
    };
    struct Batch {
        std::unique_ptr<char[]> block;
        std::vector<Piece> pieces;
    };

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
    // Appends the first `length` bytes of the file `source`. Copies go inside the kernel where it
    // can and where that pays, by reads and writes elsewhere (other file systems, pipes).
    bool copyFrom(const std::string& source, uint64_t length);
    // Whether a range copied to `outputPosition` of this file goes inside the kernel, where that
    // costs less than reading it into a block of this process and writing it from there.
    bool copiesInKernel(const ReadOnlyFile& source, uint64_t position, uint64_t length, uint64_t outputPosition) const;
    // Whether a range of `source` handed over in a batch is written straight from the input's
    // cached pages (a mapping), so that the caller need not read it.
    bool copiesMapped(const ReadOnlyFile& source) const;
    // Appends what the batch holds, after the batches before it, and leaves `batch` empty, without
    // a block. Waits only while too many batches with blocks are waiting. The sources must stay open
    // until settle().
    bool writeBatch(Batch& batch);
    // Waits until everything handed over is written; false when some of it was not.
    bool settle();
    // Puts the data written so far on the disk, not only in the system's cache.
    bool syncData();
    bool close();

private:
    struct Native;
    explicit OutputFile(std::unique_ptr<Native> native);

    std::unique_ptr<Native> native_;
};
