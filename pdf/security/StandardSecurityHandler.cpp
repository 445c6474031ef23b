#include "pdf/security/StandardSecurityHandler.h"

#include <cstring>
#include <memory>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/objects/PdfString.h"
#include "pdf/security/Md5.h"
#include "pdf/security/PasswordPadding.h"
#include "pdf/security/Rc4.h"

namespace {

constexpr int kDefaultKeyLength = 5;  // 40 bits, when the dictionary gives no usable Length
constexpr int kBitsPerByte = 8;
constexpr int kExtraHashRounds = 50;
constexpr int kRc4Passes = 20;  // revision 3: the key XORed with 19 down to 0
constexpr size_t kKeyEntrySize = 32;
constexpr size_t kPermissionBytes = 4;
constexpr int kAes256Version = 5;
constexpr int kAes256KeyLength = 32;
constexpr uint8_t kNoMetadataMarker[] = {0xFF, 0xFF, 0xFF, 0xFF};

const char* const kWeirdInfo = "Weird encryption info";
const char* const kUnsupported = "Unsupported version/revision of Standard security handler";

bool isStringKind(const CPdfElement& element) { return element.is(kindString) || element.is(kindHexString); }

// Every byte of a literal or hex string: O, U and the ID are binary and may hold zero bytes.
std::vector<uint8_t> stringBytes(const CPdfElement& element) {
    if (element.is(kindString)) {
        const char* text = element.getString();
        return std::vector<uint8_t>(text, text + element.getStringLength());
    }
    if (!element.is(kindHexString)) return {};
    std::unique_ptr<CPdfString> decoded(element.getHexString()->clone());
    decoded->decodeHex();
    const char* bytes = decoded->getBytes();
    return std::vector<uint8_t>(bytes, bytes + decoded->getLength());
}

bool nameEquals(const CPdfElement& element, const char* name) {
    return element.is(kindName) && std::strcmp(element.getName(), name) == 0;
}

// RC4 over `data` with the first `keyLength` bytes of `key`; revision 3 runs 20 passes, the
// key XORed with 19 down to 0, which undoes the 20 encryptions of the standard.
void rc4Undo(const uint8_t* key, int keyLength, int revision, uint8_t* data, size_t length) {
    const size_t usedLength = static_cast<size_t>(keyLength);
    Rc4State state;
    if (revision == 2) {
        rc4Init(key, usedLength, state);
        rc4Crypt(state, data, length);
        return;
    }
    for (int pass = kRc4Passes - 1; pass >= 0; --pass) {
        uint8_t passKey[kMd5DigestSize];
        for (size_t k = 0; k < usedLength; ++k) passKey[k] = static_cast<uint8_t>(key[k] ^ pass);
        rc4Init(passKey, usedLength, state);
        rc4Crypt(state, data, length);
    }
}

}  // namespace

CStandardSecurityHandler::CStandardSecurityHandler(const CPdfElement& trailer, const CPdfDictionary& encrypt) {
    CPdfElement version, revision, length, owner, user, permissions, id;
    encrypt.lookup("V", version);
    encrypt.lookup("R", revision);
    encrypt.lookup("Length", length);
    encrypt.lookup("O", owner);
    encrypt.lookup("U", user);
    encrypt.lookup("P", permissions);
    if (trailer.is(kindDictionary)) trailer.getDictionary()->lookup("ID", id);

    if (!version.is(kindInteger) || !revision.is(kindInteger) || !isStringKind(owner) || !isStringKind(user) ||
        !permissions.is(kindInteger))
        throw CPdfException(kWeirdInfo);

    encVersion_ = version.getInteger();
    encRevision_ = revision.getInteger();
    cipher_ = CipherKind::rc4;
    keyLength_ = encRevision_ == 2 || !length.is(kindInteger) ? kDefaultKeyLength : length.getInteger() / kBitsPerByte;
    lengthGiven_ = length.is(kindInteger);
    encryptMetadata_ = true;
    if (encVersion_ == kAes256Version) {
        readAes256(encrypt, owner, user);
        return;
    }
    if (encVersion_ == 4 && encRevision_ == 4) readCryptFilter(encrypt);

    permissions_ = static_cast<uint32_t>(permissions.getInteger());
    ownerKey_ = stringBytes(owner);
    userKey_ = stringBytes(user);

    if (encVersion_ < 1 || encVersion_ > 2 || encRevision_ < 2 || encRevision_ > 3) throw CPdfException(kUnsupported);

    if (id.is(kindArray) && id.getArray()->getLength() > 0) {
        CPdfElement first;
        id.getArray()->get(0, first);
        fileId_ = stringBytes(first);
    }

    if (keyLength_ > static_cast<int>(kMd5DigestSize)) keyLength_ = static_cast<int>(kMd5DigestSize);
    // A zero or negative Length would leave RC4 without a key; read it as absent instead.
    if (keyLength_ < 1) keyLength_ = kDefaultKeyLength;
}

CStandardSecurityHandler::~CStandardSecurityHandler() { std::memset(fileKey_, 0, sizeof fileKey_); }

// V 4 and R 4 are served only when one V2 or AESV2 crypt filter handles both streams and
// strings; it is then the same as V 2 and R 3.
void CStandardSecurityHandler::readCryptFilter(const CPdfDictionary& encrypt) {
    CPdfElement filters, streamFilter, stringFilter, encryptMetadata;
    encrypt.lookup("CF", filters);
    encrypt.lookup("StmF", streamFilter);
    encrypt.lookup("StrF", stringFilter);
    encrypt.lookup("EncryptMetadata", encryptMetadata);
    if (encryptMetadata.is(kindBool)) encryptMetadata_ = encryptMetadata.getBool();

    if (!filters.is(kindDictionary) || !streamFilter.is(kindName) || !stringFilter.is(kindName) ||
        std::strcmp(streamFilter.getName(), stringFilter.getName()) != 0)
        return;
    CPdfElement filter;
    filters.getDictionary()->lookup(streamFilter.getName(), filter);
    if (!filter.is(kindDictionary)) return;
    CPdfElement method, filterLength;
    filter.getDictionary()->lookup("CFM", method);
    const bool isRc4 = nameEquals(method, "V2");
    const bool isAes = nameEquals(method, "AESV2");
    if (!isRc4 && !isAes) return;

    encVersion_ = 2;
    encRevision_ = 3;
    if (isAes) cipher_ = CipherKind::aes128;
    filter.getDictionary()->lookup("Length", filterLength);
    if (filterLength.is(kindInteger)) keyLength_ = filterLength.getInteger();  // in bytes here
}

void CStandardSecurityHandler::readAes256(const CPdfDictionary& encrypt, const CPdfElement& owner,
                                          const CPdfElement& user) {
    CPdfElement filters, streamFilter, stringFilter, filter, method;
    encrypt.lookup("CF", filters);
    encrypt.lookup("StmF", streamFilter);
    encrypt.lookup("StrF", stringFilter);
    if (filters.is(kindDictionary) && streamFilter.is(kindName) && stringFilter.is(kindName) &&
        std::strcmp(streamFilter.getName(), stringFilter.getName()) == 0)
        filters.getDictionary()->lookup(streamFilter.getName(), filter);
    if (filter.is(kindDictionary)) filter.getDictionary()->lookup("CFM", method);
    if (!nameEquals(method, "AESV3") || (encRevision_ != 5 && encRevision_ != 6)) throw CPdfException(kUnsupported);

    CPdfElement ownerWrapped, userWrapped, perms, permissions, encryptMetadata;
    encrypt.lookup("OE", ownerWrapped);
    encrypt.lookup("UE", userWrapped);
    encrypt.lookup("Perms", perms);
    encrypt.lookup("P", permissions);
    encrypt.lookup("EncryptMetadata", encryptMetadata);
    if (encryptMetadata.is(kindBool)) encryptMetadata_ = encryptMetadata.getBool();

    Aes256EncryptionValues values;
    values.revision = encRevision_;
    values.owner = stringBytes(owner);
    values.user = stringBytes(user);
    values.ownerWrappedKey = stringBytes(ownerWrapped);
    values.userWrappedKey = stringBytes(userWrapped);
    values.perms = stringBytes(perms);
    values.permissions = static_cast<uint32_t>(permissions.getInteger());
    values.encryptMetadata = encryptMetadata_;
    aes256_ = std::make_unique<CAes256KeyDerivation>(std::move(values));

    permissions_ = static_cast<uint32_t>(permissions.getInteger());
    cipher_ = CipherKind::aes256;
    keyLength_ = kAes256KeyLength;
}

bool CStandardSecurityHandler::authorizeAes256(const std::string& ownerPassword, const std::string& userPassword) {
    Aes256Unlock unlocked;
    if (!ownerPassword.empty()) unlocked = aes256_->unlock(ownerPassword);
    if (unlocked.role == PasswordRole::none) unlocked = aes256_->unlock(userPassword);
    if (unlocked.role == PasswordRole::none) return false;
    ownerPasswordOk_ = unlocked.role == PasswordRole::owner;
    std::memcpy(fileKey_, unlocked.fileKey.data(), unlocked.fileKey.size());
    permsCheck_ = unlocked.perms;
    return true;
}

bool CStandardSecurityHandler::authorize(const AuthData* authData) {
    static const std::string kNoPassword;
    const std::string& ownerPassword = authData ? authData->ownerPassword : kNoPassword;
    const std::string& userPassword = authData ? authData->userPassword : kNoPassword;
    ownerPasswordOk_ = false;
    if (aes256_) return authorizeAes256(ownerPassword, userPassword);
    // Both checks read 32 bytes of O and U; shorter entries cannot match.
    if (ownerKey_.size() < kKeyEntrySize || userKey_.size() < kKeyEntrySize) return false;

    if (checkPasswords(ownerPassword, userPassword)) return true;
    // Writers that leave Length out at revision 3 and above mostly meant 128 bits, and other
    // readers open such files with that: try it before refusing.
    if (lengthGiven_ || encRevision_ < 3 || keyLength_ == static_cast<int>(kMd5DigestSize)) return false;
    keyLength_ = static_cast<int>(kMd5DigestSize);
    return checkPasswords(ownerPassword, userPassword);
}

bool CStandardSecurityHandler::checkPasswords(const std::string& ownerPassword, const std::string& userPassword) {
    if (!ownerPassword.empty() && checkOwnerPassword(ownerPassword)) {
        ownerPasswordOk_ = true;
        return true;
    }
    uint8_t padded[kPasswordPaddingSize];
    padPassword(userPassword, padded);
    return checkUserPassword(padded);
}

// O holds the padded user password encrypted under a key made from the owner password.
bool CStandardSecurityHandler::checkOwnerPassword(const std::string& ownerPassword) {
    uint8_t padded[kPasswordPaddingSize];
    padPassword(ownerPassword, padded);
    uint8_t hash[kMd5DigestSize];
    md5(padded, sizeof padded, hash);
    if (encRevision_ == 3)
        for (int round = 0; round < kExtraHashRounds; ++round) md5(hash, sizeof hash, hash);

    uint8_t userPassword[kKeyEntrySize];
    std::memcpy(userPassword, ownerKey_.data(), kKeyEntrySize);
    rc4Undo(hash, keyLength_, encRevision_, userPassword, sizeof userPassword);
    return checkUserPassword(userPassword);
}

bool CStandardSecurityHandler::checkUserPassword(const uint8_t* paddedPassword) {
    uint8_t permissionBytes[kPermissionBytes];
    for (size_t k = 0; k < kPermissionBytes; ++k) permissionBytes[k] = static_cast<uint8_t>(permissions_ >> (8 * k));

    CMd5 hasher;
    hasher.update(paddedPassword, kPasswordPaddingSize);
    hasher.update(ownerKey_.data(), kKeyEntrySize);
    hasher.update(permissionBytes, sizeof permissionBytes);
    hasher.update(fileId_.data(), fileId_.size());
    if (!encryptMetadata_) hasher.update(kNoMetadataMarker, sizeof kNoMetadataMarker);
    uint8_t key[kMd5DigestSize];
    hasher.finish(key);
    if (encRevision_ == 3)
        for (int round = 0; round < kExtraHashRounds; ++round) md5(key, static_cast<size_t>(keyLength_), key);
    std::memcpy(fileKey_, key, sizeof key);

    uint8_t check[kKeyEntrySize];
    std::memcpy(check, userKey_.data(), kKeyEntrySize);
    rc4Undo(key, keyLength_, encRevision_, check, sizeof check);
    if (encRevision_ == 2) return std::memcmp(check, kPasswordPadding, kKeyEntrySize) == 0;

    CMd5 expectedHasher;
    expectedHasher.update(kPasswordPadding, kPasswordPaddingSize);
    expectedHasher.update(fileId_.data(), fileId_.size());
    uint8_t expected[kMd5DigestSize];
    expectedHasher.finish(expected);
    return std::memcmp(check, expected, sizeof expected) == 0;
}
