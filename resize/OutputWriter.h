#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pdf/xref/PdfXRef.h"
#include "platform/OutputFile.h"

class ReadOnlyFile;

// One row of the output offset table.
struct OutputEntry {
    uint32_t offset = 0;
    uint32_t generation = 0;
    bool written = false;
};

// The output file of one job and its offset table. Bytes go to a temporary file in the
// output's folder, which commit() renames onto the output name; a writer destroyed without
// commit() removes its temporary file, so a failed job leaves nothing behind, and so does a job
// that a signal ends (the temporary name is tracked for the signal handler while the file exists).
// When the output replaces a file, the new data is on the disk before the rename and the rename
// is on the disk after it: whatever befalls the machine, the name holds one whole file.
class OutputWriter {
public:
    // Output offsets are 32-bit and PDF readers take them as signed: the file stays below 2 GB.
    static constexpr uint64_t kMaxSize = 0x7FFFFFFFu;

    // Throws "\nOutput file create error\n" when the temporary file cannot be created.
    explicit OutputWriter(const std::string& outputFileName);
    // Writes straight into `destination` (standard output, say): no temporary file, no rename; a
    // failed job leaves what was written. Throws the create error when `destination` is null.
    explicit OutputWriter(std::unique_ptr<OutputFile> destination);
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // Throws when the bytes cannot be written or the output would outgrow kMaxSize.
    void write(const char* data, size_t length);
    void write(const std::string& bytes) { write(bytes.data(), bytes.size()); }
    // Appends the first `length` bytes of the file `source` (kernel-side where the system can).
    void copyFile(const std::string& source, uint64_t length);
    // Appends `length` bytes of `source` from `position` on, without passing them through this
    // process where the system can. A range that goes on where the last one ended joins it, so
    // that a run of objects stored one after the other is copied as one.
    void copyRange(ReadOnlyFile& source, uint64_t position, uint64_t length);
    // Writes everything that still reads an input file, before that file is closed.
    void finishCopies();
    // The current output offset: where the next byte goes, counted from the origin.
    uint32_t position() const { return static_cast<uint32_t>(position_ - origin_); }
    // Offsets count from this byte of the output on: an update after an input's bytes counts from
    // where that input's own offsets count, its "%PDF-" header.
    void setOffsetOrigin(uint32_t origin) { origin_ = origin; }

    // The offset table: one zero row per input entry at the start of the job.
    void resetTable(size_t inputEntryCount);
    size_t tableSize() const { return table_.size(); }
    const OutputEntry& row(uint32_t objectNumber) const { return table_[objectNumber]; }
    bool setOutputEntry(uint32_t objectNumber, uint32_t generation, uint32_t offset, bool written);
    // Appends a row and returns its object number (the table's length before the append).
    uint32_t appendOutputEntry(const OutputEntry& entry);

    void writeXRefTable();
    // `extraTrailerKeys` are written after the keys of the plain trailer (encryption keys).
    void writeTrailer(uint32_t startXRef, ObjectRef info, ObjectRef root, const std::string& extraTrailerKeys = "");

    // Flushes, closes and renames the temporary file onto the output name; throws on failure,
    // and when a signal came that the program records (the output then stays unwritten).
    void commit();

    const std::string& temporaryFileName() const { return temporaryName_; }

private:
    // The writer's own bytes and the copied ranges read here go into a block of this size, the
    // ranges the file copies itself beside them into a batch of up to kBatchSize in all: the batch
    // is then handed to the file, which writes it while the next one is filled. The first batches
    // are smaller, so that the file starts writing early.
    static constexpr size_t kBufferSize = 1 << 20;
    static constexpr uint64_t kFirstBatchSize = 1 << 20;
    static constexpr uint64_t kBatchSize = 8 << 20;

    // A run of copied ranges, each going on where the one before ended.
    struct PendingRun {
        ReadOnlyFile* source = nullptr;
        uint64_t position = 0;
        uint64_t length = 0;
        uint64_t outputPosition = 0;  // where it goes in the output file
    };

    // Puts the pending run into the batch: as a range the file copies in the kernel, or read
    // into the block.
    void settleRun();
    // The block's free bytes, for bytes that commitRoom() then counts.
    char* room();
    void commitRoom(size_t filled);
    // Hands the batch to the file.
    void handOver();
    void flush();  // settles the run and hands the batch over
    void discard();
    void createTemporaryFile();
    // A file that the output replaces (the input itself, say) keeps its permissions, as it would
    // if it were overwritten in place: a private file must not become readable to others.
    void takeReplacedFilesPermissions() const;

    std::string outputName_;  // empty when writing straight into a destination
    std::string temporaryName_;
    std::unique_ptr<OutputFile> file_;
    OutputFile::Batch batch_;
    size_t buffered_ = 0;       // bytes of the batch's block in use
    uint64_t batchLength_ = 0;  // bytes the batch writes in all
    uint64_t batchLimit_ = kFirstBatchSize;  // doubles with each batch, up to kBatchSize
    PendingRun run_;
    uint64_t position_ = 0;
    uint64_t origin_ = 0;
    std::vector<OutputEntry> table_;
};
