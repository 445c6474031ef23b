#include "platform/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "platform/ReadOnlyFile.h"

#if QUILLMOR_HAVE_UNISTD_H && QUILLMOR_HAVE_OPEN
#define QUILLMOR_DESCRIPTORS 1
#include <fcntl.h>
#include <unistd.h>
#if QUILLMOR_HAVE_THREADS
#include <pthread.h>

#include <condition_variable>
#include <csignal>
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

}  // namespace

#if QUILLMOR_DESCRIPTORS

#if QUILLMOR_HAVE_THREADS
// Runs one task at a time on a thread of its own, in the order they are handed over.
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

    // Waits for the task before; false when one failed, and the task is then not run.
    bool run(std::function<bool()> task) {
        if (!waitIdle()) return false;
        if (!thread_.joinable() && !start()) return task();  // no thread to be had: run it here
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            task_ = std::move(task);
            busy_ = true;
        }
        changed_.notify_all();
        return true;
    }
    // False when a task failed.
    bool waitIdle() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        return !failed_;
    }

private:
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
            changed_.wait(lock, [this] { return busy_ || stopping_; });
            if (!busy_) return;
            std::function<bool()> task = std::move(task_);
            lock.unlock();
            const bool done = task();
            lock.lock();
            failed_ = failed_ || !done;
            busy_ = false;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<bool()> task_;
    bool busy_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread thread_;
};
#endif

struct OutputFile::Native {
    int descriptor = -1;
    // Once the kernel refuses a copy between these files, later copies go by reads and writes at once.
    bool kernelCopyRefused = false;
    std::unique_ptr<char[]> block;  // for copies by reads and writes
    Batch inFlight;                 // the batch being written
#if QUILLMOR_HAVE_THREADS
    BackgroundWriter background;  // last: destroyed first, so that its task ends before the rest goes
    bool settle() { return background.waitIdle(); }
    bool runTask(std::function<bool()> task) { return background.run(std::move(task)); }
#else
    bool failed = false;
    bool settle() const { return !failed; }
    template <typename Task>
    bool runTask(Task task) {
        failed = failed || !task();
        return !failed;
    }
#endif

    char* copyBlock() {
        if (!block) block.reset(new char[kCopyBlock]);
        return block.get();
    }
    bool writeAll(const char* data, size_t length);
    // Copies from the input's `position` (its own file position when null); gives how much came.
    uint64_t kernelCopy(int input, uint64_t* position, uint64_t length);
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
        const ssize_t got = ::read(input, copyBlock(), static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)));
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
    return native.runTask([&native, input, length] { return native.copyDescriptor(input, length); });
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
    std::unique_ptr<char[]> block;
    Batch inFlight;
    bool failed = false;

    bool settle() const { return !failed; }
    template <typename Task>
    bool runTask(Task task) {
        failed = failed || !task();
        return !failed;
    }
    char* copyBlock() {
        if (!block) block.reset(new char[kCopyBlock]);
        return block.get();
    }
    bool writeAll(const char* data, size_t length) { return std::fwrite(data, 1, length, file) == length; }
    uint64_t kernelCopy(int, uint64_t*, uint64_t) { return 0; }
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
        const size_t got = std::fread(native_->copyBlock(), 1, static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)), input);
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

// Ranges that come in a batch are those copiesInKernel() chose; what the kernel does not copy of
// them after all (another file system, say) goes by reads and writes.
bool OutputFile::Native::writePieces(const Batch& batch) {
    for (const Piece& piece : batch.pieces) {
        if (!piece.source) {
            if (!writeAll(batch.block.get() + piece.offset, static_cast<size_t>(piece.length))) return false;
            continue;
        }
        uint64_t offset = piece.offset;
        const uint64_t copied = piece.source->descriptor() < 0 ? 0 : kernelCopy(piece.source->descriptor(), &offset, piece.length);
        offset += copied;
        uint64_t left = piece.length - copied;
        while (left > 0) {
            const size_t got = piece.source->readAt(offset, copyBlock(), static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)));
            if (got == 0 || !writeAll(block.get(), got)) return false;
            offset += got;
            left -= got;
        }
    }
    return true;
}

bool OutputFile::writeBatch(Batch& batch) {
    Native& native = *native_;
    if (!native.settle()) return false;
    // The batch written last is done: its block comes back for the caller to fill.
    std::swap(native.inFlight, batch);
    batch.pieces.clear();
    return native.runTask([&native] { return native.writePieces(native.inFlight); });
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

bool OutputFile::settle() { return native_->settle(); }

OutputFile::OutputFile(std::unique_ptr<Native> native) : native_(std::move(native)) {}

OutputFile::~OutputFile() { close(); }
