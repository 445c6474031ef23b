#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pdf/security/FileKey.h"

class CPdfElement;

// Reads an encryption dictionary, checks passwords and computes the file key.
class CSecurityHandler {
public:
    virtual ~CSecurityHandler() = default;

    // Tries the given passwords (either may be empty).
    bool checkEncryption(const std::string& ownerPassword, const std::string& userPassword);

    virtual uint32_t getPermissionFlags() const = 0;
    virtual bool getOwnerPasswordOk() const = 0;
    virtual const uint8_t* getFileKey() const = 0;
    virtual int getFileKeyLength() const = 0;
    virtual int getEncVersion() const = 0;
    virtual CipherKind getCipherKind() const = 0;
    // False when the document's metadata streams are stored in plain text.
    virtual bool getEncryptMetadata() const { return true; }
    // False when a sealed copy of the permissions disagrees with the dictionary (AES-256).
    virtual bool permissionsSealIntact() const { return true; }

protected:
    struct AuthData {
        std::string ownerPassword;
        std::string userPassword;
    };
    virtual bool authorize(const AuthData* authData) = 0;
};

// The Standard handler when the dictionary's Filter is the name Standard, else null.
// `trailer` is the document's trailer (for its ID), `encrypt` the resolved Encrypt dictionary.
// Throws "Weird encryption info" / "Unsupported version/revision of Standard security handler".
std::unique_ptr<CSecurityHandler> makeSecurityHandler(const CPdfElement& trailer, const CPdfElement& encrypt);
