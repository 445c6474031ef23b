#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "pdf/security/Aes256KeyDerivation.h"
#include "pdf/security/ObjectKey.h"
#include "pdf/security/SecurityHandler.h"

class CPdfDictionary;

// The Standard security handler with RC4 or AES-128 (V 1, 2, and 4 through one crypt filter;
// R 2 to 4) and AES-256 (V 5, R 5 and 6): reads the encryption dictionary, checks the
// passwords, computes the file key.
class CStandardSecurityHandler : public CSecurityHandler {
public:
    // `trailer` gives the ID; throws "Weird encryption info" or
    // "Unsupported version/revision of Standard security handler".
    CStandardSecurityHandler(const CPdfElement& trailer, const CPdfDictionary& encrypt);
    ~CStandardSecurityHandler() override;

    uint32_t getPermissionFlags() const override { return permissions_; }
    bool getOwnerPasswordOk() const override { return ownerPasswordOk_; }
    // The key of the last check, kept even when the check failed.
    const uint8_t* getFileKey() const override { return fileKey_; }
    int getFileKeyLength() const override { return keyLength_; }
    int getEncVersion() const override { return encVersion_; }
    CipherKind getCipherKind() const override { return cipher_; }
    int getEncRevision() const { return encRevision_; }
    bool getEncryptMetadata() const override { return encryptMetadata_; }
    // AES-256 only: what the sealed copy of P said after the last successful check.
    PermsCheck getPermsCheck() const { return permsCheck_; }
    bool permissionsSealIntact() const override { return permsCheck_ == PermsCheck::consistent; }

protected:
    bool authorize(const AuthData* authData) override;

private:
    void readCryptFilter(const CPdfDictionary& encrypt);
    // V 5: one AESV3 crypt filter for streams and strings; throws when that is not what it finds.
    void readAes256(const CPdfDictionary& encrypt, const CPdfElement& owner, const CPdfElement& user);
    bool authorizeAes256(const std::string& ownerPassword, const std::string& userPassword);
    // The owner password, then the user password, under the current key length.
    bool checkPasswords(const std::string& ownerPassword, const std::string& userPassword);
    bool checkOwnerPassword(const std::string& ownerPassword);
    // Computes the file key from a 32-byte padded password and checks it against U.
    bool checkUserPassword(const uint8_t* paddedPassword);

    uint32_t permissions_ = 0;
    bool ownerPasswordOk_ = false;
    // Up to revision 4 keys are cut from one MD5 digest; AES-256 keys fill all of it.
    uint8_t fileKey_[FileKey::kMaxLength] = {};
    int keyLength_ = 0;
    bool lengthGiven_ = false;  // the dictionary has a Length
    int encVersion_ = 0;
    int encRevision_ = 0;
    CipherKind cipher_ = CipherKind::rc4;
    bool encryptMetadata_ = true;
    std::vector<uint8_t> ownerKey_;
    std::vector<uint8_t> userKey_;
    std::vector<uint8_t> fileId_;
    std::unique_ptr<CAes256KeyDerivation> aes256_;
    PermsCheck permsCheck_ = PermsCheck::consistent;
};
