#include "platform/ReadOnlyFile.h"

#include <cerrno>
#include <cstdio>

#if QUILLMOR_HAVE_UNISTD_H && QUILLMOR_HAVE_OPEN && QUILLMOR_HAVE_PREAD
#define QUILLMOR_POSITIONAL_READS 1
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#if QUILLMOR_POSITIONAL_READS

struct ReadOnlyFile::Native {
    int descriptor = -1;
};

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::open(const std::string& name) {
    const int descriptor = ::open(name.c_str(), O_RDONLY);
    if (descriptor < 0) return nullptr;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        ::close(descriptor);
        return nullptr;
    }
    // A pipe or a device has no size to read up to: it reads as an empty file.
    const uint64_t size = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
    std::unique_ptr<Native> native(new Native{descriptor});
    return std::unique_ptr<ReadOnlyFile>(new ReadOnlyFile(std::move(native), size));
}

ReadOnlyFile::~ReadOnlyFile() { ::close(native_->descriptor); }

size_t ReadOnlyFile::readAt(uint64_t position, void* destination, size_t count) {
    char* to = static_cast<char*>(destination);
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(native_->descriptor, to + done, count - done, static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

int ReadOnlyFile::descriptor() const { return native_->descriptor; }

#else

struct ReadOnlyFile::Native {
    std::FILE* file = nullptr;
    uint64_t position = 0;  // where the next fread starts, so that reads in a row need no seek
    bool positionKnown = false;
};

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::open(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) return nullptr;
    // Callers buffer themselves: a second buffer here would only copy every byte again.
    std::setvbuf(file, nullptr, _IONBF, 0);
    uint64_t size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        if (end > 0) size = static_cast<uint64_t>(end);
    }
    std::unique_ptr<Native> native(new Native{file, 0, false});
    return std::unique_ptr<ReadOnlyFile>(new ReadOnlyFile(std::move(native), size));
}

ReadOnlyFile::~ReadOnlyFile() { std::fclose(native_->file); }

size_t ReadOnlyFile::readAt(uint64_t position, void* destination, size_t count) {
    Native& native = *native_;
    if (!native.positionKnown || native.position != position) {
        native.positionKnown = std::fseek(native.file, static_cast<long>(position), SEEK_SET) == 0;
        if (!native.positionKnown) return 0;
        native.position = position;
    }
    const size_t got = std::fread(destination, 1, count, native.file);
    native.position += got;
    if (got < count) {
        std::clearerr(native.file);
        native.positionKnown = false;
    }
    return got;
}

int ReadOnlyFile::descriptor() const { return -1; }

#endif

ReadOnlyFile::ReadOnlyFile(std::unique_ptr<Native> native, uint64_t size) : native_(std::move(native)), size_(size) {}
