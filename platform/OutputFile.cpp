#include "platform/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include "platform/ReadOnlyFile.h"

#if QUILLMOR_HAVE_UNISTD_H && QUILLMOR_HAVE_OPEN
#define QUILLMOR_DESCRIPTORS 1
#include <fcntl.h>
#include <unistd.h>
#if QUILLMOR_HAVE_MMAP && QUILLMOR_HAVE_WRITEV
#define QUILLMOR_MAPPED_COPIES 1
#include <sys/mman.h>
#include <sys/uio.h>

#include <vector>
#endif
#if QUILLMOR_HAVE_THREADS
#include <pthread.h>

#include <condition_variable>
#include <csignal>
#include <deque>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#endif
#endif

namespace {

constexpr size_t kCopyBlock = size_t{1} << 20;

#if QUILLMOR_DESCRIPTORS
// Read and write for everyone, narrowed by the user's umask, as the C library's fopen creates files.
constexpr mode_t kNewFileMode = 0666;
// A kernel-side copy saves a sixth of the cost of reading bytes and writing them again, but only
// when the bytes keep their place within the system's pages (else it costs a third more), and it
// costs some microseconds a call (measured on ext4): only such ranges that are long go that way.
// Reads and writes also share the work between the job's thread and the file's.
constexpr uint64_t kKernelCopyMinimum = 128 * 1024;
constexpr uint64_t kPageSize = 4096;
#endif
#if QUILLMOR_MAPPED_COPIES
// Copied ranges are written from a mapping of this much of the input at a time: the mapped pages
// count as the program's memory while they are mapped.
constexpr uint64_t kMapWindow = 1 << 20;
// The most ranges one gathered write takes (Linux's limit).
constexpr size_t kMaxRanges = 1024;
#endif
#if QUILLMOR_HAVE_THREADS
// Batches that hold a block of bytes and wait for the thread, at most: the memory they take is
// bounded, while batches of copied ranges alone queue without limit.
constexpr size_t kMaxBlocksWaiting = 1;
#endif

// Runs each task at once on the caller's thread, where the file has no thread of its own; after a
// failed task it runs none.
class InlineWriter {
public:
    template <typename Task>
    bool run(Task task, bool /*holdsBlock*/) {
        failed_ = failed_ || !task();
        return !failed_;
    }
    bool waitIdle() const { return !failed_; }

private:
    bool failed_ = false;
};

// The block of copies by reads and writes, made when the first one needs it.
class CopyBlock {
public:
    char* get() {
        if (!block_) block_.reset(new char[kCopyBlock]);
        return block_.get();
    }

private:
    std::unique_ptr<char[]> block_;
};

}  // namespace

#if QUILLMOR_DESCRIPTORS

#if QUILLMOR_HAVE_THREADS
// Runs tasks one at a time on a thread of its own, in the order they are handed over. The caller
// goes on meanwhile: it waits only for room among the tasks that hold blocks of memory.
class BackgroundWriter {
public:
    BackgroundWriter() = default;
    ~BackgroundWriter() {
        if (!thread_.joinable()) return;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Queues the task; false when a task failed, and this one then never runs. `holdsBlock`: the
    // task keeps a block of memory until it has run.
    bool run(std::function<bool()> task, bool holdsBlock) {
        if (!thread_.joinable() && !start()) return waitIdle() && task();  // no thread to be had: run it here
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this, holdsBlock] { return failed_ || !holdsBlock || blocksWaiting_ < kMaxBlocksWaiting; });
        if (failed_) return false;
        tasks_.push_back(Task{std::move(task), holdsBlock});
        if (holdsBlock) ++blocksWaiting_;
        changed_.notify_all();
        return true;
    }
    // Waits until every task has run; false when one failed.
    bool waitIdle() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return tasks_.empty() && !busy_; });
        return !failed_;
    }

private:
    struct Task {
        std::function<bool()> work;
        bool holdsBlock = false;
    };

    bool start() {
        // The thread takes no signal: the handler and the holds of the program stay with its own thread.
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous);
        bool started = true;
        try {
            thread_ = std::thread([this] { loop(); });
        } catch (const std::system_error&) {
            started = false;
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return started;
    }
    void loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !tasks_.empty() || stopping_; });
            // Stopping, the file goes: what is still queued is of no use.
            if (stopping_) return;
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            busy_ = true;
            lock.unlock();
            const bool done = task.work();
            task.work = nullptr;  // its block goes before the caller is told there is room
            lock.lock();
            busy_ = false;
            if (task.holdsBlock) --blocksWaiting_;
            if (!done) {
                // After a failed write the file is lost: the rest is not written.
                failed_ = true;
                tasks_.clear();
                blocksWaiting_ = 0;
            }
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> tasks_;
    size_t blocksWaiting_ = 0;  // queued or running tasks that hold a block
    bool busy_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread thread_;
};
#endif

#if QUILLMOR_MAPPED_COPIES
// Writes many ranges with few calls: bytes in memory, and ranges of an input file through a
// mapping of a window of it, so that the kernel copies the input's cached pages straight into the
// output without a read of them into this process. Nothing here touches the mapped bytes itself:
// an input cut short meanwhile fails the write instead of faulting.
class GatheredWrite {
public:
    explicit GatheredWrite(int descriptor)
        : descriptor_(descriptor), pageSize_(static_cast<uint64_t>(std::max(::sysconf(_SC_PAGESIZE), 1L))) {}
    ~GatheredWrite() { unmap(); }
    GatheredWrite(const GatheredWrite&) = delete;
    GatheredWrite& operator=(const GatheredWrite&) = delete;

    bool addBytes(const char* data, size_t length) {
        if (length == 0) return true;
        if (ranges_.size() == kMaxRanges && !flush()) return false;
        ranges_.push_back(iovec{const_cast<char*>(data), length});
        return true;
    }
    // Adds what it can map of the range; gives how much that is, or 0 when a write failed (`failed`).
    uint64_t addMapped(const ReadOnlyFile& source, uint64_t offset, uint64_t length, bool& failed) {
        uint64_t added = 0;
        while (added < length) {
            const uint64_t at = offset + added;
            if (!windowHolds(source, at) && !mapWindow(source, at, failed)) return added;
            const uint64_t piece = std::min(length - added, windowStart_ + windowLength_ - at);
            if (!addBytes(static_cast<const char*>(window_) + (at - windowStart_), static_cast<size_t>(piece))) {
                failed = true;
                return added;
            }
            added += piece;
        }
        return added;
    }
    bool flush() {
        size_t first = 0;
        while (first < ranges_.size()) {
            const ssize_t done = ::writev(descriptor_, &ranges_[first], static_cast<int>(ranges_.size() - first));
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) return false;
            // A partial write leaves the rest of the ranges to the next call.
            size_t left = static_cast<size_t>(done);
            while (first < ranges_.size() && left >= ranges_[first].iov_len) left -= ranges_[first++].iov_len;
            if (left > 0) {
                ranges_[first].iov_base = static_cast<char*>(ranges_[first].iov_base) + left;
                ranges_[first].iov_len -= left;
            }
        }
        ranges_.clear();
        return true;
    }

private:
    bool windowHolds(const ReadOnlyFile& source, uint64_t at) const {
        return window_ && windowSource_ == &source && at >= windowStart_ && at < windowStart_ + windowLength_;
    }
    bool mapWindow(const ReadOnlyFile& source, uint64_t at, bool& failed) {
        // The ranges gathered so far may lie in the old window: written before it goes.
        if (!flush()) {
            failed = true;
            return false;
        }
        unmap();
        if (source.descriptor() < 0 || at >= source.size()) return false;
        const uint64_t start = at - at % pageSize_;
        const size_t length = static_cast<size_t>(std::min(kMapWindow, source.size() - start));
        int flags = MAP_SHARED;
#ifdef MAP_POPULATE
        flags |= MAP_POPULATE;  // the pages are all needed: one call maps them
#endif
        void* window = ::mmap(nullptr, length, PROT_READ, flags, source.descriptor(), static_cast<off_t>(start));
        if (window == MAP_FAILED) return false;
        window_ = window;
        windowSource_ = &source;
        windowStart_ = start;
        windowLength_ = length;
        return true;
    }
    void unmap() {
        if (window_) ::munmap(window_, windowLength_);
        window_ = nullptr;
    }

    int descriptor_;
    uint64_t pageSize_;
    std::vector<iovec> ranges_;
    void* window_ = nullptr;
    const ReadOnlyFile* windowSource_ = nullptr;
    uint64_t windowStart_ = 0;
    size_t windowLength_ = 0;
};
#endif

struct OutputFile::Native {
    int descriptor = -1;
    // Once the kernel refuses a copy between these files, later copies go by reads and writes at once.
    bool kernelCopyRefused = false;
    CopyBlock block;  // for copies by reads and writes
#if QUILLMOR_HAVE_THREADS
    BackgroundWriter background;  // last: destroyed first, so that its task ends before the rest goes
#else
    InlineWriter background;
#endif
    bool settle() { return background.waitIdle(); }
    template <typename Task>
    bool runTask(Task task, bool holdsBlock) {
        return background.run(std::move(task), holdsBlock);
    }
    bool writeAll(const char* data, size_t length);
    // Copies from the input's `position` (its own file position when null); gives how much came.
    uint64_t kernelCopy(int input, uint64_t* position, uint64_t length);
    bool readAndWrite(ReadOnlyFile& source, uint64_t offset, uint64_t left);
    bool copyDescriptor(int input, uint64_t length);
    bool writePieces(const Batch& batch);
};

bool OutputFile::Native::writeAll(const char* data, size_t length) {
    while (length > 0) {
        const ssize_t done = ::write(descriptor, data, length);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        data += done;
        length -= static_cast<size_t>(done);
    }
    return true;
}

uint64_t OutputFile::Native::kernelCopy(int input, uint64_t* position, uint64_t length) {
    uint64_t done = 0;
#if QUILLMOR_HAVE_COPY_FILE_RANGE
    while (done < length && !kernelCopyRefused) {
        loff_t from = position ? static_cast<loff_t>(*position + done) : 0;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length - done, SSIZE_MAX));
        const ssize_t copied = ::copy_file_range(input, position ? &from : nullptr, descriptor, nullptr, want, 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied < 0 && done == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            kernelCopyRefused = true;  // other file systems, pipes, an old kernel
        }
        if (copied <= 0) break;
        done += static_cast<uint64_t>(copied);
    }
#else
    (void)input;
    (void)position;
    (void)length;
#endif
    return done;
}

bool OutputFile::Native::copyDescriptor(int input, uint64_t length) {
    uint64_t left = length - kernelCopy(input, nullptr, length);
    while (left > 0) {
        const ssize_t got = ::read(input, block.get(), static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !writeAll(block.get(), static_cast<size_t>(got))) break;
        left -= static_cast<uint64_t>(got);
    }
    ::close(input);
    return left == 0;
}

std::unique_ptr<OutputFile> OutputFile::createNew(const std::string& name, Creation& creation) {
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, kNewFileMode);
    if (descriptor < 0) {
        creation = errno == EEXIST ? Creation::exists : Creation::failed;
        return nullptr;
    }
    creation = Creation::created;
    std::unique_ptr<Native> native(new Native);
    native->descriptor = descriptor;
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(native)));
}

std::unique_ptr<OutputFile> OutputFile::takeStandardOutput() {
    std::fflush(stdout);
    const int data = ::dup(STDOUT_FILENO);
    if (data < 0) return nullptr;
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        ::close(data);
        return nullptr;
    }
    std::unique_ptr<Native> native(new Native);
    native->descriptor = data;
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(native)));
}

bool OutputFile::write(const char* data, size_t length) { return native_->settle() && native_->writeAll(data, length); }

bool OutputFile::copyFrom(const std::string& source, uint64_t length) {
    if (!native_->settle()) return false;
    const int input = ::open(source.c_str(), O_RDONLY);
    if (input < 0) return false;
    Native& native = *native_;
    return native.runTask([&native, input, length] { return native.copyDescriptor(input, length); }, false);
}

bool OutputFile::syncData() {
    if (!native_->settle()) return false;
#if QUILLMOR_HAVE_FDATASYNC
    return ::fdatasync(native_->descriptor) == 0;
#elif QUILLMOR_HAVE_FSYNC
    return ::fsync(native_->descriptor) == 0;
#else
    return true;
#endif
}

bool OutputFile::close() {
    const bool settled = native_->settle();
    if (native_->descriptor < 0) return settled;
    const int descriptor = native_->descriptor;
    native_->descriptor = -1;
    // Never retried: after a failed close the descriptor is gone all the same.
    return ::close(descriptor) == 0 && settled;
}

#else

struct OutputFile::Native {
    std::FILE* file = nullptr;
    CopyBlock block;
    InlineWriter background;

    bool settle() const { return background.waitIdle(); }
    template <typename Task>
    bool runTask(Task task, bool holdsBlock) {
        return background.run(std::move(task), holdsBlock);
    }
    bool writeAll(const char* data, size_t length) { return std::fwrite(data, 1, length, file) == length; }
    uint64_t kernelCopy(int, uint64_t*, uint64_t) { return 0; }
    bool readAndWrite(ReadOnlyFile& source, uint64_t offset, uint64_t left);
    bool writePieces(const Batch& batch);
};

std::unique_ptr<OutputFile> OutputFile::createNew(const std::string& name, Creation& creation) {
    errno = 0;
    std::FILE* file = std::fopen(name.c_str(), "wbx");
    if (!file) {
        creation = errno == EEXIST ? Creation::exists : Creation::failed;
        return nullptr;
    }
    creation = Creation::created;
    // Callers hand over large blocks: the C library's buffer would only split them.
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::unique_ptr<Native> native(new Native);
    native->file = file;
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(native)));
}

// The C library has no second handle on standard output: messages and data would mix.
std::unique_ptr<OutputFile> OutputFile::takeStandardOutput() { return nullptr; }

bool OutputFile::write(const char* data, size_t length) { return native_->settle() && native_->writeAll(data, length); }

bool OutputFile::copyFrom(const std::string& source, uint64_t length) {
    if (!native_->settle()) return false;
    std::FILE* input = std::fopen(source.c_str(), "rb");
    if (!input) return false;
    uint64_t left = length;
    while (left > 0) {
        const size_t got = std::fread(native_->block.get(), 1, static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)), input);
        if (got == 0 || !native_->writeAll(native_->block.get(), got)) break;
        left -= got;
    }
    std::fclose(input);
    return left == 0;
}

// The C library can hand the data to the system, not put it on the disk.
bool OutputFile::syncData() { return native_->settle() && std::fflush(native_->file) == 0; }

bool OutputFile::close() {
    if (!native_->file) return native_->settle();
    std::FILE* file = native_->file;
    native_->file = nullptr;
    return std::fclose(file) == 0 && native_->settle();
}

#endif

// Copies a source range by reads and writes, from `offset` on.
bool OutputFile::Native::readAndWrite(ReadOnlyFile& source, uint64_t offset, uint64_t left) {
    while (left > 0) {
        const size_t got = source.readAt(offset, block.get(), static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)));
        if (got == 0 || !writeAll(block.get(), got)) return false;
        offset += got;
        left -= got;
    }
    return true;
}

#if QUILLMOR_MAPPED_COPIES
// The block's bytes and the copied ranges go out in gathered writes; ranges that copiesInKernel()
// chose go inside the kernel, and what neither way takes (another file system, a file that cannot
// be mapped) by reads and writes.
bool OutputFile::Native::writePieces(const Batch& batch) {
    GatheredWrite gathered(descriptor);
    for (const Piece& piece : batch.pieces) {
        if (!piece.source) {
            if (!gathered.addBytes(batch.block.get() + piece.offset, static_cast<size_t>(piece.length))) return false;
            continue;
        }
        uint64_t offset = piece.offset;
        uint64_t left = piece.length;
        if (!piece.inKernel) {
            bool failed = false;
            const uint64_t mapped = gathered.addMapped(*piece.source, offset, left, failed);
            if (failed) return false;
            offset += mapped;
            left -= mapped;
            if (left == 0) continue;
        }
        if (!gathered.flush()) return false;
        const uint64_t copied = piece.inKernel ? kernelCopy(piece.source->descriptor(), &offset, left) : 0;
        if (!readAndWrite(*piece.source, offset + copied, left - copied)) return false;
    }
    return gathered.flush();
}
#else
// Ranges that come in a batch are those copiesInKernel() chose; what the kernel does not copy of
// them after all (another file system, say) goes by reads and writes.
bool OutputFile::Native::writePieces(const Batch& batch) {
    for (const Piece& piece : batch.pieces) {
        if (!piece.source) {
            if (!writeAll(batch.block.get() + piece.offset, static_cast<size_t>(piece.length))) return false;
            continue;
        }
        uint64_t offset = piece.offset;
        const uint64_t copied = piece.inKernel ? kernelCopy(piece.source->descriptor(), &offset, piece.length) : 0;
        if (!readAndWrite(*piece.source, offset + copied, piece.length - copied)) return false;
    }
    return true;
}
#endif

bool OutputFile::writeBatch(Batch& batch) {
    Native& native = *native_;
    // The task owns the batch until it has run; the caller fills a new one.
    auto handed = std::make_shared<Batch>(std::move(batch));
    batch = Batch();
    const bool holdsBlock = handed->block != nullptr;
    return native.runTask([&native, handed] { return native.writePieces(*handed); }, holdsBlock);
}

bool OutputFile::copiesInKernel(const ReadOnlyFile& source, uint64_t position, uint64_t length,
                                uint64_t outputPosition) const {
#if QUILLMOR_DESCRIPTORS && QUILLMOR_HAVE_COPY_FILE_RANGE
    return source.descriptor() >= 0 && length >= kKernelCopyMinimum && position % kPageSize == outputPosition % kPageSize;
#else
    (void)source;
    (void)position;
    (void)length;
    (void)outputPosition;
    return false;
#endif
}

bool OutputFile::copiesMapped(const ReadOnlyFile& source) const {
#if QUILLMOR_MAPPED_COPIES
    return source.descriptor() >= 0;
#else
    (void)source;
    return false;
#endif
}

bool OutputFile::settle() { return native_->settle(); }

OutputFile::OutputFile(std::unique_ptr<Native> native) : native_(std::move(native)) {}

OutputFile::~OutputFile() { close(); }
