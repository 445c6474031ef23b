#include "pdf/security/ObjectKey.h"

#include <cstring>

#include "pdf/security/Md5.h"

namespace {
constexpr size_t kObjectNumberBytes = 3;
constexpr size_t kGenerationBytes = 2;
constexpr uint8_t kAesSalt[] = {'s', 'A', 'l', 'T'};
}  // namespace

ObjectKey makeObjectKey(const FileKey& fileKey, uint32_t objectNumber, uint32_t generation) {
    const size_t keyLength = fileKey.size();
    ObjectKey key{};
    if (fileKey.cipher() == CipherKind::aes256) {
        std::memcpy(key.bytes, fileKey.data(), keyLength);
        key.length = keyLength;
        return key;
    }
    uint8_t material[FileKey::kMaxLength + kObjectNumberBytes + kGenerationBytes + sizeof kAesSalt];
    size_t used = 0;
    if (keyLength) std::memcpy(material, fileKey.data(), keyLength);
    used += keyLength;
    for (size_t k = 0; k < kObjectNumberBytes; ++k) material[used++] = static_cast<uint8_t>(objectNumber >> (8 * k));
    for (size_t k = 0; k < kGenerationBytes; ++k) material[used++] = static_cast<uint8_t>(generation >> (8 * k));
    if (fileKey.cipher() == CipherKind::aes128) {
        std::memcpy(material + used, kAesSalt, sizeof kAesSalt);
        used += sizeof kAesSalt;
    }

    md5(material, used, key.bytes);
    const size_t rc4Length = keyLength + kObjectNumberBytes + kGenerationBytes;
    key.length = rc4Length < kMd5DigestSize ? rc4Length : kMd5DigestSize;
    return key;
}
