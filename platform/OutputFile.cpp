#include "platform/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

#if QUILLMOR_HAVE_UNISTD_H && QUILLMOR_HAVE_OPEN
#define QUILLMOR_DESCRIPTORS 1
#include <fcntl.h>
#include <unistd.h>
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
};

std::unique_ptr<OutputFile> OutputFile::createNew(const std::string& name, Creation& creation) {
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, kNewFileMode);
    if (descriptor < 0) {
        creation = errno == EEXIST ? Creation::exists : Creation::failed;
        return nullptr;
    }
    creation = Creation::created;
    std::unique_ptr<Native> native(new Native{descriptor});
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
    std::unique_ptr<Native> native(new Native{data});
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(native)));
}

bool OutputFile::write(const char* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(native_->descriptor, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

bool OutputFile::copyFrom(const std::string& source, uint64_t length) {
    const int input = ::open(source.c_str(), O_RDONLY);
    if (input < 0) return false;
    uint64_t left = length;
#if QUILLMOR_HAVE_COPY_FILE_RANGE
    while (left > 0) {
        const ssize_t copied = ::copy_file_range(input, nullptr, native_->descriptor, nullptr,
                                                 static_cast<size_t>(std::min<uint64_t>(left, SSIZE_MAX)), 0);
        if (copied < 0 && errno == EINTR) continue;
        // Refused (another file system, an old kernel): what is left goes by reads and writes.
        if (copied <= 0) break;
        left -= static_cast<uint64_t>(copied);
    }
#endif
    std::unique_ptr<char[]> block(new char[kCopyBlock]);
    while (left > 0) {
        const ssize_t got = ::read(input, block.get(), static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !write(block.get(), static_cast<size_t>(got))) break;
        left -= static_cast<uint64_t>(got);
    }
    ::close(input);
    return left == 0;
}

bool OutputFile::syncData() {
#if QUILLMOR_HAVE_FDATASYNC
    return ::fdatasync(native_->descriptor) == 0;
#elif QUILLMOR_HAVE_FSYNC
    return ::fsync(native_->descriptor) == 0;
#else
    return true;
#endif
}

bool OutputFile::close() {
    if (native_->descriptor < 0) return true;
    const int descriptor = native_->descriptor;
    native_->descriptor = -1;
    // Never retried: after a failed close the descriptor is gone all the same.
    return ::close(descriptor) == 0;
}

#else

struct OutputFile::Native {
    std::FILE* file = nullptr;
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
    std::unique_ptr<Native> native(new Native{file});
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(native)));
}

// The C library has no second handle on standard output: messages and data would mix.
std::unique_ptr<OutputFile> OutputFile::takeStandardOutput() { return nullptr; }

bool OutputFile::write(const char* data, size_t length) {
    return std::fwrite(data, 1, length, native_->file) == length;
}

bool OutputFile::copyFrom(const std::string& source, uint64_t length) {
    std::FILE* input = std::fopen(source.c_str(), "rb");
    if (!input) return false;
    std::unique_ptr<char[]> block(new char[kCopyBlock]);
    uint64_t left = length;
    while (left > 0) {
        const size_t got = std::fread(block.get(), 1, static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)), input);
        if (got == 0 || !write(block.get(), got)) break;
        left -= got;
    }
    std::fclose(input);
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
