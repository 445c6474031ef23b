// The decrypting stream over real encrypted strings, its edge cases, and the encryptor of
// new objects checked back through it and through qpdf.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "pdf/objects/PdfException.h"
#include "pdf/security/Aes128.h"
#include "pdf/security/ObjectEncryptor.h"
#include "pdf/security/ObjectKey.h"
#include "pdf/security/PdfDecryptStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "tests/security/HexBytes.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

// A decrypting stream over a memory stream that it owns; the bytes must outlive it.
std::unique_ptr<CPdfDecryptStream> decryptor(const Bytes& encrypted, const Bytes& fileKey, int cipherKind,
                                             int objectNumber, int generation = 0) {
    auto* source = new CPdfMemoryStream(encrypted.data(), 0, static_cast<uint32_t>(encrypted.size()));
    return std::make_unique<CPdfDecryptStream>(source, fileKey.data(), cipherKind, static_cast<int>(fileKey.size()),
                                               objectNumber, generation);
}

// Every input here is small; a stream that runs past this never ends.
constexpr size_t kReadLimit = 1 << 16;

std::string readAll(CPdfStream& stream) {
    std::string out;
    for (int c = stream.getChar(); c != CPdfStream::kEnd; c = stream.getChar()) {
        out += static_cast<char>(c);
        if (out.size() > kReadLimit) {
            ADD_FAILURE() << "the stream does not end";
            break;
        }
    }
    return out;
}

std::string decrypt(const Bytes& encrypted, const Bytes& fileKey, int cipherKind, int objectNumber, int generation = 0) {
    auto stream = decryptor(encrypted, fileKey, cipherKind, objectNumber, generation);
    stream->reset();
    return readAll(*stream);
}

// Strings of the Info dictionaries of files in the corpus: the raw bytes as stored (literal
// escapes undone by hand), the file key that qpdf reports, and the text qpdf shows.
TEST(DecryptStream, DecryptsRealStringsWithTheirObjectKeys) {
    // 5-byte file key, so a 10-byte RC4 object key (enc-R2_V1, object 89, ModDate).
    EXPECT_EQ(decrypt(fromHex("8add7f1189d3db95a732432f0bd7760b3bbdeb47475c99"), fromHex("8d4aa87ff7"), kCipherRc4, 89),
              "D:20031010180520-03'00'");
    // 16-byte file key, 16-byte RC4 object key (enc-R3_V2, object 89, ModDate).
    EXPECT_EQ(decrypt(fromHex("e83c4f0db0b28f7fac9891ed8e4e881735de88d2a20c56"),
                      fromHex("3f54c11cc0c68dee27fa25422bba524d"), kCipherRc4, 89),
              "D:20031010181210-03'00'");
    // AES: IV, then two blocks, the last padded with nine 9s (V4-aes, object 2, CreationDate).
    EXPECT_EQ(decrypt(fromHex("0e1c2a38465462707e8c9aa8b6c4d2e0e9899cdac1e580de96cee46c62bbe494"
                              "cccd4890015eb51e9ebe9e163bd4e9db"),
                      fromHex("474258b004f2ce0017adeb6e79574357"), kCipherAes, 2),
              "D:20031010180432-03'00'");
}

TEST(DecryptStream, ObjectKeyLengthFollowsTheFileKeyAndTheNumbersChangeIt) {
    const Bytes key5 = fromHex("8d4aa87ff7");
    const Bytes key16 = fromHex("3f54c11cc0c68dee27fa25422bba524d");
    EXPECT_EQ(makeObjectKey(key5.data(), 5, kCipherRc4, 89, 0).length, 10u);
    EXPECT_EQ(makeObjectKey(key16.data(), 11, kCipherRc4, 89, 0).length, 16u);
    EXPECT_EQ(makeObjectKey(key16.data(), 16, kCipherRc4, 89, 0).length, 16u);

    // Only the three low bytes of the number and the two low bytes of the generation count.
    const ObjectKey low = makeObjectKey(key5.data(), 5, kCipherRc4, 0x000123, 7);
    const ObjectKey high = makeObjectKey(key5.data(), 5, kCipherRc4, 0x7F000123, 0x50007);
    EXPECT_EQ(0, std::memcmp(low.bytes, high.bytes, sizeof low.bytes));
    const ObjectKey otherGeneration = makeObjectKey(key5.data(), 5, kCipherRc4, 0x000123, 8);
    EXPECT_NE(0, std::memcmp(low.bytes, otherGeneration.bytes, sizeof low.bytes));
    const ObjectKey salted = makeObjectKey(key5.data(), 5, kCipherAes, 0x000123, 7);
    EXPECT_NE(0, std::memcmp(low.bytes, salted.bytes, sizeof low.bytes));
}

TEST(DecryptStream, OutOfRangeFileKeyLengthsAreClampedNotOverread) {
    const Bytes key = fromHex("3f54c11cc0c68dee27fa25422bba524d");
    const ObjectKey clamped = makeObjectKey(key.data(), 40, kCipherRc4, 1, 0);
    const ObjectKey full = makeObjectKey(key.data(), 16, kCipherRc4, 1, 0);
    EXPECT_EQ(0, std::memcmp(clamped.bytes, full.bytes, sizeof full.bytes));
    EXPECT_EQ(makeObjectKey(key.data(), -3, kCipherRc4, 1, 0).length, 5u);
    EXPECT_EQ(makeObjectKey(nullptr, 5, kCipherRc4, 1, 0).length, 5u);
}

// Builds AES data for one object with the block cipher alone, so that the stream's
// chaining and unpadding are checked against an independent construction.
Bytes aesObjectData(const Bytes& fileKey, int objectNumber, const Bytes& iv, const Bytes& plainBlocks) {
    const ObjectKey key = makeObjectKey(fileKey.data(), static_cast<int>(fileKey.size()), kCipherAes,
                                        static_cast<uint32_t>(objectNumber), 0);
    const CAes128 aes(key.bytes);
    Bytes out = iv;
    Bytes previous = iv;
    for (size_t offset = 0; offset + 16 <= plainBlocks.size(); offset += 16) {
        uint8_t block[16];
        for (int k = 0; k < 16; ++k) block[k] = plainBlocks[offset + k] ^ previous[k];
        aes.encryptBlock(block, block);
        previous.assign(block, block + 16);
        out.insert(out.end(), block, block + 16);
    }
    return out;
}

TEST(DecryptStream, AesEdgeCases) {
    const Bytes fileKey = fromHex("474258b004f2ce0017adeb6e79574357");
    const Bytes iv = fromHex("00112233445566778899aabbccddeeff");
    const std::string text = "sixteen bytes!!!";

    // The initialisation vector alone decrypts to nothing.
    EXPECT_EQ(decrypt(iv, fileKey, kCipherAes, 3), "");
    EXPECT_EQ(decrypt(Bytes(iv.begin(), iv.begin() + 9), fileKey, kCipherAes, 3), "");

    // A last block of sixteen 16s goes entirely.
    Bytes plain = bytesOf(text);
    plain.insert(plain.end(), 16, 16);
    EXPECT_EQ(decrypt(aesObjectData(fileKey, 3, iv, plain), fileKey, kCipherAes, 3), text);

    // Only the last block is unpadded; a trailing partial block is dropped, so the block
    // before it keeps its bytes.
    Bytes withTail = aesObjectData(fileKey, 3, iv, plain);
    withTail.insert(withTail.end(), {1, 2, 3, 4, 5});
    std::string expected = text + std::string(16, '\x10');
    EXPECT_EQ(decrypt(withTail, fileKey, kCipherAes, 3), expected);

    // The wrong object number gives other bytes.
    EXPECT_NE(decrypt(aesObjectData(fileKey, 3, iv, plain), fileKey, kCipherAes, 4), text);
}

TEST(DecryptStream, PeekReturnsTheNextByteOnceAndResetStartsOver) {
    const Bytes rc4Key = fromHex("8d4aa87ff7");
    const Bytes rc4Data = fromHex("8add7f1189d3db95a732432f0bd7760b3bbdeb47475c99");
    const Bytes aesKey = fromHex("474258b004f2ce0017adeb6e79574357");
    const Bytes aesData = fromHex("0e1c2a38465462707e8c9aa8b6c4d2e0e9899cdac1e580de96cee46c62bbe494"
                                  "cccd4890015eb51e9ebe9e163bd4e9db");
    struct Case {
        const Bytes& key;
        const Bytes& data;
        int cipherKind;
        int objectNumber;
        const char* plain;
    };
    for (const Case& c : {Case{rc4Key, rc4Data, kCipherRc4, 89, "D:20031010180520-03'00'"},
                          Case{aesKey, aesData, kCipherAes, 2, "D:20031010180432-03'00'"}}) {
        // Constructed without reset(): still reads from the start.
        auto stream = decryptor(c.data, c.key, c.cipherKind, c.objectNumber);
        std::string out;
        for (size_t count = 0; count <= kReadLimit; ++count) {
            const int peeked = stream->peekChar();
            EXPECT_EQ(stream->peekChar(), peeked);
            const int got = stream->getChar();
            ASSERT_EQ(got, peeked);
            if (got == CPdfStream::kEnd) break;
            out += static_cast<char>(got);
        }
        EXPECT_EQ(out, c.plain);
        EXPECT_EQ(stream->getChar(), CPdfStream::kEnd);
        EXPECT_EQ(stream->peekChar(), CPdfStream::kEnd);

        stream->reset();
        EXPECT_EQ(readAll(*stream), c.plain);
    }
}

TEST(DecryptStream, UnknownCipherGivesNothing) {
    const Bytes key = fromHex("8d4aa87ff7");
    const Bytes data = bytesOf("some bytes");
    auto stream = decryptor(data, key, 2, 1);
    EXPECT_EQ(stream->peekChar(), CPdfStream::kEnd);
    EXPECT_EQ(stream->getChar(), CPdfStream::kEnd);
}

std::string decryptString(const std::string& encrypted, const Bytes& fileKey, int cipherKind, int objectNumber,
                          int generation) {
    return decrypt(Bytes(encrypted.begin(), encrypted.end()), fileKey, cipherKind, objectNumber, generation);
}

TEST(ObjectEncryptor, OutputDecryptsBackForEveryCipherAndLength) {
    const Bytes key5 = fromHex("8d4aa87ff7");
    const Bytes key16 = fromHex("474258b004f2ce0017adeb6e79574357");
    std::string message;
    for (int k = 0; k < 1000; ++k) message += static_cast<char>(k * 131 + 7);
    struct Case {
        const Bytes& key;
        int cipherKind;
    };
    for (const Case& c : {Case{key5, kCipherRc4}, Case{key16, kCipherRc4}, Case{key5, kCipherAes}, Case{key16, kCipherAes}}) {
        const ObjectEncryptor encryptor(c.key.data(), static_cast<int>(c.key.size()), c.cipherKind);
        for (size_t length : {0u, 1u, 15u, 16u, 17u, 32u, 100u, 1000u}) {
            const std::string plain = message.substr(0, length);
            const std::string encrypted = encryptor.encrypt(plain, 12, 3);
            EXPECT_EQ(encrypted.size(), encryptor.encryptedLength(length));
            EXPECT_EQ(decryptString(encrypted, c.key, c.cipherKind, 12, 3), plain)
                << "cipher " << c.cipherKind << ", key " << c.key.size() << ", length " << length;
            if (length > 0) {
                EXPECT_NE(encrypted.substr(encrypted.size() - length), plain);
            }
        }
    }
}

TEST(ObjectEncryptor, SameInputGivesSameBytesAndOtherObjectsOtherBytes) {
    const Bytes key = fromHex("474258b004f2ce0017adeb6e79574357");
    const std::string plain = "q\n0.50 0 0 0.50 0 0 cm\n";
    for (int cipherKind : {kCipherRc4, kCipherAes}) {
        const ObjectEncryptor first(key.data(), 16, cipherKind);
        const ObjectEncryptor second(key.data(), 16, cipherKind);
        const std::string once = first.encrypt(plain, 40, 0);
        EXPECT_EQ(first.encrypt(plain, 40, 0), once);
        EXPECT_EQ(second.encrypt(plain, 40, 0), once);
        EXPECT_NE(first.encrypt(plain, 41, 0), once);
        EXPECT_NE(first.encrypt(plain, 40, 1), once);
    }
    // AES data starts with its IV, which differs between objects.
    const ObjectEncryptor aes(key.data(), 16, kCipherAes);
    EXPECT_NE(aes.encrypt(plain, 40, 0).substr(0, 16), aes.encrypt(plain, 41, 0).substr(0, 16));
}

TEST(ObjectEncryptor, RefusesUnknownCiphersAndKeyLengths) {
    const Bytes key(17, 0x42);
    EXPECT_THROW(ObjectEncryptor(key.data(), 16, 2), CPdfException);
    EXPECT_THROW(ObjectEncryptor(key.data(), 0, kCipherRc4), CPdfException);
    EXPECT_THROW(ObjectEncryptor(key.data(), 17, kCipherAes), CPdfException);
    EXPECT_THROW(ObjectEncryptor(nullptr, 5, kCipherRc4), CPdfException);
}

// An encrypted file whose Encrypt dictionary and ID come from a corpus file with a known key;
// object 4 is a content stream encrypted here. qpdf must read our bytes back.
struct OracleDocument {
    const char* encryptDictionary;
    const char* id;
    const char* fileKeyHex;
    int cipherKind;
};

const OracleDocument kOracleDocuments[] = {
    {"<< /Filter /Standard /V 2 /R 3 /Length 128 /P -3104"
     " /O <36451bd39d753b7c1d10922c28e6665aa4f3353fb0348b536893e3b1db5c579b>"
     " /U <4ead05d7de6542e9b1ac15a5837882ec91f1dd59d88e5b6e5e0a7954217a8f78> >>",
     "[<66d36a30a97e0f16f39955c6221e0c2a><1bf0f7dad2f95914868ac5e9e8c295cd>]", "3f54c11cc0c68dee27fa25422bba524d",
     kCipherRc4},
    {"<< /Filter /Standard /V 4 /R 4 /Length 128 /P -4 /StmF /StdCF /StrF /StdCF"
     " /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV2 /Length 16 >> >>"
     " /O <36451bd39d753b7c1d10922c28e6665aa4f3353fb0348b536893e3b1db5c579b>"
     " /U <32c27288b9ec6a4fab94e6188828595c0122456a91bae5134273a6db134c87c4> >>",
     "[<66d36a30a97e0f16f39955c6221e0c2a><31415926535897932384626433832795>]", "474258b004f2ce0017adeb6e79574357",
     kCipherAes},
};

TEST(ObjectEncryptor, QpdfDecryptsTheEncryptedStreams) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    const std::string content = "q\n0.50 0 0 0.75 0 0 cm\nBT /F1 12 Tf 10 10 Td (Hi) Tj ET\nQ\n";
    for (const OracleDocument& document : kOracleDocuments) {
        const Bytes key = fromHex(document.fileKeyHex);
        const ObjectEncryptor encryptor(key.data(), static_cast<int>(key.size()), document.cipherKind);
        PdfBuilder builder;
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
        builder.addStream(4, "", encryptor.encrypt(content, 4, 0));
        builder.addObject(5, document.encryptDictionary);
        builder.setTrailer(std::string("/Root 1 0 R /Encrypt 5 0 R /ID ") + document.id);
        TempDir folder;
        const std::string path = folder.file("encrypted.pdf");
        writeFile(path, builder.build());

        const CommandResult shown = runCommand("qpdf --show-object=4 --filtered-stream-data " + shellQuote(path));
        EXPECT_EQ(shown.status, 0) << shown.output;
        EXPECT_EQ(shown.output, content) << "cipher " << document.cipherKind;
        const CommandResult checked = runCommand("qpdf --check " + shellQuote(path));
        EXPECT_EQ(checked.status, 0) << checked.output;
    }
}

}  // namespace
