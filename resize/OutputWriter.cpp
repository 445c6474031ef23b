#include "resize/OutputWriter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "pdf/objects/PdfException.h"
#include "resize/NumberFormat.h"

namespace {

constexpr char kCreateError[] = "\nOutput file create error\n";
constexpr char kWriteError[] = "\nOutput file write error\n";
constexpr char kTooLarge[] = "\nOutput file would exceed 2 GB\n";
constexpr char kTemporarySuffix[] = ".quillmor-tmp";
// Leftovers of killed runs may hold the first names; after this many the folder is given up on.
constexpr int kTemporaryNameAttempts = 1000;

constexpr char kFreeHeadRow[] = "0000000000 65535 f \r";
// Rows are gathered into blocks of about this size before they are written.
constexpr size_t kRowBlock = 64 * 1024;

}  // namespace

OutputWriter::OutputWriter(const std::string& outputFileName) : outputName_(outputFileName) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !file_; ++attempt) {
        temporaryName_ = outputFileName + kTemporarySuffix + std::to_string(attempt);
        errno = 0;
        // "x": never take over a file that is already there.
        file_ = std::fopen(temporaryName_.c_str(), "wbx");
        if (!file_ && errno != EEXIST) break;
    }
    if (!file_) {
        temporaryName_.clear();
        throw CPdfException(kCreateError);
    }
    // The writer buffers itself: the C library's buffer would only split large writes.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    buffer_.reset(new char[kBufferSize]);
}

OutputWriter::~OutputWriter() { discard(); }

void OutputWriter::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporaryName_.empty()) {
        std::remove(temporaryName_.c_str());
        temporaryName_.clear();
    }
}

void OutputWriter::write(const char* data, size_t length) {
    if (!file_) throw CPdfException(kWriteError);
    if (position_ + length > kMaxSize) throw CPdfException(kTooLarge);
    position_ += length;
    if (buffered_ + length > kBufferSize) {
        flush();
        if (length >= kBufferSize) {
            if (std::fwrite(data, 1, length, file_) != length) throw CPdfException(kWriteError);
            return;
        }
    }
    std::memcpy(buffer_.get() + buffered_, data, length);
    buffered_ += length;
}

char* OutputWriter::room(size_t length) {
    if (!file_ || length > kRoomSize) throw CPdfException(kWriteError);
    if (buffered_ + length > kBufferSize) flush();
    return buffer_.get() + buffered_;
}

void OutputWriter::commitRoom(size_t filled) {
    if (position_ + filled > kMaxSize) throw CPdfException(kTooLarge);
    position_ += filled;
    buffered_ += filled;
}

void OutputWriter::flush() {
    if (buffered_ == 0) return;
    if (std::fwrite(buffer_.get(), 1, buffered_, file_) != buffered_) throw CPdfException(kWriteError);
    buffered_ = 0;
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
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    takeReplacedFilesPermissions();
    if (!closed || std::rename(temporaryName_.c_str(), outputName_.c_str()) != 0) {
        discard();
        throw CPdfException(kWriteError);
    }
    temporaryName_.clear();
}
