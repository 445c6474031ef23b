#include "pdf/security/PdfDecryptStream.h"

#include <cstring>

CPdfDecryptStream::CPdfDecryptStream(CPdfStream* source, const FileKey& fileKey, int objectNumber, int generation)
    : CPdfFilterStream(source),
      cipher_(fileKey.cipher()),
      objectKey_(makeObjectKey(fileKey, static_cast<uint32_t>(objectNumber), static_cast<uint32_t>(generation))) {
    if (cipher_ == CipherKind::aes128) aesInit(aes_, objectKey_.bytes);
    if (cipher_ == CipherKind::aes256) aesInit(aes_, objectKey_.bytes, AesKeySize::bits256);
    // Ready to read without a separate reset(), so no read ever meets an uninitialised cipher.
    reset();
}

CPdfDecryptStream::~CPdfDecryptStream() {
    std::memset(&objectKey_, 0, sizeof objectKey_);
}

void CPdfDecryptStream::reset() {
    source()->reset();
    if (cipher_ == CipherKind::rc4) {
        rc4Init(objectKey_.bytes, objectKey_.length, rc4_);
        pendingByte_ = kEnd;
    } else {
        // The first block of the data is the initialisation vector, not cipher text.
        std::memset(aes_.chainingValue, 0, sizeof aes_.chainingValue);
        source()->read(aes_.chainingValue, sizeof aes_.chainingValue);
        aes_.index = CAes128::kBlockSize;
    }
}

int CPdfDecryptStream::nextRc4Byte() {
    const int c = source()->getChar();
    return c == kEnd ? kEnd : rc4Crypt(rc4_, static_cast<uint8_t>(c));
}

bool CPdfDecryptStream::fillAesOutput() {
    if (aes_.hasOutput()) return true;
    uint8_t block[CAes128::kBlockSize];
    if (source()->read(block, sizeof block) < sizeof block) return false;  // a partial block is dropped
    aesDecryptBlock(aes_, block, source()->peekChar() == kEnd);
    return aes_.hasOutput();
}

int CPdfDecryptStream::getChar() {
    if (cipher_ == CipherKind::rc4) {
        const int c = pendingByte_ != kEnd ? pendingByte_ : nextRc4Byte();
        pendingByte_ = kEnd;
        return c;
    }
    return fillAesOutput() ? aes_.output[aes_.index++] : kEnd;
}

int CPdfDecryptStream::peekChar() {
    if (cipher_ == CipherKind::rc4) {
        if (pendingByte_ == kEnd) pendingByte_ = nextRc4Byte();
        return pendingByte_;
    }
    return fillAesOutput() ? aes_.output[aes_.index] : kEnd;
}
