#pragma once
// Encrypted input documents made in memory: encryption dictionaries that open with the empty user
// password (taken from qpdf's test files), their file keys as our handler computes them, and the
// decryption of what the program writes.

#include <gtest/gtest.h>

#include <string>

#include "pdf/objects/PdfElement.h"
#include "pdf/security/ObjectEncryptor.h"
#include "pdf/security/ObjectKey.h"
#include "pdf/security/PdfDecryptStream.h"
#include "pdf/security/SecurityHandler.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/objects/PdfException.h"

struct EncryptionCase {
    const char* name;
    int cipherKind;
    const char* dictionary;  // the encryption dictionary's text
    const char* id;          // the first ID string, hex digits
};

// V 2 and R 3 with RC4 and a 16-byte key (enc-R3_V2), and V 4 and R 4 with one AESV2 crypt filter
// (V4-aes).
inline const EncryptionCase kRc4Case = {
    "Rc4", kCipherRc4,
    "<< /Filter /Standard /V 2 /R 3 /Length 128 /P -3104 "
    "/O <36451bd39d753b7c1d10922c28e6665aa4f3353fb0348b536893e3b1db5c579b> "
    "/U <4ead05d7de6542e9b1ac15a5837882ec91f1dd59d88e5b6e5e0a7954217a8f78> >>",
    "66d36a30a97e0f16f39955c6221e0c2a"};
inline const EncryptionCase kAesCase = {
    "Aes", kCipherAes,
    "<< /Filter /Standard /V 4 /R 4 /Length 128 /P -4 /StmF /StdCF /StrF /StdCF "
    "/CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV2 /Length 16 >> >> "
    "/O <36451bd39d753b7c1d10922c28e6665aa4f3353fb0348b536893e3b1db5c579b> "
    "/U <32c27288b9ec6a4fab94e6188828595c0122456a91bae5134273a6db134c87c4> >>",
    "66d36a30a97e0f16f39955c6221e0c2a"};

// One PDF value parsed from text.
inline CPdfElement parseValue(const std::string& text) {
    CPdfParser parser(nullptr, new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(text.data()), 0,
                                                    static_cast<uint32_t>(text.size())));
    CPdfElement value;
    parser.getObject(value);
    return value;
}

// The file key that the empty user password gives for the case, as the reader computes it.
struct FileKey {
    uint8_t bytes[kMaxFileKeyLength] = {};
    int length = 0;
    int cipherKind = kCipherRc4;

    explicit FileKey(const EncryptionCase& encryption) : cipherKind(encryption.cipherKind) {
        const CPdfElement trailer = parseValue(std::string("<< /ID [<") + encryption.id + "><" + encryption.id + ">] >>");
        const std::unique_ptr<CSecurityHandler> handler =
            makeSecurityHandler(trailer, parseValue(encryption.dictionary));
        if (!handler || !handler->checkEncryption("", "")) throw CPdfException("test encryption does not open");
        length = handler->getFileKeyLength();
        std::copy(handler->getFileKey(), handler->getFileKey() + length, bytes);
    }

    ObjectEncryptor encryptor() const { return ObjectEncryptor(bytes, length, cipherKind); }

    // The plain bytes of data encrypted for object `number` with `generation`.
    std::string decrypt(const std::string& data, uint32_t number, uint32_t generation = 0) const {
        auto* memory = new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(data.data()), 0,
                                            static_cast<uint32_t>(data.size()));
        CPdfDecryptStream stream(memory, bytes, cipherKind, length, static_cast<int>(number),
                                 static_cast<int>(generation));
        std::string plain;
        for (int c; (c = stream.getChar()) != CPdfStream::kEnd;) plain += static_cast<char>(c);
        return plain;
    }
};
