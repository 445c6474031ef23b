#include "resize/OutputWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "pdf/objects/PdfException.h"
#include "platform/Folder.h"
#include "platform/ReadOnlyFile.h"
#include "platform/SignalCleanup.h"
#include "resize/NumberFormat.h"

namespace {

constexpr char kCreateError[] = "\nOutput file create error\n";
constexpr char kWriteError[] = "\nOutput file write error\n";
constexpr char kReadError[] = "\nInput file read error\n";
constexpr char kTooLarge[] = "\nOutput file would exceed 2 GB\n";
constexpr char kInterrupted[] = "\nStopped by a signal: output file not written\n";
constexpr char kTemporarySuffix[] = ".quillmor-tmp";
// Leftovers of killed runs may hold the first names; after this many the folder is given up on.
constexpr int kTemporaryNameAttempts = 1000;

constexpr char kFreeHeadRow[] = "0000000000 65535 f \r";
// Rows are gathered into blocks of about this size before they are written.
constexpr size_t kRowBlock = 64 * 1024;

}  // namespace

OutputWriter::OutputWriter(const std::string& outputFileName) : outputName_(outputFileName) {
    createTemporaryFile();
}

OutputWriter::OutputWriter(std::unique_ptr<OutputFile> destination) : file_(std::move(destination)) {
    if (!file_) throw CPdfException(kCreateError);
}

void OutputWriter::createTemporaryFile() {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string name = outputName_ + kTemporarySuffix + std::to_string(attempt);
        OutputFile::Creation creation = OutputFile::Creation::failed;
        const SignalCleanup::Hold hold;
        if (SignalCleanup::receivedSignal() != 0) throw CPdfException(kInterrupted);
        if (!SignalCleanup::track(name)) break;
        file_ = OutputFile::createNew(name, creation);
        if (file_) {
            temporaryName_ = name;
            return;
        }
        SignalCleanup::untrack(name);
        if (creation != OutputFile::Creation::exists) break;
    }
    throw CPdfException(kCreateError);
}

OutputWriter::~OutputWriter() { discard(); }

void OutputWriter::discard() {
    file_.reset();
    if (!temporaryName_.empty()) {
        const SignalCleanup::Hold hold;
        SignalCleanup::removeTracked(temporaryName_);
        temporaryName_.clear();
    }
}

void OutputWriter::write(const char* data, size_t length) {
    if (!file_) throw CPdfException(kWriteError);
    if (position_ + length > kMaxSize) throw CPdfException(kTooLarge);
    settleRun();
    position_ += length;
    if (buffered_ + length > kBufferSize) {
        handOver();
        if (length >= kBufferSize) {
            if (!file_->write(data, length)) throw CPdfException(kWriteError);
            return;
        }
    }
    std::memcpy(room(), data, length);
    commitRoom(length);
}

char* OutputWriter::room() {
    // A block only for batches that hold bytes: those of copied ranges alone take no memory.
    if (!batch_.block) batch_.block.reset(new char[kBufferSize]);
    std::vector<OutputFile::Piece>& pieces = batch_.pieces;
    if (pieces.empty() || pieces.back().source) pieces.push_back(OutputFile::Piece{nullptr, buffered_, 0});
    return batch_.block.get() + buffered_;
}

void OutputWriter::commitRoom(size_t filled) {
    batch_.pieces.back().length += filled;
    buffered_ += filled;
    batchLength_ += filled;
}

void OutputWriter::copyFile(const std::string& source, uint64_t length) {
    if (!file_) throw CPdfException(kWriteError);
    if (position_ + length > kMaxSize) throw CPdfException(kTooLarge);
    flush();
    if (!file_->copyFrom(source, length)) throw CPdfException(kWriteError);
    position_ += length;
}

void OutputWriter::copyRange(ReadOnlyFile& source, uint64_t position, uint64_t length) {
    if (!file_) throw CPdfException(kWriteError);
    if (position_ + length > kMaxSize) throw CPdfException(kTooLarge);
    if (length == 0) return;
    if (run_.length == 0 || run_.source != &source || run_.position + run_.length != position) {
        settleRun();
        run_ = PendingRun{&source, position, 0, position_};
    }
    run_.length += length;
    position_ += length;
}

void OutputWriter::settleRun() {
    if (run_.length == 0) return;
    const PendingRun run = run_;
    run_ = PendingRun();
    // The run's bytes were read once to find it: missing now, the offsets after them would be wrong.
    if (run.position > run.source->size() || run.length > run.source->size() - run.position) {
        throw CPdfException(kReadError);
    }
    // Ranges the file copies itself (inside the kernel, or from a mapping of the input) need no
    // read here: the job goes on with its pages while the file's thread copies them.
    const bool inKernel = file_->copiesInKernel(*run.source, run.position, run.length, run.outputPosition);
    if (inKernel || file_->copiesMapped(*run.source)) {
        batch_.pieces.push_back(OutputFile::Piece{run.source, run.position, run.length, inKernel});
        batchLength_ += run.length;
        if (batchLength_ >= batchLimit_) handOver();
        return;
    }
    // Read here, written by the file's thread: the two halves of the copy run side by side.
    uint64_t position = run.position;
    uint64_t left = run.length;
    while (left > 0) {
        if (buffered_ == kBufferSize) handOver();
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kBufferSize - buffered_));
        if (run.source->readAt(position, room(), want) != want) throw CPdfException(kReadError);
        commitRoom(want);
        position += want;
        left -= want;
    }
}

void OutputWriter::finishCopies() {
    flush();
    if (file_ && !file_->settle()) throw CPdfException(kWriteError);
}

void OutputWriter::flush() {
    settleRun();
    handOver();
}

void OutputWriter::handOver() {
    // Under a recorded signal the job stops here, at its next write, and its file goes with it.
    if (SignalCleanup::receivedSignal() != 0) throw CPdfException(kInterrupted);
    if (batch_.pieces.empty()) return;
    if (!file_->writeBatch(batch_)) throw CPdfException(kWriteError);
    buffered_ = 0;
    batchLength_ = 0;
    batchLimit_ = std::min(2 * batchLimit_, kBatchSize);
}

void OutputWriter::takeReplacedFilesPermissions() const {
    std::error_code error;
    const std::filesystem::file_status replaced = std::filesystem::status(outputName_, error);
    if (error || !std::filesystem::is_regular_file(replaced)) return;
    // Best effort: a file whose permissions cannot be copied still gets its new content.
    std::filesystem::permissions(temporaryName_, replaced.permissions(), error);
}

void OutputWriter::resetTable(size_t inputEntryCount) { table_.assign(inputEntryCount, OutputEntry()); }

bool OutputWriter::setOutputEntry(uint32_t objectNumber, uint32_t generation, uint32_t offset, bool written) {
    if (objectNumber >= table_.size()) return false;
    OutputEntry& entry = table_[objectNumber];
    entry.offset = offset;
    entry.generation = generation;
    entry.written = written;
    return true;
}

uint32_t OutputWriter::appendOutputEntry(const OutputEntry& entry) {
    table_.push_back(entry);
    return static_cast<uint32_t>(table_.size() - 1);
}

void OutputWriter::writeXRefTable() {
    std::string rows = "xref\n0 " + formatInteger(static_cast<int64_t>(table_.size())) + "\r" + kFreeHeadRow;
    for (size_t i = 1; i < table_.size(); ++i) {
        const OutputEntry& entry = table_[i];
        rows += formatXRefOffset(entry.offset);
        rows += ' ';
        rows += formatGeneration(entry.generation);
        rows += entry.written ? " n \r" : " f \r";
        if (rows.size() >= kRowBlock) {
            write(rows);
            rows.clear();
        }
    }
    write(rows);
}

void OutputWriter::writeTrailer(uint32_t startXRef, ObjectRef info, ObjectRef root, const std::string& extraTrailerKeys) {
    std::string trailer = "trailer\n<<\n/Size " + formatInteger(static_cast<int64_t>(table_.size()));
    trailer += "\n/Root " + formatInteger(root.number) + " " + formatInteger(root.generation) + " R\n";
    if (info.number != 0) {
        trailer += "/Info " + formatInteger(info.number) + " " + formatInteger(info.generation) + " R\n";
    }
    trailer += extraTrailerKeys;
    trailer += ">>\nstartxref\n" + formatInteger(startXRef) + "\n%%EOF";
    write(trailer);
}

void OutputWriter::commit() {
    if (!file_) throw CPdfException(kWriteError);
    flush();
    if (outputName_.empty()) {
        const bool closed = file_->close();
        file_.reset();
        if (!closed) throw CPdfException(kWriteError);
        return;
    }
    // A new name loses nothing if the machine fails before the data is on the disk; a replaced
    // file would be lost, so the data goes to the disk first.
    std::error_code error;
    const bool replacing = std::filesystem::exists(outputName_, error);
    const bool synced = !replacing || file_->syncData();
    const bool closed = file_->close();
    file_.reset();
    takeReplacedFilesPermissions();
    bool interrupted = false;
    bool moved = false;
    {
        const SignalCleanup::Hold hold;
        interrupted = SignalCleanup::receivedSignal() != 0;
        moved = !interrupted && synced && closed && Folder::moveOver(temporaryName_, outputName_);
        if (moved) SignalCleanup::untrack(temporaryName_);
    }
    if (!moved) {
        discard();
        throw CPdfException(interrupted ? kInterrupted : kWriteError);
    }
    temporaryName_.clear();
    // Best effort: the file is in place whether or not the folder can be synced.
    if (replacing) Folder::sync(Folder::of(outputName_));
}
