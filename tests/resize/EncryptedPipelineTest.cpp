// Whole jobs on encrypted inputs: the output keeps the input's encryption, so that what is copied
// stays readable and what is written anew is encrypted like the rest.

#include <gtest/gtest.h>

#include <string>

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "resize/StringRewriter.h"
#include "tests/resize/CoreFixtures.h"
#include "tests/resize/EncryptedFixtures.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

constexpr int kObjectStream = 20;
constexpr char kContent[] = "0 0 m 100 50 l S";
constexpr char kTitle[] = "Encrypted (title)";

std::string literal(const std::string& bytes) { return hexStringText(bytes); }

std::string idEntry(const EncryptionCase& encryption) {
    return std::string(" /ID [<") + encryption.id + "><" + encryption.id + ">]";
}

// Encrypts, in place, the data of a stream object the builder wrote without compression: RC4
// keeps the length, so every offset of the file stays right.
void encryptStreamInPlace(std::string& pdf, const PdfBuilder& builder, int number, const ObjectEncryptor& rc4) {
    const size_t object = builder.offsetOf(number);
    const size_t lengthKey = pdf.find("/Length ", object);
    const size_t length = std::stoul(pdf.substr(lengthKey + 8));
    const size_t data = pdf.find("stream\n", object) + 7;
    pdf.replace(data, length, rc4.encrypt(pdf.substr(data, length), static_cast<uint32_t>(number), 0));
}

// Catalog 1, page tree 2, page 3 with content 4 and annotation 8, Info 5, encryption dictionary 6.
// With object streams, 3, 5 and 8 lie in object stream 20 (RC4 only: see encryptStreamInPlace).
std::string encryptedInput(const EncryptionCase& encryption, const FileKey& key, bool objectStreams) {
    const ObjectEncryptor encryptor = key.encryptor();
    // Strings inside an object stream are plain: the stream is encrypted as a whole.
    auto string = [&](const std::string& plain, int number) {
        return objectStreams ? literal(plain) : literal(encryptor.encrypt(plain, static_cast<uint32_t>(number), 0));
    };
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R /Annots [8 0 R] >>");
    builder.addStream(4, "", encryptor.encrypt(kContent, 4, 0));
    builder.addObject(5, "<< /Title " + string(kTitle, 5) + " /Author " + string("ABC", 5) + " >>");
    builder.addObject(6, encryption.dictionary);
    builder.addObject(8, "<< /Type /Annot /Subtype /Text /Rect [10 10 20 20] /Contents " + string("note", 8) + " >>");
    builder.setTrailer("/Root 1 0 R /Info 5 0 R /Encrypt 6 0 R" + idEntry(encryption));
    PdfBuilder::Options options;
    if (!objectStreams) return builder.build(options);
    builder.putInObjectStream(kObjectStream, {3, 5, 8}, false);
    options.xrefStream = true;
    std::string pdf = builder.build(options);
    encryptStreamInPlace(pdf, builder, kObjectStream, encryptor);
    return pdf;
}

// The strings of an output object, decrypted under that object's key.
std::vector<std::string> decryptedStrings(const std::string& object, uint32_t number, const FileKey& key) {
    std::vector<std::string> plain;
    rewriteStrings(object, [&](const std::string& bytes) {
        plain.push_back(key.decrypt(bytes, number));
        return std::string();
    });
    return plain;
}

// The data of a stream object the program wrote, as stored.
std::string storedStreamData(const std::string& object) {
    const size_t data = object.find("stream\n") + 7;
    return object.substr(data, object.rfind("endstream") - data);
}

struct EncryptedJob {
    const EncryptionCase* encryption;
    bool objectStreams;
    const char* name;
};

class EncryptedPipeline : public ::testing::TestWithParam<EncryptedJob> {
protected:
    TempDir dir;
    const std::string input = dir.file("in.pdf");
    const std::string output = dir.file("out.pdf");
};

TEST_P(EncryptedPipeline, OutputKeepsTheInputsEncryption) {
    const EncryptionCase& encryption = *GetParam().encryption;
    const FileKey key(encryption);
    writeFile(input, encryptedInput(encryption, key, GetParam().objectStreams));
    const JobRun run = runJob(input, output, {"-scale50"});
    ASSERT_TRUE(run.ok) << run.error;
    const OutputLayout layout = readLayout(run.output);
    ASSERT_TRUE(layout.valid);

    // The trailer names the input's encryption dictionary and ID after the plain keys.
    const std::string keys = "/Root 1 0 R\n/Info 5 0 R\n/Encrypt 6 0 R\n/ID [<" + std::string(encryption.id) + "><" +
                             encryption.id + ">]\n>>\n";
    EXPECT_NE(layout.trailer.find(keys), std::string::npos) << layout.trailer;

    // The two new streams, the last two rows, hold their content encrypted under their own keys.
    const uint32_t restore = static_cast<uint32_t>(layout.rows.size() - 1);
    const uint32_t scale = restore - 1;
    const std::string scaleObject = layout.object(run.output, scale);
    const std::string scaleData = storedStreamData(scaleObject);
    EXPECT_EQ(key.decrypt(scaleData, scale), "q\n0.50 0 0 0.50 0 0 cm\n");
    EXPECT_NE(scaleObject.find("/Length " + std::to_string(scaleData.size()) + " >>"), std::string::npos);
    EXPECT_EQ(key.decrypt(storedStreamData(layout.object(run.output, restore)), restore), "Q\n");

    // Strings of objects read from object streams, and of copied ones, decrypt under their objects' keys.
    EXPECT_EQ(decryptedStrings(layout.object(run.output, 5), 5, key), (std::vector<std::string>{kTitle, "ABC"}));
    const std::string annotation = layout.object(run.output, 8);
    EXPECT_NE(annotation.find("/Rect [ 5.00  5.00  10.00  10.00 ]"), std::string::npos) << annotation;
    EXPECT_EQ(decryptedStrings(annotation, 8, key), std::vector<std::string>{"note"});
    EXPECT_EQ(layout.object(run.output, 6).find(encryption.dictionary), 8u) << "copied as it stands";

    // Our own reader opens the output with the empty password and reads the page's content.
    CPdfDocument document;
    document.open(output.c_str(), nullptr, nullptr);
    ASSERT_TRUE(document.isOk());
    CPdfElement page;
    document.getXRef()->fetch(3, 0, page);
    ASSERT_TRUE(page.is(kindDictionary));
    CPdfElement contents;
    page.getDictionary()->lookup("Contents", contents);
    ASSERT_TRUE(contents.is(kindArray));
    ASSERT_EQ(contents.getArray()->getLength(), 3);
    std::string content;
    for (int32_t i = 0; i < 3; ++i) {
        CPdfElement stream;
        contents.getArray()->get(i, stream);
        ASSERT_TRUE(stream.is(kindStream)) << i;
        for (int c; (c = stream.getStream()->getChar()) != CPdfStream::kEnd;) content += static_cast<char>(c);
    }
    EXPECT_EQ(content, std::string("q\n0.50 0 0 0.50 0 0 cm\n") + kContent + "Q\n");
    document.close();

    if (!haveTool("qpdf")) return;
    const CommandResult check = runCommand("qpdf --check " + shellQuote(output));
    EXPECT_EQ(check.status, 0) << check.output;
    const CommandResult info = runCommand("qpdf --show-object=5 " + shellQuote(output));
    EXPECT_NE(info.output.find("/Title (Encrypted \\(title\\))"), std::string::npos) << info.output;
}

INSTANTIATE_TEST_SUITE_P(Inputs, EncryptedPipeline,
                         ::testing::Values(EncryptedJob{&kRc4Case, false, "Rc4"},
                                           EncryptedJob{&kRc4Case, true, "Rc4ObjectStreams"},
                                           EncryptedJob{&kAesCase, false, "Aes"}),
                         [](const testing::TestParamInfo<EncryptedJob>& info) { return info.param.name; });

TEST(EncryptedPipelineRefusal, InputsThatNeedAPasswordOrAnotherHandlerEndWithoutOutput) {
    // enc-R3_V2_U_view_O_view: opens only with the password "view".
    const EncryptionCase needsPassword = {
        "View", kCipherRc4,
        "<< /Filter /Standard /V 2 /R 3 /Length 128 /P -3104 "
        "/O <0b519e6d22cff2512874511174dd17f0fd531ede8de0c811aa83ad6ba09358e9> "
        "/U <2283eba99a7ec1b60a3a6fefc409941991f1dd59d88e5b6e5e0a7954217a8f78> >>",
        kRc4Case.id};
    const EncryptionCase revision6 = {
        "Revision6", kCipherAes, "<< /Filter /Standard /V 5 /R 6 /Length 256 /P -4 /O <00> /U <00> >>", kRc4Case.id};
    const EncryptionCase otherHandler = {"Other", kCipherRc4, "<< /Filter /Custom /V 2 /R 3 /P -4 /O <00> /U <00> >>",
                                         kRc4Case.id};
    struct Case {
        const EncryptionCase* encryption;
        const char* message;
    };
    for (const Case& c : {Case{&needsPassword, "\nEncrypted PDF file needs a password to be opened: it cannot be resized\n"},
                          Case{&revision6, "Unsupported version/revision of Standard security handler"},
                          Case{&otherHandler,
                               "\nEncrypted PDF file uses a security handler other than Standard: not supported\n"}}) {
        TempDir dir;
        PdfBuilder builder;
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>");
        builder.addObject(6, c.encryption->dictionary);
        builder.setTrailer("/Root 1 0 R /Encrypt 6 0 R" + idEntry(*c.encryption));
        writeFile(dir.file("in.pdf"), builder.build());
        const JobRun run = runJob(dir.file("in.pdf"), dir.file("out.pdf"));
        EXPECT_FALSE(run.ok) << c.encryption->name;
        EXPECT_EQ(run.error, c.message) << c.encryption->name;
        EXPECT_FALSE(run.outputExists) << c.encryption->name;
    }
}

}  // namespace
