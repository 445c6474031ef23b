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
#include <csignal>
#include <pthread.h>
#include <system_error>
#include <thread>
#endif
#endif

namespace {

constexpr size_t kCopyBlock = size_t{1} << 20;

#if QUILLMOR_DESCRIPTORS
// Read and write for everyone, narrowed by the user's umask, as the C library's fopen creates files.
constexpr mode_t kNewFileMode = 0666;
#endif

}  // namespace

#if QUILLMOR_DESCRIPTORS

struct OutputFile::Native {
    int descriptor = -1;
    // Once the kernel refuses a copy between these files, later copies go by reads and writes at once.
    bool kernelCopyRefused = false;
    std::unique_ptr<char[]> block;  // for copies by reads and writes
#if QUILLMOR_HAVE_THREADS
    std::thread copy;
    bool copied = true;  // how the copy on the thread went, read once it is joined
#endif

    char* copyBlock() {
        if (!block) block.reset(new char[kCopyBlock]);
        return block.get();
    }
    bool writeAll(const char* data, size_t length);
    // Copies from the input's `position` (its own file position when null) to the end of this file.
    uint64_t kernelCopy(int input, uint64_t* position, uint64_t length);
    bool copyDescriptor(int input, uint64_t length);
    // Waits for a copy that runs on a thread; false when it failed.
    bool finishCopy();
};

bool OutputFile::Native::writeAll(const char* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(descriptor, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        length -= static_cast<size_t>(written);
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

bool OutputFile::Native::finishCopy() {
#if QUILLMOR_HAVE_THREADS
    if (copy.joinable()) copy.join();
    return copied;
#else
    return true;
#endif
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

bool OutputFile::write(const char* data, size_t length) { return native_->finishCopy() && native_->writeAll(data, length); }

bool OutputFile::copyFrom(const std::string& source, uint64_t length) {
    if (!native_->finishCopy()) return false;
    const int input = ::open(source.c_str(), O_RDONLY);
    if (input < 0) return false;
#if QUILLMOR_HAVE_THREADS
    // The thread takes no signal: the handler and the holds of the program stay with its own thread.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    try {
        Native& native = *native_;
        native.copy = std::thread([&native, input, length] { native.copied = native.copyDescriptor(input, length); });
    } catch (const std::system_error&) {
        native_->copied = native_->copyDescriptor(input, length);  // no thread to be had: copy here
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return true;
#else
    return native_->copyDescriptor(input, length);
#endif
}

bool OutputFile::copyFrom(ReadOnlyFile& source, uint64_t position, uint64_t length) {
    if (!native_->finishCopy()) return false;
    const uint64_t copied = source.descriptor() < 0 ? 0 : native_->kernelCopy(source.descriptor(), &position, length);
    position += copied;
    uint64_t left = length - copied;
    while (left > 0) {
        const size_t got = source.readAt(position, native_->copyBlock(), static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)));
        if (got == 0 || !native_->writeAll(native_->block.get(), got)) break;
        position += got;
        left -= got;
    }
    return left == 0;
}

bool OutputFile::syncData() {
    if (!native_->finishCopy()) return false;
#if QUILLMOR_HAVE_FDATASYNC
    return ::fdatasync(native_->descriptor) == 0;
#elif QUILLMOR_HAVE_FSYNC
    return ::fsync(native_->descriptor) == 0;
#else
    return true;
#endif
}

bool OutputFile::close() {
    const bool copied = native_->finishCopy();
    if (native_->descriptor < 0) return copied;
    const int descriptor = native_->descriptor;
    native_->descriptor = -1;
    // Never retried: after a failed close the descriptor is gone all the same.
    return ::close(descriptor) == 0 && copied;
}

#else

struct OutputFile::Native {
    std::FILE* file = nullptr;
    std::unique_ptr<char[]> block;

    char* copyBlock() {
        if (!block) block.reset(new char[kCopyBlock]);
        return block.get();
    }
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

bool OutputFile::write(const char* data, size_t length) {
    return std::fwrite(data, 1, length, native_->file) == length;
}

bool OutputFile::copyFrom(const std::string& source, uint64_t length) {
    std::FILE* input = std::fopen(source.c_str(), "rb");
    if (!input) return false;
    uint64_t left = length;
    while (left > 0) {
        const size_t got = std::fread(native_->copyBlock(), 1, static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)), input);
        if (got == 0 || !write(native_->block.get(), got)) break;
        left -= got;
    }
    std::fclose(input);
    return left == 0;
}

bool OutputFile::copyFrom(ReadOnlyFile& source, uint64_t position, uint64_t length) {
    uint64_t left = length;
    while (left > 0) {
        const size_t got = source.readAt(position, native_->copyBlock(), static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)));
        if (got == 0 || !write(native_->block.get(), got)) break;
        position += got;
        left -= got;
    }
    return left == 0;
}

// The C library can hand the data to the system, not put it on the disk.
bool OutputFile::syncData() { return std::fflush(native_->file) == 0; }

bool OutputFile::close() {
    if (!native_->file) return true;
    std::FILE* file = native_->file;
    native_->file = nullptr;
    return std::fclose(file) == 0;
}

#endif

OutputFile::OutputFile(std::unique_ptr<Native> native) : native_(std::move(native)) {}

OutputFile::~OutputFile() { close(); }
