#include "pdf/security/Aes256KeyDerivation.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "pdf/objects/PdfException.h"
#include "pdf/security/AesCbcCipher.h"
#include "pdf/security/Sha2.h"

namespace {

constexpr int kRevisionSha256 = 5;
constexpr int kRevisionIteratedHash = 6;

// O and U: a 32-byte hash, an 8-byte validation salt, an 8-byte key salt.
constexpr size_t kHashSize = 32;
constexpr size_t kSaltSize = 8;
constexpr size_t kValidationSaltOffset = kHashSize;
constexpr size_t kKeySaltOffset = kHashSize + kSaltSize;
constexpr size_t kKeyEntrySize = kHashSize + 2 * kSaltSize;
constexpr size_t kWrappedKeySize = 32;

// Perms once decrypted: P low byte first, four bytes FF, 'T' or 'F', "adb", four random bytes.
constexpr size_t kPermsSize = CAes::kBlockSize;
constexpr size_t kPermsMetadataFlag = 8;
constexpr size_t kPermsMarker = 9;
constexpr char kPermsMarkerText[] = "adb";
constexpr uint8_t kMetadataEncrypted = 'T';

// The iterated hash: at least 64 rounds, then on until the last byte of the round's AES output
// is no greater than the round count less 32; each round encrypts 64 copies of its input.
constexpr int kMinimumRounds = 64;
constexpr int kRoundSlack = 32;
constexpr int kInputCopies = 64;
constexpr size_t kRoundKeySize = 16;
constexpr size_t kHashSelectorBytes = 16;
constexpr unsigned kHashChoices = 3;
constexpr Sha2Variant kRoundHashes[kHashChoices] = {Sha2Variant::sha256, Sha2Variant::sha384, Sha2Variant::sha512};

// Code points that the SASLprep mapping turns into a space (non-ASCII spaces) or removes.
constexpr char32_t kSpaceLike[] = {0x00A0, 0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006,
                                   0x2007, 0x2008, 0x2009, 0x200A, 0x200B, 0x202F, 0x205F, 0x3000};
constexpr char32_t kMappedToNothing[] = {0x00AD, 0x034F, 0x1806, 0x180B, 0x180C, 0x180D, 0x200C,
                                         0x200D, 0x2060, 0xFEFF};
constexpr char32_t kVariationSelectorFirst = 0xFE00, kVariationSelectorLast = 0xFE0F;

bool contains(const char32_t* first, const char32_t* last, char32_t c) { return std::find(first, last, c) != last; }

// The code point starting at `text[at]` and its length in bytes; length 0 when the bytes there are
// not a well-formed sequence of two to four bytes.
std::pair<char32_t, size_t> decodeUtf8(const std::string& text, size_t at) {
    constexpr unsigned char kLeadOf2 = 0xC0, kLeadOf3 = 0xE0, kLeadOf4 = 0xF0, kNoLead = 0xF8;
    constexpr unsigned char kContinuationMask = 0xC0, kContinuation = 0x80, kPayload = 0x3F;
    constexpr int kPayloadBits = 6;
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= kNoLead ? 0 : lead >= kLeadOf4 ? 4 : lead >= kLeadOf3 ? 3 : lead >= kLeadOf2 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return {0, 0};
    char32_t c = lead & (kPayload >> (length - 1));  // the lead's bits below its length prefix
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[at + k]);
        if ((next & kContinuationMask) != kContinuation) return {0, 0};
        c = c << kPayloadBits | (next & kPayload);
    }
    return {c, length};
}

std::vector<uint8_t> concat(std::initializer_list<std::pair<const uint8_t*, size_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& [data, size] : parts) out.insert(out.end(), data, data + size);
    return out;
}

}  // namespace

CAes256KeyDerivation::CAes256KeyDerivation(Aes256EncryptionValues values) : values_(std::move(values)) {
    if (values_.revision != kRevisionSha256 && values_.revision != kRevisionIteratedHash)
        throw CPdfException("Unsupported version/revision of Standard security handler");
    if (values_.owner.size() < kKeyEntrySize || values_.user.size() < kKeyEntrySize ||
        values_.ownerWrappedKey.size() < kWrappedKeySize || values_.userWrappedKey.size() < kWrappedKeySize)
        throw CPdfException("Weird encryption info");
}

std::vector<uint8_t> CAes256KeyDerivation::preparePassword(const std::string& utf8) {
    std::string mapped;
    for (size_t at = 0; at < utf8.size();) {
        const auto [c, length] = decodeUtf8(utf8, at);
        if (length == 0) {  // ASCII, or bytes that are not UTF-8: as they are
            mapped += utf8[at++];
            continue;
        }
        if (contains(std::begin(kSpaceLike), std::end(kSpaceLike), c)) {
            mapped += ' ';
        } else if (!contains(std::begin(kMappedToNothing), std::end(kMappedToNothing), c) &&
                   (c < kVariationSelectorFirst || c > kVariationSelectorLast)) {
            mapped.append(utf8, at, length);
        }
        at += length;
    }
    mapped.resize(std::min(mapped.size(), kMaxPasswordBytes));
    return std::vector<uint8_t>(mapped.begin(), mapped.end());
}

std::vector<uint8_t> CAes256KeyDerivation::hash(const std::vector<uint8_t>& password, const uint8_t* salt,
                                                Role role) const {
    // The owner's hashes take the whole of U in as well.
    const size_t extraSize = role == Role::owner ? kKeyEntrySize : 0;
    const uint8_t* extra = values_.user.data();
    std::vector<uint8_t> key =
        CSha2::digest(Sha2Variant::sha256, concat({{password.data(), password.size()}, {salt, kSaltSize}, {extra, extraSize}}));
    if (values_.revision == kRevisionSha256) return key;

    std::vector<uint8_t> repeated;
    for (int round = 1;; ++round) {
        const std::vector<uint8_t> once =
            concat({{password.data(), password.size()}, {key.data(), key.size()}, {extra, extraSize}});
        repeated.clear();
        for (int copy = 0; copy < kInputCopies; ++copy) repeated.insert(repeated.end(), once.begin(), once.end());
        AesBlock iv;
        std::copy(key.begin() + kRoundKeySize, key.begin() + kRoundKeySize + iv.size(), iv.begin());
        const std::vector<uint8_t> encrypted =
            CAesCbcCipher(std::vector<uint8_t>(key.begin(), key.begin() + kRoundKeySize)).encrypt(iv, repeated, AesPadding::none);
        // The first 16 bytes as one big number modulo 3 is their byte sum modulo 3, since 256 = 1 (mod 3).
        unsigned sum = 0;
        for (size_t k = 0; k < kHashSelectorBytes; ++k) sum += encrypted[k];
        key = CSha2::digest(kRoundHashes[sum % kHashChoices], encrypted);
        if (round >= kMinimumRounds && encrypted.back() <= round - kRoundSlack) break;
    }
    key.resize(kHashSize);
    return key;
}

bool CAes256KeyDerivation::matches(const std::vector<uint8_t>& password, Role role) const {
    const std::vector<uint8_t>& entry = role == Role::owner ? values_.owner : values_.user;
    const std::vector<uint8_t> computed = hash(password, entry.data() + kValidationSaltOffset, role);
    return std::equal(computed.begin(), computed.end(), entry.begin());
}

FileKey256 CAes256KeyDerivation::unwrapFileKey(const std::vector<uint8_t>& password, Role role) const {
    const std::vector<uint8_t>& entry = role == Role::owner ? values_.owner : values_.user;
    const std::vector<uint8_t>& wrapped = role == Role::owner ? values_.ownerWrappedKey : values_.userWrappedKey;
    const std::vector<uint8_t> intermediate = hash(password, entry.data() + kKeySaltOffset, role);
    const std::vector<uint8_t> plain = CAesCbcCipher(intermediate).decrypt(
        AesBlock{}, std::vector<uint8_t>(wrapped.begin(), wrapped.begin() + kWrappedKeySize), AesPadding::none);
    FileKey256 key;
    std::copy(plain.begin(), plain.end(), key.begin());
    return key;
}

Aes256Unlock CAes256KeyDerivation::unlock(const std::string& password) const {
    const std::vector<uint8_t> prepared = preparePassword(password);
    Aes256Unlock result;
    for (const Role role : {Role::owner, Role::user}) {
        if (!matches(prepared, role)) continue;
        result.role = role == Role::owner ? PasswordRole::owner : PasswordRole::user;
        result.fileKey = unwrapFileKey(prepared, role);
        result.perms = checkPerms(result.fileKey);
        break;
    }
    return result;
}

PermsCheck CAes256KeyDerivation::checkPerms(const FileKey256& fileKey) const {
    if (values_.perms.size() < kPermsSize) return PermsCheck::unreadable;
    uint8_t plain[kPermsSize];
    CAes(fileKey.data(), AesKeySize::bits256).decryptBlock(values_.perms.data(), plain);
    if (std::memcmp(plain + kPermsMarker, kPermsMarkerText, sizeof kPermsMarkerText - 1) != 0)
        return PermsCheck::unreadable;
    uint32_t sealed = 0;
    for (size_t k = 0; k < sizeof sealed; ++k) sealed |= uint32_t{plain[k]} << (8 * k);
    if (sealed != values_.permissions) return PermsCheck::permissionsDiffer;
    if ((plain[kPermsMetadataFlag] == kMetadataEncrypted) != values_.encryptMetadata)
        return PermsCheck::metadataFlagDiffers;
    return PermsCheck::consistent;
}
