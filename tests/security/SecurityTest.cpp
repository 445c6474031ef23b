// Ciphers and hashes against published vectors, the decrypting stream, AES-256 against qpdf.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "pdf/objects/PdfException.h"
#include "pdf/security/Aes256KeyDerivation.h"
#include "pdf/security/AesCbc.h"
#include "pdf/security/AesCbcCipher.h"
#include "pdf/security/Md5.h"
#include "pdf/security/ObjectKey.h"
#include "pdf/security/PdfDecryptStream.h"
#include "pdf/security/Rc4.h"
#include "pdf/security/Sha2.h"
#include "tests/stream/ReadEveryWay.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

using Bytes = std::vector<uint8_t>;
Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }
const uint8_t* bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

std::string unhex(const std::string& digits) {
    std::string bytes;
    for (size_t k = 0; k + 1 < digits.size(); k += 2) bytes += char(std::stoi(digits.substr(k, 2), nullptr, 16));
    return bytes;
}
template <typename Container> std::string hex(const Container& data) {
    std::string digits;
    for (const uint8_t b : data) digits += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    return digits;
}
std::string hex(const uint8_t* data, size_t length) { return hex(std::string(data, data + length)); }

// RFC 1321 (also split around a block's 56- and 64-byte marks), RFC 6229 at two offsets, SP 800-38A F.2.1 padded;
// FIPS-197 C.1 to C.3 both ways; SP 800-38A F.2.5/F.2.6 (CBC, AES-256); FIPS 180-4.
TEST(CiphersAndHashes, MatchPublishedVectors) {
    const char* const md5Suite[][2] = {{"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"}};
    uint8_t digest[kMd5DigestSize];
    for (const auto& [text, expected] : md5Suite) {
        const size_t length = std::strlen(text);
        md5(bytes(text), length, digest);
        EXPECT_EQ(hex(digest), expected) << text;
        for (size_t split : {1u, 55u, 56u, 63u, 64u, 65u}) {
            CMd5 hasher;
            const size_t first = std::min(split, length);
            hasher.update(bytes(text), first), hasher.update(bytes(text) + first, length - first), hasher.finish(digest);
            EXPECT_EQ(hex(digest), expected) << text << " split at " << first;
        }
    }
    const char* const rc4Rows[][3] = {  // key, keystream at offsets 0 and 256
        {"0102030405", "b2396305f03dc027ccc3524a0a1118a8", "1cfcf62b03eddb641d77dfcf7f8d8c93"},
        {"0102030405060708090a0b0c0d0e0f10", "9ac7cc9a609d1ef7b2932899cde41b97", "d39d566bc6bce3010768151549f3873f"},
    };
    for (const auto& [key, at0, at256] : rc4Rows) {
        Rc4State state;
        uint8_t stream[256 + 16] = {};
        rc4Init(bytes(unhex(key)), std::strlen(key) / 2, state), rc4Crypt(state, stream, sizeof stream);
        EXPECT_EQ(hex(stream, 16) + " " + hex(stream + 256, 16), std::string(at0) + " " + at256);
    }
    const std::string key = unhex("2b7e151628aed2a6abf7158809cf4f3c"), iv = unhex("000102030405060708090a0b0c0d0e0f");
    const std::string plain = unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    EXPECT_EQ(hex(aesCbcEncrypt(bytes(key), bytes(iv), bytes(plain), 32).substr(0, 48)),
              hex(iv) + "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2");
    const std::string block = "00112233445566778899aabbccddeeff";
    const std::string key32 = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
    for (const auto& [keySize, cipherText] : {std::pair<size_t, std::string>{16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                                              {24, "dda97ca4864cdfe06eaf70a0ec0d7191"}, {32, "8ea2b7ca516745bfeafc49904b496089"}}) {
        const CAes aes(bytesOf(unhex(key32.substr(0, 2 * keySize))));
        uint8_t out[CAes::kBlockSize], back[CAes::kBlockSize];
        aes.encryptBlock(bytes(unhex(block)), out), aes.decryptBlock(out, back);
        EXPECT_EQ(hex(out) + " " + hex(back), cipherText + " " + block) << keySize;
    }
    EXPECT_THROW(CAes(Bytes(20)), CPdfException);
    const CAesCbcCipher cbc(bytesOf(unhex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4")));
    const AesBlock chain = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const std::string expected = "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                                 "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b";
    EXPECT_EQ(hex(cbc.encrypt(chain, bytesOf(plain), AesPadding::none)), expected);
    EXPECT_EQ(cbc.decrypt(chain, bytesOf(unhex(expected)), AesPadding::none), bytesOf(plain));
    EXPECT_THROW(cbc.encrypt(chain, Bytes(17), AesPadding::none), CPdfException);
    // FIPS 180-4 examples: "abc" and the two-block messages, whose lengths leave no room for the length in block one.
    const std::string twoBlock256 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string twoBlock512 = "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopq"
                                    "klmnopqrlmnopqrsmnopqrstnopqrstu";
    const struct { Sha2Variant variant; std::string message, digest; } rows[] = {
        {Sha2Variant::sha256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {Sha2Variant::sha256, twoBlock256, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {Sha2Variant::sha384, "abc",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
        {Sha2Variant::sha384, twoBlock512,
         "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039"},
        {Sha2Variant::sha512, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {Sha2Variant::sha512, twoBlock512,
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
         "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
    };
    for (const auto& row : rows) EXPECT_EQ(hex(CSha2::digest(row.variant, bytesOf(row.message))), row.digest);
}

std::string decrypt(const std::string& data, const std::string& key, CipherKind cipher, int number) {
    const FileKey fileKey(bytes(key), key.size(), cipher);
    return readEveryWay([&] { return new CPdfDecryptStream(memoryStream(data), fileKey, number, 0); });
}

// Corpus Info strings under the file keys qpdf reports: RC4 with 5- and 16-byte keys, AES with a padded second block.
TEST(DecryptStream, DecryptsCorpusStringsAndDropsWhatIsNotPlainText) {
    const struct { const char *key, *encrypted, *plain; CipherKind cipher; int number; } rows[] = {
        {"8d4aa87ff7", "8add7f1189d3db95a732432f0bd7760b3bbdeb47475c99", "D:20031010180520-03'00'", CipherKind::rc4, 89},
        {"3f54c11cc0c68dee27fa25422bba524d", "e83c4f0db0b28f7fac9891ed8e4e881735de88d2a20c56",
         "D:20031010181210-03'00'", CipherKind::rc4, 89},
        {"474258b004f2ce0017adeb6e79574357",
         "0e1c2a38465462707e8c9aa8b6c4d2e0e9899cdac1e580de96cee46c62bbe494cccd4890015eb51e9ebe9e163bd4e9db",
         "D:20031010180432-03'00'", CipherKind::aes128, 2},
    };
    for (const auto& row : rows)
        EXPECT_EQ(decrypt(unhex(row.encrypted), unhex(row.key), row.cipher, row.number), row.plain) << row.key;
    // AES drops the initialisation vector, the padding and a partial last block.
    const std::string fileKey = unhex(rows[2].key);
    const ObjectKey key = makeObjectKey(FileKey(bytes(fileKey), fileKey.size(), CipherKind::aes128), 3, 0);
    const auto aes = [&fileKey](const std::string& data) { return decrypt(data, fileKey, CipherKind::aes128, 3); };
    const std::string iv = "0123456789abcdef", text = "sixteen bytes!!!";
    const std::string padded = aesCbcEncrypt(key.bytes, bytes(iv), bytes(text), text.size());  // + sixteen 16s
    EXPECT_TRUE(aes(padded) == text && aes(padded + "12345") == text + std::string(16, '\x10'));
    EXPECT_EQ(aes(iv) + aes(iv.substr(0, 9)), "");
    // The last plain byte n leaves 16 - n bytes when below 16, none from 16 on.
    for (const auto& [last, kept] : {std::pair<char, size_t>{1, 15}, {17, 0}, {0, 16}}) {
        std::string block = std::string("@AB") + std::string(12, '\0') + last;
        const std::string plain = block.substr(0, kept);
        CAes128(key.bytes).encryptBlock(bytes(block), reinterpret_cast<uint8_t*>(&block[0]));
        EXPECT_TRUE(aes(std::string(16, '\0') + block) == plain) << int(last);
    }
}

std::string firstGroup(const std::string& text, const std::string& pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : "";
}
std::string qpdfShows(const std::string& arguments, const std::string& pattern) {
    const CommandResult result = runCommand("qpdf " + arguments);
    EXPECT_TRUE(result.status == 0 || result.status == 3) << arguments << ": " << result.output;
    return firstGroup(result.output, pattern);
}

Aes256EncryptionValues readEncryption(const std::string& path, const std::string& password) {
    const std::string access = " --password=" + shellQuote(password) + " " + shellQuote(path);
    const std::string number = qpdfShows("--show-object=trailer" + access, R"(/Encrypt (\d+) 0 R)");
    const std::string dictionary = qpdfShows("--show-object=" + number + access, "([\\s\\S]*)");
    const auto capture = [&dictionary](const std::string& pattern) { return firstGroup(dictionary, pattern); };
    Aes256EncryptionValues values;
    values.revision = std::stoi(capture(R"(/R (\d+))"));
    for (const auto& [key, entry] : {std::pair<std::string, Bytes*>{"O", &values.owner}, {"U", &values.user},
                                     {"OE", &values.ownerWrappedKey}, {"UE", &values.userWrappedKey}, {"Perms", &values.perms}})
        *entry = bytesOf(unhex(capture("/" + key + " <([0-9a-f]+)>")));
    values.permissions = static_cast<uint32_t>(std::stol(capture(R"(/P (-?\d+))")));
    values.encryptMetadata = dictionary.find("/EncryptMetadata false") == std::string::npos;
    return values;
}

// Files qpdf encrypted: both passwords give the key qpdf reports, others none, and Perms agrees with P.
TEST(Aes256KeyDerivation, OpensFilesQpdfEncryptedWithTheKeyQpdfReports) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    TempDir dir;
    writeFile(dir.file("plain.pdf"), buildSimpleDocument(1));
    const struct { std::string user, owner, options; int revision; } rows[] = {
        {"user", "owner", "", 6}, {"", "owner", "", 6}, {"Us3r p4ss", "0wner w0rd", " --force-R5", 5}, {"same", "same", "", 6},
        {"r\xC3\xA9sum\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC", " --print=none --modify=none --cleartext-metadata", 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.user + " / " + row.owner + row.options);
        const std::string path = dir.file("encrypted.pdf");
        qpdfShows("--encrypt " + shellQuote(row.user) + " " + shellQuote(row.owner) + " 256" + row.options + " -- " +
                  shellQuote(dir.file("plain.pdf")) + " " + shellQuote(path), "()");
        const std::string qpdfKey = qpdfShows("--show-encryption-key --show-encryption --password=" +
                                              shellQuote(row.owner) + " " + shellQuote(path), "Encryption key = ([0-9a-f]+)");
        ASSERT_EQ(qpdfKey.size(), 64u);
        const Aes256EncryptionValues values = readEncryption(path, row.owner);
        ASSERT_EQ(values.revision, row.revision);
        const CAes256KeyDerivation derivation(values);
        const Aes256Unlock asOwner = derivation.unlock(row.owner), asUser = derivation.unlock(row.user);
        EXPECT_EQ(hex(asOwner.fileKey) + " " + hex(asUser.fileKey), qpdfKey + " " + qpdfKey);
        EXPECT_TRUE(asOwner.role == PasswordRole::owner && asOwner.perms == PermsCheck::consistent);
        EXPECT_EQ(asUser.role, row.user == row.owner ? PasswordRole::owner : PasswordRole::user);
        const std::string emptyUnlessRight(row.user.empty(), 'x');
        for (const std::string& wrong : {std::string("wrong"), row.owner + "x", row.user + " ", emptyUnlessRight})
            EXPECT_EQ(derivation.unlock(wrong).role, PasswordRole::none) << wrong;
        // A sealed copy that disagrees with the dictionary is reported, not hidden.
        Aes256EncryptionValues changed = values, damaged = values;
        changed.permissions ^= 1u << 2, damaged.perms[10] ^= 1;
        EXPECT_EQ(CAes256KeyDerivation(changed).checkPerms(asOwner.fileKey), PermsCheck::permissionsDiffer);
        EXPECT_EQ(CAes256KeyDerivation(damaged).checkPerms(asOwner.fileKey), PermsCheck::unreadable);
    }
}

TEST(Aes256KeyDerivation, PreparesPasswordsAndRefusesOtherDictionaries) {
    // No-break and ideographic spaces; soft hyphen, BOM, variation selector; accents and bytes that are not UTF-8.
    const std::pair<std::string, std::string> rows[] = {{"a\xC2\xA0" "b\xE3\x80\x80" "c", "a b c"},
        {"a\xC2\xAD" "b\xEF\xBB\xBF" "c\xEF\xB8\x8F", "abc"}, {"r\xC3\xA9sum\xC3\xA9 \xFF\xC3", "r\xC3\xA9sum\xC3\xA9 \xFF\xC3"},
        {std::string(200, 'p'), std::string(127, 'p')}};
    for (const auto& [given, prepared] : rows) EXPECT_EQ(CAes256KeyDerivation::preparePassword(given), bytesOf(prepared));

    Aes256EncryptionValues values;
    values.owner = values.user = Bytes(48), values.ownerWrappedKey = values.userWrappedKey = Bytes(32);
    EXPECT_NO_THROW(CAes256KeyDerivation{values});
    EXPECT_THROW((values.revision = 4, CAes256KeyDerivation{values}), CPdfException);
    EXPECT_THROW((values.revision = 6, values.userWrappedKey.resize(31), CAes256KeyDerivation{values}), CPdfException);
}

}  // namespace
