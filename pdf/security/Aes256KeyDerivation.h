#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The entries of a Standard encryption dictionary of revision 5 or 6 that the password check and
// the file key need, as bytes.
struct Aes256EncryptionValues {
    int revision = 6;                     // R: 5 or 6
    std::vector<uint8_t> owner;           // O: hash, validation salt, key salt (48 bytes used)
    std::vector<uint8_t> user;            // U: the same for the user password
    std::vector<uint8_t> ownerWrappedKey; // OE: the file key under the owner password (32 bytes)
    std::vector<uint8_t> userWrappedKey;  // UE: the file key under the user password
    std::vector<uint8_t> perms;           // Perms: P and EncryptMetadata sealed with the file key
    uint32_t permissions = 0;             // P, its 32 bits
    bool encryptMetadata = true;          // EncryptMetadata
};

enum class PasswordRole { none, user, owner };

// What the sealed copy of P and EncryptMetadata says about the dictionary's own entries.
enum class PermsCheck {
    consistent,
    unreadable,           // missing, short, or no "adb" marker once decrypted: key or entry damaged
    permissionsDiffer,    // the sealed P is not the dictionary's P
    metadataFlagDiffers,  // the sealed EncryptMetadata is not the dictionary's
};

using FileKey256 = std::array<uint8_t, 32>;

struct Aes256Unlock {
    PasswordRole role = PasswordRole::none;  // none: the password is neither; the rest is then unset
    FileKey256 fileKey{};
    PermsCheck perms = PermsCheck::unreadable;
};

// The password check and the file key of the Standard security handler with AES-256: SHA-256
// alone for revision 5, the iterated SHA-2 and AES hash for revision 6.
class CAes256KeyDerivation {
public:
    static constexpr size_t kMaxPasswordBytes = 127;

    // Throws CPdfException "Unsupported version/revision of Standard security handler" for another
    // revision, and "Weird encryption info" when O or U is shorter than 48 bytes or OE or UE
    // shorter than 32.
    explicit CAes256KeyDerivation(Aes256EncryptionValues values);

    // Tries `password` (UTF-8) as the owner password, then as the user password; on a match
    // unwraps the file key and checks Perms with it.
    Aes256Unlock unlock(const std::string& password) const;
    PermsCheck checkPerms(const FileKey256& fileKey) const;

    // The password as the hash takes it: non-ASCII spaces mapped to a space and the characters
    // that map to nothing removed (the common part of SASLprep), then cut to 127 bytes.
    static std::vector<uint8_t> preparePassword(const std::string& utf8);

private:
    enum class Role { user, owner };

    std::vector<uint8_t> hash(const std::vector<uint8_t>& password, const uint8_t* salt, Role role) const;
    bool matches(const std::vector<uint8_t>& password, Role role) const;
    FileKey256 unwrapFileKey(const std::vector<uint8_t>& password, Role role) const;

    Aes256EncryptionValues values_;
};
