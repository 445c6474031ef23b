#include "pdf/security/ObjectKey.h"

#include <cstring>

#include "pdf/security/Md5.h"

static_assert(kMaxFileKeyLength == kMd5DigestSize, "an object key is one MD5 digest");

namespace {
constexpr size_t kObjectNumberBytes = 3;
constexpr size_t kGenerationBytes = 2;
constexpr uint8_t kAesSalt[] = {'s', 'A', 'l', 'T'};
}  // namespace

ObjectKey makeObjectKey(const uint8_t* fileKey, int fileKeyLength, int cipherKind, uint32_t objectNumber,
                        uint32_t generation) {
    size_t keyLength = 0;
    if (fileKey && fileKeyLength > 0)
        keyLength = static_cast<size_t>(fileKeyLength) < kMaxFileKeyLength ? static_cast<size_t>(fileKeyLength)
                                                                           : kMaxFileKeyLength;

    uint8_t material[kMaxFileKeyLength + kObjectNumberBytes + kGenerationBytes + sizeof kAesSalt];
    size_t used = 0;
    if (keyLength) std::memcpy(material, fileKey, keyLength);
    used += keyLength;
    for (size_t k = 0; k < kObjectNumberBytes; ++k) material[used++] = static_cast<uint8_t>(objectNumber >> (8 * k));
    for (size_t k = 0; k < kGenerationBytes; ++k) material[used++] = static_cast<uint8_t>(generation >> (8 * k));
    if (cipherKind == kCipherAes) {
        std::memcpy(material + used, kAesSalt, sizeof kAesSalt);
        used += sizeof kAesSalt;
    }

    ObjectKey key;
    md5(material, used, key.bytes);
    const size_t rc4Length = keyLength + kObjectNumberBytes + kGenerationBytes;
    key.length = rc4Length < kMaxFileKeyLength ? rc4Length : kMaxFileKeyLength;
    return key;
}
