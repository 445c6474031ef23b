#include "resize/OutputEncryption.h"

#include "pdf/document/ElementText.h"
#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/DirectObjectText.h"
#include "resize/NumberFormat.h"
#include "resize/StringRewriter.h"

namespace {

constexpr uint32_t kNewObjectGeneration = 0;

// The trailer's ID as "[<first><second>]"; a lone first string stands for both, since readers
// expect two. Empty when the trailer has no ID whose first element is a string.
std::string idText(const CPdfDictionary& trailer) {
    CPdfElement id;
    trailer.lookup("ID", id);
    if (!id.is(kindArray) || id.getArray()->getLength() == 0) return "";
    const CPdfArray& strings = *id.getArray();
    CPdfElement first;
    strings.get(0, first);
    std::string firstBytes;
    if (!getStringBytes(first, firstBytes)) return "";
    std::string secondBytes = firstBytes;
    if (strings.getLength() > 1) {
        CPdfElement second;
        strings.get(1, second);
        if (!getStringBytes(second, secondBytes)) secondBytes = firstBytes;
    }
    return "[" + hexStringText(firstBytes) + hexStringText(secondBytes) + "]";
}

}  // namespace

std::unique_ptr<OutputEncryption> OutputEncryption::fromDocument(const CPdfXRef& xref) {
    if (!xref.isEncrypted()) return nullptr;
    return std::make_unique<OutputEncryption>(xref.getTrailer(), xref.getFileKey());
}

OutputEncryption::OutputEncryption(const CPdfElement& trailer, const FileKey& fileKey) : encryptor_(fileKey) {
    if (!trailer.is(kindDictionary)) return;
    const CPdfDictionary& dictionary = *trailer.getDictionary();
    CPdfElement encrypt;
    dictionary.lookupUnresolved("Encrypt", encrypt);
    if (encrypt.is(kindReference)) {
        encryptObjectNumber_ = static_cast<uint32_t>(encrypt.getRefNumber());
        trailerKeys_ += "/Encrypt " + formatInteger(encrypt.getRefNumber()) + " " +
                        formatInteger(encrypt.getRefGeneration()) + " R\n";
    } else if (encrypt.is(kindDictionary)) {
        trailerKeys_ += "/Encrypt " + directObjectText(encrypt) + "\n";
    }
    const std::string id = idText(dictionary);
    if (!id.empty()) trailerKeys_ += "/ID " + id + "\n";
}

std::string OutputEncryption::encryptStreamData(const std::string& plain, uint32_t objectNumber) const {
    return encryptor_.encrypt(plain, objectNumber, kNewObjectGeneration);
}

std::string OutputEncryption::encryptRebuiltStrings(std::string_view objectText, uint32_t objectNumber) const {
    if (encryptObjectNumber_ != kNoObject && objectNumber == encryptObjectNumber_) return std::string(objectText);
    return rewriteStrings(objectText, [&](const std::string& plain) {
        return hexStringText(encryptor_.encrypt(plain, objectNumber, kNewObjectGeneration));
    });
}
