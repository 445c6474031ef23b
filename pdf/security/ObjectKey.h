#pragma once

#include <cstddef>
#include <cstdint>

#include "pdf/security/FileKey.h"
#include "pdf/security/Md5.h"

// The key of one object under the file key.
struct ObjectKey {
    uint8_t bytes[FileKey::kMaxLength];
    size_t length;  // RC4 uses this many bytes; AES-128 the first 16, AES-256 all 32
};

// MD5 of the file key, the three low bytes of the object number and the two low bytes of the
// generation (low bytes first), and "sAlT" for AES-128. AES-256 has no per-object key: the file
// key itself.
ObjectKey makeObjectKey(const FileKey& fileKey, uint32_t objectNumber, uint32_t generation);
