#include "platform/StandardInput.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/OutputFile.h"
#include "platform/SignalCleanup.h"

#if QUILLMOR_HAVE_UNISTD_H
#include <unistd.h>
#endif

namespace {

constexpr size_t kBlock = 64 * 1024;
constexpr char kNamePrefix[] = "quillmor-input-";
constexpr char kNameSuffix[] = ".pdf";
// Another run may hold a name; after this many the folder is given up on.
constexpr int kNameAttempts = 100;

// Empty when $TMPDIR (or the system's default) names no folder.
std::string temporaryFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::string() : folder.string();
}

// Up to `capacity` bytes of standard input; 0 at its end, -1 on an error.
long readSome(char* buffer, size_t capacity) {
#if QUILLMOR_HAVE_UNISTD_H
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, capacity);
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return -1;
    }
#else
    const size_t got = std::fread(buffer, 1, capacity, stdin);
    return got == 0 && std::ferror(stdin) ? -1 : static_cast<long>(got);
#endif
}

}  // namespace

std::unique_ptr<StandardInput> StandardInput::copy(uint64_t limit, Outcome& outcome) {
    outcome = Outcome::failed;
#if !QUILLMOR_HAVE_UNISTD_H
    // Line ends must pass unchanged.
    if (!std::freopen(nullptr, "rb", stdin)) return nullptr;
#endif
    const std::string folder = temporaryFolder();
    if (folder.empty()) return nullptr;
    std::random_device seed;
    std::unique_ptr<OutputFile> file;
    std::unique_ptr<StandardInput> input;
    for (int attempt = 0; attempt < kNameAttempts && !file; ++attempt) {
        const std::string name = folder + "/" + kNamePrefix + std::to_string(seed()) + kNameSuffix;
        const SignalCleanup::Hold hold;
        if (SignalCleanup::receivedSignal() != 0 || !SignalCleanup::track(name)) return nullptr;
        OutputFile::Creation creation = OutputFile::Creation::failed;
        file = OutputFile::createNew(name, creation);
        if (file) {
            input.reset(new StandardInput(name));
        } else {
            SignalCleanup::untrack(name);
            if (creation != OutputFile::Creation::exists) return nullptr;
        }
    }
    if (!file) return nullptr;
    std::unique_ptr<char[]> block(new char[kBlock]);
    uint64_t total = 0;
    for (;;) {
        const long got = readSome(block.get(), kBlock);
        if (got < 0 || !file->write(block.get(), static_cast<size_t>(got))) return nullptr;
        if (got == 0) break;
        total += static_cast<uint64_t>(got);
        if (total > limit) {
            outcome = Outcome::tooLarge;
            return nullptr;
        }
    }
    if (!file->close()) return nullptr;
    outcome = Outcome::copied;
    return input;
}

StandardInput::~StandardInput() {
    const SignalCleanup::Hold hold;
    SignalCleanup::removeTracked(name_);
}
