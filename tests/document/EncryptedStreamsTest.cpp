// Stream data of encrypted corpus files read through the document: every stream comes out plain,
// whether it was stored encrypted (RC4 or AES, before Flate) or in plain text (metadata under
// EncryptMetadata false, or behind the Identity crypt filter).

#include <gtest/gtest.h>

#include <string>

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/xref/PdfXRef.h"
#include "tests/support/TestTools.h"

namespace {

constexpr int kMetadataObject = 3;
constexpr int kFirstPageContent = 40;
constexpr char kMetadataStart[] = "<?xpacket begin=";
constexpr char kContentStart[] = "BT\n  /F1 24 Tf\n";

std::string streamStart(CPdfDocument& document, int number, size_t length) {
    CPdfElement stream;
    document.getXRef()->fetch(number, 0, stream);
    if (!stream.is(kindStream)) return "(not a stream)";
    std::string bytes;
    for (int c; bytes.size() < length && (c = stream.getStream()->getChar()) != CPdfStream::kEnd;) {
        bytes += static_cast<char>(c);
    }
    return bytes;
}

TEST(EncryptedStreams, ComeOutPlainWhateverWayTheyAreStored) {
    const char* const files[] = {
        "qpdf__qpdf_qtest_qpdf_V4.pdf",                   // RC4, metadata encrypted
        "qpdf__qpdf_qtest_qpdf_V4-clearmeta.pdf",         // RC4, metadata plain
        "qpdf__qpdf_qtest_qpdf_V4-aes.pdf",               // AES, metadata encrypted
        "qpdf__qpdf_qtest_qpdf_V4-aes-clearmeta.pdf",     // AES, metadata plain
        "qpdf__qpdf_qtest_qpdf_metadata-crypt-filter.pdf",  // metadata behind /Crypt /Identity
    };
    for (const char* file : files) {
        const std::string path = std::string(QUILLMOR_CORPUS_DIR) + "/" + file;
        CPdfDocument document;
        document.open(path.c_str(), nullptr, nullptr);
        ASSERT_TRUE(document.isOk()) << file;
        ASSERT_TRUE(document.getXRef()->isEncrypted()) << file;
        EXPECT_EQ(streamStart(document, kMetadataObject, sizeof kMetadataStart - 1), kMetadataStart) << file;
        EXPECT_EQ(streamStart(document, kFirstPageContent, sizeof kContentStart - 1), kContentStart) << file;
    }
}

}  // namespace
