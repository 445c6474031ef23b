#pragma once

#include "pdf/security/AesCbc.h"
#include "pdf/security/ObjectKey.h"
#include "pdf/security/Rc4.h"
#include "pdf/stream/PdfFilterStream.h"

// Turns the encrypted bytes of one object into plain bytes under that object's key.
// RC4, or AES-CBC (128 or 256 bits) with the IV in front and PKCS#5 padding.
class CPdfDecryptStream : public CPdfFilterStream {
public:
    CPdfDecryptStream(CPdfStream* source, const FileKey& fileKey, int objectNumber, int generation);
    ~CPdfDecryptStream() override;

    void reset() override;
    int getChar() override;
    int peekChar() override;
    CPdfDictionary* getDict() override { return nullptr; }
    uint32_t getStart() override { return 0; }
    void moveStart(uint32_t) override {}
    uint32_t getLength() override { return 0; }
    CPdfStream* getUndecodedStream() override { return this; }

private:
    // Decrypts the next AES block when the output is used up; false at the end of the data.
    bool fillAesOutput();
    int nextRc4Byte();

    const CipherKind cipher_;
    ObjectKey objectKey_;
    Rc4State rc4_;
    int pendingByte_ = kEnd;  // RC4 byte that peekChar has already decrypted
    AesState aes_;
};
