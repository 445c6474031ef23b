#include "pdf/security/SecurityHandler.h"

#include <cstring>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/security/StandardSecurityHandler.h"

bool CSecurityHandler::checkEncryption(const std::string& ownerPassword, const std::string& userPassword) {
    // No password at all is tried as no authorisation data: the empty user password.
    if (ownerPassword.empty() && userPassword.empty()) return authorize(nullptr);
    const AuthData authData{ownerPassword, userPassword};
    return authorize(&authData);
}

std::unique_ptr<CSecurityHandler> makeSecurityHandler(const CPdfElement& trailer, const CPdfElement& encrypt) {
    if (!encrypt.is(kindDictionary)) return nullptr;
    CPdfElement filter;
    encrypt.getDictionary()->lookup("Filter", filter);
    if (!filter.is(kindName) || std::strcmp(filter.getName(), "Standard") != 0) return nullptr;
    return std::make_unique<CStandardSecurityHandler>(trailer, *encrypt.getDictionary());
}
