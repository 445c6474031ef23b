#include "platform/Folder.h"

#include <cstdio>

#if QUILLMOR_HAVE_UNISTD_H && QUILLMOR_HAVE_OPEN && QUILLMOR_HAVE_FSYNC
#define QUILLMOR_FOLDER_SYNC 1
#include <fcntl.h>
#include <unistd.h>
#endif

std::string Folder::of(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

bool Folder::moveOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
#if QUILLMOR_HAVE_UNISTD_H
    return false;
#else
    // Some C libraries refuse to rename onto an existing name: there the old file goes first,
    // and for a moment neither is under the name.
    return std::remove(to.c_str()) == 0 && std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool Folder::removeEntry(const std::string& name) { return std::remove(name.c_str()) == 0; }

bool Folder::sync(const std::string& folder) {
#if QUILLMOR_FOLDER_SYNC
#ifdef O_DIRECTORY
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
#else
    const int descriptor = ::open(folder.c_str(), O_RDONLY);
#endif
    if (descriptor < 0) return false;
    const bool synced = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return synced;
#else
    (void)folder;
    return true;
#endif
}
