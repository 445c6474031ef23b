// The Standard security handler on encryption dictionaries built in memory, with values
// copied from encrypted files of the corpus and the file keys that qpdf reports for them.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/objects/PdfString.h"
#include "pdf/security/Md5.h"
#include "pdf/security/PasswordPadding.h"
#include "pdf/security/Rc4.h"
#include "pdf/security/SecurityHandler.h"
#include "pdf/security/StandardSecurityHandler.h"
#include "tests/security/HexBytes.h"

namespace {

const char* const kWeird = "Weird encryption info";
const char* const kUnsupported = "Unsupported version/revision of Standard security handler";

CPdfElement name(const char* text) {
    CPdfElement element;
    element.initName(text);
    return element;
}

CPdfElement integer(int32_t value) {
    CPdfElement element;
    element.initInteger(value);
    return element;
}

CPdfElement boolean(bool value) {
    CPdfElement element;
    element.initBool(value);
    return element;
}

// As the parser leaves it: the digits, decoded on demand.
CPdfElement hexString(const std::string& digits) {
    CPdfString string(digits.data(), static_cast<int32_t>(digits.size()));
    string.setDecoded(false);
    CPdfElement element;
    element.initHexString(string);
    return element;
}

CPdfElement literalString(const Bytes& bytes) {
    const std::string text(bytes.begin(), bytes.end());
    CPdfElement element;
    element.initString(text.c_str());
    return element;
}

CPdfElement dictionary() {
    CPdfElement element;
    element.initDictionary(static_cast<CPdfResolver*>(nullptr));
    return element;
}

CPdfElement array(std::initializer_list<CPdfElement> items) {
    CPdfElement element;
    element.initArray(nullptr);
    for (const CPdfElement& item : items) element.getArray()->add(item);
    return element;
}

// A copy of a dictionary without the given keys, to replace or drop entries.
CPdfElement copyWithout(const CPdfElement& source, std::initializer_list<const char*> skipped) {
    CPdfElement copy = dictionary();
    const CPdfDictionary& from = *source.getDictionary();
    for (int32_t i = 0; i < from.getLength(); ++i) {
        const std::string key = from.getKey(i);
        bool skip = false;
        for (const char* s : skipped) skip = skip || key == s;
        if (skip) continue;
        CPdfElement value;
        from.getValue(i, value);
        copy.getDictionary()->add(key.c_str(), value);
    }
    return copy;
}

// The values of one Encrypt dictionary and of the trailer's ID.
struct Encryption {
    int v = 0;
    int r = 0;
    int length = 0;  // 0: no Length entry
    int p = 0;
    std::string o;
    std::string u;
    std::string id;  // first ID element; empty: no ID in the trailer
    std::string cryptFilterMethod;  // V 4: the CFM of StdCF, serving StmF and StrF
    int cryptFilterLength = 0;      // 0: no Length in the crypt filter
    int encryptMetadata = -1;       // -1: absent
};

CPdfElement encryptDictionary(const Encryption& e) {
    CPdfElement dict = dictionary();
    CPdfDictionary& d = *dict.getDictionary();
    d.add("Filter", name("Standard"));
    d.add("V", integer(e.v));
    d.add("R", integer(e.r));
    if (e.length) d.add("Length", integer(e.length));
    d.add("P", integer(e.p));
    d.add("O", hexString(e.o));
    d.add("U", hexString(e.u));
    if (e.encryptMetadata >= 0) d.add("EncryptMetadata", boolean(e.encryptMetadata != 0));
    if (!e.cryptFilterMethod.empty()) {
        CPdfElement filter = dictionary();
        filter.getDictionary()->add("CFM", name(e.cryptFilterMethod.c_str()));
        filter.getDictionary()->add("AuthEvent", name("DocOpen"));
        if (e.cryptFilterLength) filter.getDictionary()->add("Length", integer(e.cryptFilterLength));
        CPdfElement filters = dictionary();
        filters.getDictionary()->add("StdCF", filter);
        d.add("CF", filters);
        d.add("StmF", name("StdCF"));
        d.add("StrF", name("StdCF"));
    }
    return dict;
}

CPdfElement trailerWithId(const std::string& id) {
    CPdfElement trailer = dictionary();
    trailer.getDictionary()->add("Root", integer(1));
    if (!id.empty()) trailer.getDictionary()->add("ID", array({hexString(id), hexString(id)}));
    return trailer;
}

std::unique_ptr<CSecurityHandler> handlerFor(const Encryption& e) {
    return makeSecurityHandler(trailerWithId(e.id), encryptDictionary(e));
}

std::string fileKeyHex(const CSecurityHandler& handler) {
    return toHex(handler.getFileKey(), static_cast<size_t>(handler.getFileKeyLength()));
}

// --- Values from the corpus (qpdf --show-object, --show-encryption-key) -------------------

Encryption r2v1() {  // enc-R2_V1: both passwords empty
    Encryption e;
    e.v = 1, e.r = 2, e.length = 40, e.p = -64;
    e.o = "2055c756c72e1ad702608e8196acad447ad32d17cff583235f6dd15fed7dab67";
    e.u = "9e8e293e504292c520ee9f6a2a0e4857abef00b324b1041ac79a33f2cbde52a2";
    e.id = "66d36a30a97e0f16f39955c6221e0c2a";
    return e;
}

Encryption r2v1Master() {  // enc-R2_V1_O_master: owner password "master"
    Encryption e = r2v1();
    e.o = "09d1dcbeee8e06c9097eb769a96fedb71891fd7a9b2fc605690557da6d132a24";
    e.u = "5fe5d8dcbb0987a8e00ac0440c55540891f1dd59d88e5b6e5e0a7954217a8f78";
    return e;
}

Encryption r3v2() {  // enc-R3_V2: both passwords empty
    Encryption e;
    e.v = 2, e.r = 3, e.length = 128, e.p = -3104;
    e.o = "36451bd39d753b7c1d10922c28e6665aa4f3353fb0348b536893e3b1db5c579b";
    e.u = "4ead05d7de6542e9b1ac15a5837882ec91f1dd59d88e5b6e5e0a7954217a8f78";
    e.id = "66d36a30a97e0f16f39955c6221e0c2a";
    return e;
}

Encryption r3v2Master() {  // enc-R3_V2_O_master
    Encryption e = r3v2();
    e.o = "43c9dc2870a984994bc1265a57c7f8ada724fa891e652bb0654f50170f72f5ee";
    e.u = "3b64a47ae69c81add269ec98ad14615991f1dd59d88e5b6e5e0a7954217a8f78";
    return e;
}

Encryption r3v2View() {  // enc-R3_V2_U_view_O_view: both passwords "view"
    Encryption e = r3v2();
    e.o = "0b519e6d22cff2512874511174dd17f0fd531ede8de0c811aa83ad6ba09358e9";
    e.u = "2283eba99a7ec1b60a3a6fefc409941991f1dd59d88e5b6e5e0a7954217a8f78";
    return e;
}

Encryption v4(const char* method, bool clearMetadata) {  // V4, V4-aes, V4-clearmeta, V4-aes-clearmeta
    Encryption e;
    e.v = 4, e.r = 4, e.length = 128, e.p = -4;
    e.o = "36451bd39d753b7c1d10922c28e6665aa4f3353fb0348b536893e3b1db5c579b";
    e.u = clearMetadata ? "e4d8eb0d7c43579866926fec0eab59020122456a91bae5134273a6db134c87c4"
                        : "32c27288b9ec6a4fab94e6188828595c0122456a91bae5134273a6db134c87c4";
    e.id = "66d36a30a97e0f16f39955c6221e0c2a";
    e.cryptFilterMethod = method;
    e.cryptFilterLength = 16;
    if (clearMetadata) e.encryptMetadata = 0;
    return e;
}

struct KnownAnswer {
    const char* file;
    Encryption encryption;
    const char* ownerPassword;
    const char* userPassword;
    const char* key;
    bool ownerOk;
    int version;
    int cipherKind;
};

TEST(StandardSecurityHandler, OpensCorpusDictionariesWithTheKeysQpdfReports) {
    Encryption metadataCryptFilter;  // metadata-crypt-filter: CFM V2 without its own Length
    metadataCryptFilter.v = 4, metadataCryptFilter.r = 4, metadataCryptFilter.length = 128, metadataCryptFilter.p = -4;
    metadataCryptFilter.o = "566fa873ee33c797cd3b904fdadf814afa34df9a38f6ed41b984e2c6da2aa6f5";
    metadataCryptFilter.u = "3a40816f776fccd39a9c505a9d4110e60122456a91bae5134273a6db134c87c4";
    metadataCryptFilter.id = "66d36a30a97e0f16f39955c6221e0c2a";
    metadataCryptFilter.cryptFilterMethod = "V2";
    metadataCryptFilter.encryptMetadata = 0;

    Encryption signedRestricted;  // minimal-signed-restricted: AESV2, metadata in clear
    signedRestricted.v = 4, signedRestricted.r = 4, signedRestricted.length = 128, signedRestricted.p = -1324;
    signedRestricted.o = "b718e6ee4fbcab2515fe4c0f8e50cd3a0fc25879c53ac38dfcdf63a3c2269023";
    signedRestricted.u = "a30aa134f154c1000dbf0f7bb24525a528bf4e5e4e758a4164004e56fffa0108";
    signedRestricted.id = "42841c13bbf709d79a200fa1691836f8";
    signedRestricted.cryptFilterMethod = "AESV2";
    signedRestricted.cryptFilterLength = 16;
    signedRestricted.encryptMetadata = 0;

    Encryption withImages = r3v2();  // encrypted-with-images
    withImages.p = -4;
    withImages.o = "36451bd39d753b7c1d10922c28e6665aa4f3353fb0348b536893e3b1db5c579b";
    withImages.u = "c5fcd68fff42090ae5db77f3c6d7992e0122456a91bae5134273a6db134c87c4";
    withImages.id = "aa269ffec296b13f3ef835aaa13a0a08";

    const KnownAnswer answers[] = {
        {"enc-R2_V1", r2v1(), "", "", "8d4aa87ff7", false, 1, 0},
        {"enc-R2_V1_O_master", r2v1Master(), "", "", "d8a7a86122", false, 1, 0},
        {"enc-R2_V1_O_master", r2v1Master(), "master", "", "d8a7a86122", true, 1, 0},
        {"enc-R2_V1_O_master", r2v1Master(), "wrong", "", "d8a7a86122", false, 1, 0},
        {"enc-R3_V2", r3v2(), "", "", "3f54c11cc0c68dee27fa25422bba524d", false, 2, 0},
        {"enc-R3_V2_O_master", r3v2Master(), "master", "", "88ce1c392a579d50797f65bd39ba22ab", true, 2, 0},
        {"enc-R3_V2_O_master", r3v2Master(), "", "", "88ce1c392a579d50797f65bd39ba22ab", false, 2, 0},
        {"enc-R3_V2_U_view_O_view", r3v2View(), "", "view", "1701b0ac5035f48d96f6ef350a4cd68d", false, 2, 0},
        {"enc-R3_V2_U_view_O_view", r3v2View(), "view", "", "1701b0ac5035f48d96f6ef350a4cd68d", true, 2, 0},
        {"V4", v4("V2", false), "", "", "474258b004f2ce0017adeb6e79574357", false, 2, 0},
        {"V4-aes", v4("AESV2", false), "", "", "474258b004f2ce0017adeb6e79574357", false, 2, 1},
        {"V4-clearmeta", v4("V2", true), "", "", "25976fb9fc748e3218ad6d5b7e42ac50", false, 2, 0},
        {"V4-aes-clearmeta", v4("AESV2", true), "", "", "25976fb9fc748e3218ad6d5b7e42ac50", false, 2, 1},
        {"metadata-crypt-filter", metadataCryptFilter, "", "", "99aee8a303653799507b73109bc9fbb6", false, 2, 0},
        {"minimal-signed-restricted", signedRestricted, "", "", "edde8ef86d1633cc11903533b36bb344", false, 2, 1},
        {"encrypted-with-images", withImages, "", "", "d755c2a671c8a43482d3e2eaf0900912", false, 2, 0},
    };
    for (const KnownAnswer& answer : answers) {
        SCOPED_TRACE(std::string(answer.file) + " owner '" + answer.ownerPassword + "' user '" + answer.userPassword + "'");
        const auto handler = handlerFor(answer.encryption);
        ASSERT_NE(handler, nullptr);
        EXPECT_TRUE(handler->checkEncryption(answer.ownerPassword, answer.userPassword));
        EXPECT_EQ(fileKeyHex(*handler), answer.key);
        EXPECT_EQ(handler->getOwnerPasswordOk(), answer.ownerOk);
        EXPECT_EQ(handler->getEncVersion(), answer.version);
        EXPECT_EQ(handler->getCipherKind(), answer.cipherKind);
        EXPECT_EQ(handler->getPermissionFlags(), static_cast<uint32_t>(answer.encryption.p));
    }
}

TEST(StandardSecurityHandler, WrongPasswordsFail) {
    const auto view = handlerFor(r3v2View());
    EXPECT_FALSE(view->checkEncryption("", ""));
    EXPECT_FALSE(view->checkEncryption("", "View"));
    EXPECT_FALSE(view->checkEncryption("master", ""));
    EXPECT_FALSE(view->getOwnerPasswordOk());
    EXPECT_TRUE(view->checkEncryption("", "view"));

    // "master" is the owner password; given as the user password it opens nothing.
    const auto master = handlerFor(r2v1Master());
    EXPECT_FALSE(master->checkEncryption("", "master"));
    EXPECT_FALSE(master->getOwnerPasswordOk());
}

TEST(StandardSecurityHandler, PasswordsAreCutToThirtyTwoBytes) {
    uint8_t padded[kPasswordPaddingSize];
    padPassword("view", padded);
    std::string longPassword(reinterpret_cast<const char*>(padded), sizeof padded);
    longPassword += "ignored tail";
    const auto handler = handlerFor(r3v2View());
    EXPECT_TRUE(handler->checkEncryption("", longPassword));
    EXPECT_EQ(fileKeyHex(*handler), "1701b0ac5035f48d96f6ef350a4cd68d");
}

TEST(StandardSecurityHandler, KeyLengthRules) {
    // Revision 2 always uses 5 bytes, whatever Length says or whether it is there.
    for (int length : {0, 128}) {
        Encryption e = r2v1();
        e.length = length;
        const auto handler = handlerFor(e);
        EXPECT_EQ(handler->getFileKeyLength(), 5);
        EXPECT_TRUE(handler->checkEncryption("", ""));
        EXPECT_EQ(fileKeyHex(*handler), "8d4aa87ff7");
    }
    // A crypt filter Length of 128 is read as bytes and clamped to 16.
    Encryption bits = v4("AESV2", false);
    bits.cryptFilterLength = 128;
    const auto clamped = handlerFor(bits);
    EXPECT_EQ(clamped->getFileKeyLength(), 16);
    EXPECT_TRUE(clamped->checkEncryption("", ""));
    EXPECT_EQ(fileKeyHex(*clamped), "474258b004f2ce0017adeb6e79574357");

    // The crypt filter's Length wins over the dictionary's.
    Encryption fiveBytes = v4("V2", false);
    fiveBytes.cryptFilterLength = 5;
    EXPECT_EQ(handlerFor(fiveBytes)->getFileKeyLength(), 5);
    EXPECT_FALSE(handlerFor(fiveBytes)->checkEncryption("", ""));

    // bad-encryption-length: R 3 without Length means 5 bytes; that file was made with 16,
    // so its empty password does not match.
    Encryption noLength;
    noLength.v = 2, noLength.r = 3, noLength.p = -4;
    noLength.o = "77b8fb098022d3ab34237ea5643c08710ea5123fc5f88bf993a68cca5f12b40f";
    noLength.u = "72ba254904669105f93c01524fceaa320122456a91bae5134273a6db134c87c4";
    noLength.id = "2dc7d3d0f5f5b44e5b39ff85e8a4f70c";
    const auto defaulted = handlerFor(noLength);
    EXPECT_EQ(defaulted->getFileKeyLength(), 5);
    EXPECT_FALSE(defaulted->checkEncryption("", ""));
    noLength.length = 128;
    EXPECT_TRUE(handlerFor(noLength)->checkEncryption("", ""));

    // Lengths that would leave no key fall back to 5 bytes; 8 bits is one byte.
    for (int length : {-128, 7}) {
        Encryption e = r3v2();
        e.length = length;
        EXPECT_EQ(handlerFor(e)->getFileKeyLength(), 5) << length;
    }
    Encryption oneByte = r3v2();
    oneByte.length = 8;
    EXPECT_EQ(handlerFor(oneByte)->getFileKeyLength(), 1);
    EXPECT_FALSE(handlerFor(oneByte)->checkEncryption("", ""));
}

TEST(StandardSecurityHandler, EncryptMetadataCountsOnlyForVersion4) {
    Encryption r3 = r3v2();
    r3.encryptMetadata = 0;
    const auto ignored = handlerFor(r3);
    EXPECT_TRUE(ignored->checkEncryption("", ""));
    EXPECT_EQ(fileKeyHex(*ignored), "3f54c11cc0c68dee27fa25422bba524d");

    Encryption cleared = v4("AESV2", true);
    cleared.encryptMetadata = -1;  // the marker bytes are then missing from the key
    EXPECT_FALSE(handlerFor(cleared)->checkEncryption("", ""));
    cleared.encryptMetadata = 1;
    EXPECT_FALSE(handlerFor(cleared)->checkEncryption("", ""));

    CStandardSecurityHandler handler(trailerWithId(r3v2().id), *encryptDictionary(v4("V2", true)).getDictionary());
    EXPECT_FALSE(handler.getEncryptMetadata());
    EXPECT_EQ(handler.getEncRevision(), 3);
}

TEST(StandardSecurityHandler, IdIsTheFirstElementOfAnyStringKind) {
    // The ID of enc-R2_V1 has no zero byte, so it may stand as a literal string.
    CPdfElement trailer = dictionary();
    trailer.getDictionary()->add("ID", array({literalString(fromHex(r2v1().id)), hexString("00")}));
    const auto literal = makeSecurityHandler(trailer, encryptDictionary(r2v1()));
    EXPECT_TRUE(literal->checkEncryption("", ""));
    EXPECT_EQ(fileKeyHex(*literal), "8d4aa87ff7");

    // The file's key depends on its ID: without it, or with an empty or odd ID, no match.
    CPdfElement emptyArray = dictionary();
    emptyArray.getDictionary()->add("ID", array({}));
    CPdfElement notArray = dictionary();
    notArray.getDictionary()->add("ID", hexString(r2v1().id));
    CPdfElement secondOnly = dictionary();
    secondOnly.getDictionary()->add("ID", array({integer(3), hexString(r2v1().id)}));
    for (const CPdfElement* t : {&emptyArray, &notArray, &secondOnly}) {
        const auto handler = makeSecurityHandler(*t, encryptDictionary(r2v1()));
        ASSERT_NE(handler, nullptr);
        EXPECT_FALSE(handler->checkEncryption("", ""));
    }
    const auto noTrailer = makeSecurityHandler(CPdfElement(), encryptDictionary(r2v1()));
    EXPECT_FALSE(noTrailer->checkEncryption("", ""));
}

TEST(StandardSecurityHandler, OwnerAndUserEntriesMayBeLiteralButNotCutShort) {
    const Encryption e = r2v1();  // O has no zero byte; U has one after 18 bytes
    CPdfElement literalOwner = copyWithout(encryptDictionary(e), {"O"});
    literalOwner.getDictionary()->add("O", literalString(fromHex(e.o)));
    const auto handler = makeSecurityHandler(trailerWithId(e.id), literalOwner);
    EXPECT_TRUE(handler->checkEncryption("", ""));
    EXPECT_EQ(fileKeyHex(*handler), "8d4aa87ff7");

    CPdfElement cutUser = copyWithout(encryptDictionary(e), {"U"});
    cutUser.getDictionary()->add("U", literalString(fromHex(e.u)));
    const auto cut = makeSecurityHandler(trailerWithId(e.id), cutUser);
    EXPECT_FALSE(cut->checkEncryption("", ""));
    EXPECT_FALSE(cut->checkEncryption("anything", ""));

    CPdfElement shortOwner = copyWithout(encryptDictionary(e), {"O"});
    shortOwner.getDictionary()->add("O", hexString(e.o.substr(0, 62)));
    EXPECT_FALSE(makeSecurityHandler(trailerWithId(e.id), shortOwner)->checkEncryption("", ""));
}

TEST(StandardSecurityHandler, OnlyTheStandardFilterGetsAHandler) {
    const CPdfElement trailer = trailerWithId(r2v1().id);
    const CPdfElement valid = encryptDictionary(r2v1());
    for (const char* filter : {"standard", "Standard ", "Adobe.PubSec"}) {
        CPdfElement other = copyWithout(valid, {"Filter"});
        other.getDictionary()->add("Filter", name(filter));
        EXPECT_EQ(makeSecurityHandler(trailer, other), nullptr) << filter;
    }
    EXPECT_EQ(makeSecurityHandler(trailer, copyWithout(valid, {"Filter"})), nullptr);
    CPdfElement stringFilter = copyWithout(valid, {"Filter"});
    stringFilter.getDictionary()->add("Filter", literalString(bytesOf("Standard")));
    EXPECT_EQ(makeSecurityHandler(trailer, stringFilter), nullptr);
    EXPECT_EQ(makeSecurityHandler(trailer, name("Standard")), nullptr);
    EXPECT_NE(makeSecurityHandler(trailer, valid), nullptr);
}

void expectThrows(const CPdfElement& dict, const char* message) {
    try {
        makeSecurityHandler(trailerWithId(r2v1().id), dict);
        ADD_FAILURE() << "no exception, expected " << message;
    } catch (const CPdfException& e) {
        EXPECT_STREQ(e.getMessage(), message);
    }
}

// The r2v1 dictionary with `key` replaced by `value`, or dropped when `value` is kindNone.
CPdfElement withEntry(const char* key, const CPdfElement& value) {
    CPdfElement dict = copyWithout(encryptDictionary(r2v1()), {key});
    if (!value.is(kindNone)) dict.getDictionary()->add(key, value);
    return dict;
}

TEST(StandardSecurityHandler, EntriesOfTheWrongKindAreWeird) {
    CPdfElement real;
    real.initReal(1.0);
    const CPdfElement none;
    for (const char* key : {"V", "R", "P"}) {
        SCOPED_TRACE(key);
        expectThrows(withEntry(key, real), kWeird);
        expectThrows(withEntry(key, none), kWeird);
        expectThrows(withEntry(key, literalString(bytesOf("1"))), kWeird);
    }
    for (const char* key : {"O", "U"}) {
        SCOPED_TRACE(key);
        expectThrows(withEntry(key, name("abc")), kWeird);
        expectThrows(withEntry(key, none), kWeird);
        expectThrows(withEntry(key, integer(0)), kWeird);
    }
    // A reference with nothing to resolve it stays a reference, which is not a number.
    CPdfElement reference;
    reference.initReference(7, 0);
    expectThrows(withEntry("V", reference), kWeird);
    // Weird entries are found before unsupported versions.
    CPdfElement both = withEntry("P", none);
    both = copyWithout(both, {"V"});
    both.getDictionary()->add("V", integer(5));
    expectThrows(both, kWeird);
}

TEST(StandardSecurityHandler, VersionsAndRevisionsOutsideTheSupportedSet) {
    struct VR {
        int v, r;
        bool supported;
    };
    for (const VR& vr : {VR{1, 2, true}, VR{1, 3, true}, VR{2, 2, true}, VR{2, 3, true}, VR{0, 2, false},
                         VR{3, 3, false}, VR{2, 4, false}, VR{1, 1, false}, VR{5, 5, false}, VR{5, 6, false},
                         VR{4, 3, false}, VR{3, 4, false}}) {
        Encryption e = r3v2();
        e.v = vr.v, e.r = vr.r;
        e.cryptFilterMethod = "AESV2";  // present, but only V 4 with R 4 reads it
        if (vr.supported) {
            EXPECT_NE(handlerFor(e), nullptr);
        } else {
            SCOPED_TRACE("V " + std::to_string(vr.v) + " R " + std::to_string(vr.r));
            expectThrows(encryptDictionary(e), kUnsupported);
        }
    }
    for (const char* method : {"None", "AESV3", "Identity"}) {
        expectThrows(encryptDictionary(v4(method, false)), kUnsupported);
    }
    Encryption noFilter = v4("AESV2", false);
    noFilter.cryptFilterMethod.clear();
    expectThrows(encryptDictionary(noFilter), kUnsupported);
}

TEST(StandardSecurityHandler, Version4NeedsOneCryptFilterForStreamsAndStrings) {
    const CPdfElement valid = encryptDictionary(v4("AESV2", false));
    auto variant = [&valid](const char* stream, const char* string) {
        CPdfElement dict = copyWithout(valid, {"StmF", "StrF"});
        dict.getDictionary()->add("StmF", name(stream));
        dict.getDictionary()->add("StrF", name(string));
        return dict;
    };
    expectThrows(variant("StdCF", "Identity"), kUnsupported);
    expectThrows(variant("Identity", "StdCF"), kUnsupported);
    expectThrows(variant("Other", "Other"), kUnsupported);
    CPdfElement filtersNotDictionary = copyWithout(valid, {"CF"});
    filtersNotDictionary.getDictionary()->add("CF", name("StdCF"));
    expectThrows(filtersNotDictionary, kUnsupported);
    EXPECT_NE(makeSecurityHandler(trailerWithId(r3v2().id), variant("StdCF", "StdCF")), nullptr);
}

// --- Dictionaries made here --------------------------------------------------------------
// No tool writes a file without an ID, so for that case the O and U entries are made in the
// test with the standard's algorithms in the encrypting direction. The same code first
// reproduces the entries of corpus files, which checks it against qpdf's output.

struct Made {
    Bytes o;
    Bytes u;
    Bytes key;
};

void rc4Passes(const Bytes& key, int revision, Bytes& data) {
    const int passes = revision == 2 ? 1 : 20;
    for (int pass = 0; pass < passes; ++pass) {
        Bytes passKey = key;
        for (uint8_t& b : passKey) b = static_cast<uint8_t>(b ^ pass);
        Rc4State state;
        rc4Init(passKey.data(), passKey.size(), state);
        rc4Crypt(state, data.data(), data.size());
    }
}

Bytes md5Of(const Bytes& data) {
    Bytes digest(kMd5DigestSize);
    md5(data.data(), data.size(), digest.data());
    return digest;
}

Bytes padded(const std::string& password) {
    Bytes out(kPasswordPaddingSize);
    padPassword(password, out.data());
    return out;
}

Bytes makeFileKey(const std::string& user, const Bytes& o, int32_t p, const Bytes& id, int revision,
                  size_t keyLength) {
    Bytes material = padded(user);
    material.insert(material.end(), o.begin(), o.end());
    for (int k = 0; k < 4; ++k) material.push_back(static_cast<uint8_t>(static_cast<uint32_t>(p) >> (8 * k)));
    material.insert(material.end(), id.begin(), id.end());
    Bytes hash = md5Of(material);
    if (revision == 3)
        for (int k = 0; k < 50; ++k) hash = md5Of(Bytes(hash.begin(), hash.begin() + static_cast<long>(keyLength)));
    return Bytes(hash.begin(), hash.begin() + static_cast<long>(keyLength));
}

Made makeEntries(const std::string& owner, const std::string& user, int revision, size_t keyLength, int32_t p,
                 const Bytes& id) {
    Made made;
    Bytes ownerHash = md5Of(padded(owner.empty() ? user : owner));
    if (revision == 3)
        for (int k = 0; k < 50; ++k) ownerHash = md5Of(ownerHash);
    made.o = padded(user);
    rc4Passes(Bytes(ownerHash.begin(), ownerHash.begin() + static_cast<long>(keyLength)), revision, made.o);

    made.key = makeFileKey(user, made.o, p, id, revision, keyLength);

    if (revision == 2) {
        made.u = Bytes(kPasswordPadding, kPasswordPadding + kPasswordPaddingSize);
        rc4Passes(made.key, 2, made.u);
    } else {
        Bytes check = Bytes(kPasswordPadding, kPasswordPadding + kPasswordPaddingSize);
        check.insert(check.end(), id.begin(), id.end());
        made.u = md5Of(check);
        rc4Passes(made.key, 3, made.u);
        made.u.resize(32, 0xAB);  // the second half is arbitrary
    }
    return made;
}

TEST(StandardSecurityHandler, TestEntryMakerReproducesCorpusEntries) {
    const Bytes id = fromHex(r2v1().id);
    const Made r2 = makeEntries("", "", 2, 5, -64, id);
    EXPECT_EQ(toHex(r2.o), r2v1().o);
    EXPECT_EQ(toHex(r2.u), r2v1().u);
    const Made r3 = makeEntries("", "", 3, 16, -3104, id);
    EXPECT_EQ(toHex(r3.o), r3v2().o);
    EXPECT_EQ(toHex(r3.u).substr(0, 32), r3v2().u.substr(0, 32));
    const Made view = makeEntries("view", "view", 3, 16, -3104, id);
    EXPECT_EQ(toHex(view.o), r3v2View().o);
    EXPECT_EQ(toHex(view.u).substr(0, 32), r3v2View().u.substr(0, 32));
    EXPECT_EQ(toHex(view.key), "1701b0ac5035f48d96f6ef350a4cd68d");
}

TEST(StandardSecurityHandler, TrailerWithoutIdUsesNoIdBytes) {
    for (int revision : {2, 3}) {
        SCOPED_TRACE("revision " + std::to_string(revision));
        const size_t keyLength = revision == 2 ? 5 : 16;
        const Made made = makeEntries("boss", "secret", revision, keyLength, -44, Bytes());
        Encryption e;
        e.v = revision == 2 ? 1 : 2, e.r = revision, e.length = 128, e.p = -44;
        e.o = toHex(made.o);
        e.u = toHex(made.u);
        const auto handler = handlerFor(e);  // e.id empty: the trailer has no ID
        EXPECT_FALSE(handler->checkEncryption("", ""));
        EXPECT_TRUE(handler->checkEncryption("", "secret"));
        EXPECT_FALSE(handler->getOwnerPasswordOk());
        EXPECT_EQ(fileKeyHex(*handler), toHex(made.key));
        EXPECT_TRUE(handler->checkEncryption("boss", ""));
        EXPECT_TRUE(handler->getOwnerPasswordOk());
        EXPECT_EQ(fileKeyHex(*handler), toHex(made.key));
    }
}

TEST(StandardSecurityHandler, FailedCheckKeepsTheKeyItComputed) {
    const Encryption e = r3v2View();
    const auto handler = handlerFor(e);
    EXPECT_FALSE(handler->checkEncryption("", "wrong"));
    EXPECT_EQ(fileKeyHex(*handler), toHex(makeFileKey("wrong", fromHex(e.o), e.p, fromHex(e.id), 3, 16)));
}

}  // namespace
