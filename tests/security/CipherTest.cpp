// MD5, RC4 and AES-128 against the published test vectors of their standards.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pdf/security/Aes128.h"
#include "pdf/security/AesCbc.h"
#include "pdf/security/Md5.h"
#include "pdf/security/Rc4.h"
#include "tests/security/HexBytes.h"

namespace {

std::string md5Hex(const std::string& text) {
    uint8_t digest[kMd5DigestSize];
    md5(reinterpret_cast<const uint8_t*>(text.data()), text.size(), digest);
    return toHex(digest, sizeof digest);
}

TEST(Md5, MatchesTheRfc1321TestSuite) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, GivesTheSameDigestWhateverTheSizesOfThePieces) {
    const std::string text = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
    const auto* data = reinterpret_cast<const uint8_t*>(text.data());
    for (size_t first : {0u, 1u, 7u, 55u, 56u, 63u, 64u, 65u, 79u}) {
        CMd5 hasher;
        hasher.update(data, first);
        hasher.update(data + first, 0);
        hasher.update(data + first, text.size() - first);
        uint8_t digest[kMd5DigestSize];
        hasher.finish(digest);
        EXPECT_EQ(toHex(digest, sizeof digest), "57edf4a22be3c955ac49da2e2107b67a") << "split at " << first;
    }
}

TEST(Md5, HashesAMillionBytesAndMayWriteOverItsInput) {
    const std::string block(1000, 'a');
    CMd5 hasher;
    for (int k = 0; k < 1000; ++k) hasher.update(reinterpret_cast<const uint8_t*>(block.data()), block.size());
    uint8_t digest[kMd5DigestSize];
    hasher.finish(digest);
    EXPECT_EQ(toHex(digest, sizeof digest), "7707d6ae4e027c70eea2a935c2296f21");

    uint8_t buffer[kMd5DigestSize] = {'a', 'b', 'c'};
    md5(buffer, 3, buffer);
    EXPECT_EQ(toHex(buffer, sizeof buffer), "900150983cd24fb0d6963f7d28e17f72");
}

// Keystream bytes: RC4 over zeros.
std::string rc4Keystream(const std::string& keyHex, size_t offset, size_t length) {
    const Bytes key = fromHex(keyHex);
    Rc4State state;
    rc4Init(key.data(), key.size(), state);
    Bytes stream(offset + length, 0);
    rc4Crypt(state, stream.data(), stream.size());
    return toHex(stream.data() + offset, length);
}

TEST(Rc4, MatchesTheRfc6229KeystreamsFor40And128BitKeys) {
    const std::string key40 = "0102030405";
    EXPECT_EQ(rc4Keystream(key40, 0, 16), "b2396305f03dc027ccc3524a0a1118a8");
    EXPECT_EQ(rc4Keystream(key40, 16, 16), "6982944f18fc82d589c403a47a0d0919");
    EXPECT_EQ(rc4Keystream(key40, 240, 16), "28cb1132c96ce286421dcaadb8b69eae");
    EXPECT_EQ(rc4Keystream(key40, 256, 16), "1cfcf62b03eddb641d77dfcf7f8d8c93");

    const std::string key128 = "0102030405060708090a0b0c0d0e0f10";
    EXPECT_EQ(rc4Keystream(key128, 0, 16), "9ac7cc9a609d1ef7b2932899cde41b97");
    EXPECT_EQ(rc4Keystream(key128, 16, 16), "5248c4959014126a6e8a84f11d1a9e1c");
    EXPECT_EQ(rc4Keystream(key128, 240, 16), "065902e4b620f6cc36c8589f66432f2b");
    EXPECT_EQ(rc4Keystream(key128, 256, 16), "d39d566bc6bce3010768151549f3873f");
}

TEST(Rc4, ByteAtATimeEqualsTheBlockFormAndUndoesItself) {
    const Bytes key = bytesOf("Secret");
    Bytes message = bytesOf("Attack at dawn");
    Rc4State blockState;
    rc4Init(key.data(), key.size(), blockState);
    rc4Crypt(blockState, message.data(), message.size());
    EXPECT_EQ(toHex(message), "45a01f645fc35b383552544b9bf5");

    Rc4State byteState;
    rc4Init(key.data(), key.size(), byteState);
    std::string plain;
    for (uint8_t b : message) plain += static_cast<char>(rc4Crypt(byteState, b));
    EXPECT_EQ(plain, "Attack at dawn");
}

struct BlockVector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// FIPS-197 appendix B (the worked cipher example) and appendix C.1 (AES-128).
const BlockVector kFips197[] = {
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
};

TEST(Aes128, EncryptsAndDecryptsTheFips197Vectors) {
    for (const BlockVector& vector : kFips197) {
        const CAes128 aes(fromHex(vector.key).data());
        const Bytes plain = fromHex(vector.plain);
        const Bytes cipher = fromHex(vector.cipher);
        uint8_t out[CAes128::kBlockSize];
        aes.encryptBlock(plain.data(), out);
        EXPECT_EQ(toHex(out, sizeof out), vector.cipher);
        aes.decryptBlock(cipher.data(), out);
        EXPECT_EQ(toHex(out, sizeof out), vector.plain);
    }
}

// NIST SP 800-38A, F.2.1 and F.2.2 (CBC-AES128).
const char* const kCbcKey = "2b7e151628aed2a6abf7158809cf4f3c";
const char* const kCbcIv = "000102030405060708090a0b0c0d0e0f";
const char* const kCbcPlain =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char* const kCbcCipher =
    "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
    "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";

TEST(AesCbc, EncryptionMatchesSp800_38aAndAppendsAWholePaddingBlock) {
    const Bytes plain = fromHex(kCbcPlain);
    const std::string result = aesCbcEncrypt(fromHex(kCbcKey).data(), fromHex(kCbcIv).data(), plain.data(), plain.size());
    const Bytes out(result.begin(), result.end());
    ASSERT_EQ(out.size(), 16u + 64u + 16u);
    EXPECT_EQ(toHex(out.data(), 16), kCbcIv);
    EXPECT_EQ(toHex(out.data() + 16, 64), kCbcCipher);

    AesState state;
    aesInit(state, fromHex(kCbcKey).data());
    std::memcpy(state.chainingValue, out.data() + 64, 16);
    aesDecryptBlock(state, out.data() + 80, true);
    EXPECT_FALSE(state.hasOutput()) << "a block of sixteen 16s leaves nothing";
}

TEST(AesCbc, DecryptionMatchesSp800_38aBlockByBlock) {
    const Bytes cipher = fromHex(kCbcCipher);
    AesState state;
    aesInit(state, fromHex(kCbcKey).data());
    const Bytes iv = fromHex(kCbcIv);
    std::memcpy(state.chainingValue, iv.data(), iv.size());
    std::string plain;
    for (size_t offset = 0; offset < cipher.size(); offset += 16) {
        aesDecryptBlock(state, cipher.data() + offset, false);
        while (state.hasOutput()) plain += toHex(&state.output[state.index++], 1);
    }
    EXPECT_EQ(plain, kCbcPlain);
}

// The last plain byte n says how much of the final block is padding.
TEST(AesCbc, LastBlockKeepsSixteenMinusNBytes) {
    const Bytes key = fromHex(kCbcKey);
    const CAes128 aes(key.data());
    struct Case {
        uint8_t last;
        size_t kept;
    };
    for (const Case& c : {Case{1, 15}, Case{5, 11}, Case{15, 1}, Case{16, 0}, Case{17, 0}, Case{255, 0}, Case{0, 16}}) {
        uint8_t plain[16];
        for (int k = 0; k < 16; ++k) plain[k] = static_cast<uint8_t>(0x40 + k);
        plain[15] = c.last;
        uint8_t cipher[16];
        aes.encryptBlock(plain, cipher);  // chaining value zero: the block is its own CBC form
        AesState state;
        aesInit(state, key.data());
        aesDecryptBlock(state, cipher, true);
        Bytes kept;
        while (state.hasOutput()) kept.push_back(state.output[state.index++]);
        EXPECT_EQ(kept, Bytes(plain, plain + c.kept)) << "last byte " << int(c.last);
    }
}

}  // namespace
