// SHA-2, AES with 192- and 256-bit keys, CBC over byte strings, and the password check and file key
// of the AES-256 revisions, the last against files that qpdf encrypted.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "pdf/objects/PdfException.h"
#include "pdf/security/Aes256KeyDerivation.h"
#include "pdf/security/AesCbcCipher.h"
#include "pdf/security/Sha2.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes unhex(const std::string& digits) {
    Bytes out;
    for (size_t k = 0; k + 1 < digits.size(); k += 2) out.push_back(uint8_t(std::stoi(digits.substr(k, 2), nullptr, 16)));
    return out;
}

template <typename Container> std::string hex(const Container& data) {
    std::string digits;
    for (const uint8_t b : data) digits += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    return digits;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string sha(Sha2Variant variant, const Bytes& data) { return hex(CSha2::digest(variant, data)); }

// FIPS 180-4 examples: "abc", the two-block messages (whose lengths, 56 and 112 bytes, leave no room
// for the length field in their first block), one million 'a' for SHA-256.
TEST(Sha2, MatchesPublishedVectors) {
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
        {Sha2Variant::sha256, std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& row : rows) EXPECT_EQ(sha(row.variant, bytesOf(row.message)), row.digest) << row.message.size();
}

// FIPS-197 C.1 to C.3 both ways; SP 800-38A F.2.5/F.2.6 (CBC, AES-256); padding both ways.
TEST(AesCbc, MatchesPublishedVectorsAndPadsLikeTheDecryptingStream) {
    const std::string plain = "00112233445566778899aabbccddeeff";
    const std::string key32 = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
    const std::pair<size_t, std::string> blocks[] = {{16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                                                     {24, "dda97ca4864cdfe06eaf70a0ec0d7191"},
                                                     {32, "8ea2b7ca516745bfeafc49904b496089"}};
    for (const auto& [keySize, cipherText] : blocks) {
        const CAes aes(unhex(key32.substr(0, 2 * keySize)));
        uint8_t out[CAes::kBlockSize], back[CAes::kBlockSize];
        aes.encryptBlock(unhex(plain).data(), out);
        aes.decryptBlock(out, back);
        EXPECT_EQ(hex(out) + " " + hex(back), cipherText + " " + plain) << keySize;
    }
    EXPECT_THROW(CAes(Bytes(20)), CPdfException);

    const CAesCbcCipher cbc(unhex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"));
    const AesBlock iv = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const Bytes message = unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    const std::string expected = "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                                 "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b";
    EXPECT_EQ(hex(cbc.encrypt(iv, message, AesPadding::none)), expected);
    EXPECT_EQ(cbc.decrypt(iv, unhex(expected), AesPadding::none), message);
    EXPECT_THROW(cbc.encrypt(iv, Bytes(17), AesPadding::none), CPdfException);

    for (const size_t length : {0u, 1u, 15u, 16u, 17u, 40u}) {
        const Bytes text(message.begin(), message.begin() + length);
        const Bytes sealed = cbc.encrypt(iv, text, AesPadding::pkcs5);
        EXPECT_EQ(sealed.size(), (length / 16 + 1) * 16);
        EXPECT_EQ(cbc.decrypt(iv, sealed, AesPadding::pkcs5), text) << length;
    }
}

std::string runQpdf(const std::string& arguments) {
    const CommandResult result = runCommand("qpdf " + arguments);
    EXPECT_TRUE(result.status == 0 || result.status == 3) << arguments << ": " << result.output;
    return result.output;
}

std::string capture(const std::string& text, const std::string& pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : "";
}

// The encryption dictionary's entries as qpdf shows them.
Aes256EncryptionValues readEncryption(const std::string& path, const std::string& password) {
    const std::string access = " --password=" + shellQuote(password) + " " + shellQuote(path);
    const std::string number = capture(runQpdf("--show-object=trailer" + access), R"(/Encrypt (\d+) 0 R)");
    const std::string dictionary = runQpdf("--show-object=" + number + access);
    Aes256EncryptionValues values;
    values.revision = std::stoi(capture(dictionary, R"(/R (\d+))"));
    for (const auto& [key, entry] : {std::pair<std::string, Bytes*>{"O", &values.owner}, {"U", &values.user},
                                     {"OE", &values.ownerWrappedKey}, {"UE", &values.userWrappedKey}, {"Perms", &values.perms}})
        *entry = unhex(capture(dictionary, "/" + key + " <([0-9a-f]+)>"));
    values.permissions = static_cast<uint32_t>(std::stol(capture(dictionary, R"(/P (-?\d+))")));
    values.encryptMetadata = dictionary.find("/EncryptMetadata false") == std::string::npos;
    return values;
}

// Files encrypted by qpdf: the user and the owner password open them with the key qpdf reports,
// other passwords do not, and Perms agrees with P.
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
        runQpdf("--encrypt " + shellQuote(row.user) + " " + shellQuote(row.owner) + " 256" + row.options + " -- " +
                shellQuote(dir.file("plain.pdf")) + " " + shellQuote(path));
        const std::string qpdfKey = capture(
            runQpdf("--show-encryption-key --show-encryption --password=" + shellQuote(row.owner) + " " + shellQuote(path)),
            "Encryption key = ([0-9a-f]+)");
        ASSERT_EQ(qpdfKey.size(), 64u);
        const Aes256EncryptionValues values = readEncryption(path, row.owner);
        ASSERT_EQ(values.revision, row.revision);
        const CAes256KeyDerivation derivation(values);

        const Aes256Unlock asOwner = derivation.unlock(row.owner);
        EXPECT_EQ(asOwner.role, PasswordRole::owner);
        EXPECT_EQ(hex(asOwner.fileKey), qpdfKey);
        EXPECT_EQ(asOwner.perms, PermsCheck::consistent);
        const Aes256Unlock asUser = derivation.unlock(row.user);
        EXPECT_EQ(asUser.role, row.user == row.owner ? PasswordRole::owner : PasswordRole::user);
        EXPECT_EQ(hex(asUser.fileKey), qpdfKey);
        for (const std::string& wrong : {std::string("wrong"), row.owner + "x", row.user + " "})
            EXPECT_EQ(derivation.unlock(wrong).role, PasswordRole::none) << wrong;
        if (!row.user.empty()) {
            EXPECT_EQ(derivation.unlock("").role, PasswordRole::none);
        }

        // A sealed copy that disagrees with the dictionary is reported, not hidden.
        const FileKey256 key = asOwner.fileKey;
        Aes256EncryptionValues changed = values;
        changed.permissions ^= 1u << 2;
        EXPECT_EQ(CAes256KeyDerivation(changed).checkPerms(key), PermsCheck::permissionsDiffer);
        changed = values;
        changed.perms[10] ^= 1;
        EXPECT_EQ(CAes256KeyDerivation(changed).checkPerms(key), PermsCheck::unreadable);
    }
}

TEST(Aes256KeyDerivation, PreparesPasswordsAndRefusesOtherDictionaries) {
    // No-break and ideographic spaces; soft hyphen, BOM, variation selector; accents and bytes that are not UTF-8.
    const std::pair<std::string, std::string> rows[] = {{"a\xC2\xA0" "b\xE3\x80\x80" "c", "a b c"},
        {"a\xC2\xAD" "b\xEF\xBB\xBF" "c\xEF\xB8\x8F", "abc"}, {"r\xC3\xA9sum\xC3\xA9 \xFF\xC3", "r\xC3\xA9sum\xC3\xA9 \xFF\xC3"},
        {std::string(200, 'p'), std::string(127, 'p')}};
    for (const auto& [given, prepared] : rows) EXPECT_EQ(CAes256KeyDerivation::preparePassword(given), bytesOf(prepared));

    Aes256EncryptionValues values;
    values.owner = values.user = Bytes(48);
    values.ownerWrappedKey = values.userWrappedKey = Bytes(32);
    values.revision = 4;
    EXPECT_THROW(CAes256KeyDerivation{values}, CPdfException);
    values.revision = 6;
    EXPECT_NO_THROW(CAes256KeyDerivation{values});
    values.userWrappedKey.resize(31);
    EXPECT_THROW(CAes256KeyDerivation{values}, CPdfException);
}

}  // namespace
