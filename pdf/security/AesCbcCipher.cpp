#include "pdf/security/AesCbcCipher.h"

#include "pdf/objects/PdfException.h"

namespace {
constexpr size_t kBlockSize = CAes::kBlockSize;
}

std::vector<uint8_t> CAesCbcCipher::encrypt(const AesBlock& iv, const std::vector<uint8_t>& plain,
                                            AesPadding padding) const {
    std::vector<uint8_t> out(plain);
    if (padding == AesPadding::pkcs5) {
        const size_t padLength = kBlockSize - plain.size() % kBlockSize;
        out.insert(out.end(), padLength, static_cast<uint8_t>(padLength));
    } else if (plain.size() % kBlockSize != 0) {
        throw CPdfException("Internal: AES-CBC without padding given a partial block");
    }
    const uint8_t* previous = iv.data();
    for (size_t offset = 0; offset < out.size(); offset += kBlockSize) {
        uint8_t* block = out.data() + offset;
        for (size_t k = 0; k < kBlockSize; ++k) block[k] ^= previous[k];
        cipher_.encryptBlock(block, block);
        previous = block;
    }
    return out;
}

std::vector<uint8_t> CAesCbcCipher::decrypt(const AesBlock& iv, const std::vector<uint8_t>& cipherText,
                                            AesPadding padding) const {
    const size_t length = cipherText.size() - cipherText.size() % kBlockSize;
    std::vector<uint8_t> out(length);
    const uint8_t* previous = iv.data();
    for (size_t offset = 0; offset < length; offset += kBlockSize) {
        const uint8_t* block = cipherText.data() + offset;
        cipher_.decryptBlock(block, out.data() + offset);
        for (size_t k = 0; k < kBlockSize; ++k) out[offset + k] ^= previous[k];
        previous = block;
    }
    if (padding == AesPadding::pkcs5 && !out.empty()) {
        const size_t padLength = out.back() < kBlockSize ? out.back() : kBlockSize;
        out.resize(out.size() - padLength);
    }
    return out;
}
