#include "pdf/security/ObjectEncryptor.h"

#include <cstring>

#include "pdf/objects/PdfException.h"
#include "pdf/security/AesCbc.h"
#include "pdf/security/Md5.h"
#include "pdf/security/Rc4.h"

namespace {

constexpr size_t kBlockSize = CAes128::kBlockSize;
constexpr size_t kObjectNumberBytes = 4;
constexpr size_t kGenerationBytes = 2;

// MD5 of the object key with the object's number and generation: fixed per object, and
// unrelated between objects.
void deriveIv(const ObjectKey& key, size_t keyBytes, uint32_t objectNumber, uint32_t generation, uint8_t* iv) {
    uint8_t material[sizeof key.bytes + kObjectNumberBytes + kGenerationBytes];
    std::memcpy(material, key.bytes, keyBytes);
    size_t used = keyBytes;
    for (size_t k = 0; k < kObjectNumberBytes; ++k) material[used++] = static_cast<uint8_t>(objectNumber >> (8 * k));
    for (size_t k = 0; k < kGenerationBytes; ++k) material[used++] = static_cast<uint8_t>(generation >> (8 * k));
    static_assert(kBlockSize == kMd5DigestSize, "the IV is one MD5 digest");
    md5(material, used, iv);
}

}  // namespace

ObjectEncryptor::ObjectEncryptor(const FileKey& fileKey) : fileKey_(fileKey) {
    if (fileKey.empty()) throw CPdfException("Internal: no file key for object encryption");
}

std::string ObjectEncryptor::encrypt(const uint8_t* data, size_t length, uint32_t objectNumber,
                                     uint32_t generation) const {
    const ObjectKey key = makeObjectKey(fileKey_, objectNumber, generation);
    if (fileKey_.cipher() == CipherKind::aes128) {
        uint8_t iv[kBlockSize];
        deriveIv(key, kMd5DigestSize, objectNumber, generation, iv);
        return aesCbcEncrypt(key.bytes, iv, data, length);
    }
    if (fileKey_.cipher() == CipherKind::aes256) {
        uint8_t iv[kBlockSize];
        deriveIv(key, key.length, objectNumber, generation, iv);
        return aesCbcEncrypt(key.bytes, iv, data, length, AesKeySize::bits256);
    }
    Rc4State state;
    rc4Init(key.bytes, key.length, state);
    std::string result(length, '\0');
    for (size_t k = 0; k < length; ++k) result[k] = static_cast<char>(rc4Crypt(state, data[k]));
    return result;
}

std::string ObjectEncryptor::encrypt(const std::string& plain, uint32_t objectNumber, uint32_t generation) const {
    return encrypt(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), objectNumber, generation);
}

size_t ObjectEncryptor::encryptedLength(size_t length) const {
    if (fileKey_.cipher() != CipherKind::rc4) return kBlockSize + (length / kBlockSize + 1) * kBlockSize;
    return length;
}
