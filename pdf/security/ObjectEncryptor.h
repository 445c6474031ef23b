#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pdf/security/FileKey.h"
#include "pdf/security/ObjectKey.h"

// Encrypts the bytes of new objects written into an encrypted output document, so that a
// reader decrypts them with the document's file key: RC4 under the object key, or AES-CBC
// (AES-128 under the object key, AES-256 under the file key) with a 16-byte IV in front and
// PKCS#5 padding. The IV is derived from the object key and
// the object number, so equal input always gives equal output bytes.
class ObjectEncryptor {
public:
    // An empty key throws CPdfException.
    explicit ObjectEncryptor(const FileKey& fileKey);
    ObjectEncryptor(const ObjectEncryptor&) = default;
    ObjectEncryptor& operator=(const ObjectEncryptor&) = default;

    std::string encrypt(const uint8_t* data, size_t length, uint32_t objectNumber, uint32_t generation) const;
    std::string encrypt(const std::string& plain, uint32_t objectNumber, uint32_t generation) const;

    // The size of the encrypted form of `length` plain bytes (the stream's Length entry).
    size_t encryptedLength(size_t length) const;

private:
    FileKey fileKey_;
};
