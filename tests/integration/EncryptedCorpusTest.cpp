// The encrypted files of the corpus: each is resized into an output that qpdf accepts and opens
// with the empty password, that renders like its input and keeps its strings, or it ends with
// the message that says why it cannot be opened.

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/TestTools.h"

namespace {

// qpdf exits with 3 when it found warnings only.
constexpr int kQpdfWarnings = 3;
// A -scale50 page drawn at twice the resolution lands every point where the input's lands.
constexpr int kInputResolution = 36;
constexpr int kOutputResolution = 72;
// Mean gray-level difference allowed for anti-aliased edges; a lost or unscaled page differs by
// far more than this on any page with content.
constexpr double kMaxMeanDifference = 0.5;
constexpr int kPaper = 250;

struct EncryptedFile {
    const char* name;
    const char* message;  // null: resized; otherwise the start of the message that ends the job
};

const EncryptedFile kFiles[] = {
    {"qpdf__qpdf_qtest_qpdf_enc-R2_V1.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_enc-R2_V1_O_master.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2_O_master.pdf", nullptr},
    // Its user password is "view".
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2_U_view_O_view.pdf", "\nEncrypted PDF file needs a password"},
    // AES-256, revision 6.
    {"qpdf__qpdf_qtest_qpdf_enc-XI-R6_V5_O_master.pdf", "Unsupported version/revision of Standard security handler"},
    {"qpdf__qpdf_qtest_qpdf_V4.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_V4-clearmeta.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_V4-aes.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_V4-aes-clearmeta.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_metadata-crypt-filter.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_encrypted-with-images.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_leading-junk.pdf", nullptr},
    {"qpdf__qpdf_qtest_qpdf_minimal-signed-restricted.pdf", nullptr},
    // No Length: read as 40 bits, as the standard's default says, the empty password does not
    // match (the file was made with a 128-bit key).
    {"qpdf__qpdf_qtest_qpdf_bad-encryption-length.pdf", "\nEncrypted PDF file needs a password"},
};

struct Gray {
    int width = 0;
    int height = 0;
    std::string pixels;
};

// A binary PGM as mutool writes it: "P5", width, height, maximum, then the pixels.
Gray render(const std::string& pdf, int resolution, const std::string& pgm) {
    const CommandResult draw = runCommand("mutool draw -q -c gray -r " + std::to_string(resolution) + " -o " +
                                          shellQuote(pgm) + " " + shellQuote(pdf) + " 1");
    Gray image;
    if (draw.status != 0) return image;
    const std::string bytes = readFile(pgm);
    std::vector<std::string> fields;
    size_t position = 0;
    while (fields.size() < 4 && position < bytes.size()) {
        const size_t end = bytes.find_first_of(" \n", position);
        if (end == std::string::npos) return image;
        if (end > position) fields.push_back(bytes.substr(position, end - position));
        position = end + 1;
    }
    if (fields.size() < 4 || fields[0] != "P5") return image;
    image.width = std::atoi(fields[1].c_str());
    image.height = std::atoi(fields[2].c_str());
    image.pixels = bytes.substr(position);
    return image;
}

// The Info object number from the trailer qpdf shows, or "" when there is none.
std::string infoNumber(const std::string& pdf) {
    const CommandResult trailer = runCommand("qpdf --show-object=trailer " + shellQuote(pdf));
    std::smatch match;
    if (!std::regex_search(trailer.output, match, std::regex("/Info (\\d+) 0 R"))) return "";
    return match[1];
}

class EncryptedCorpus : public ::testing::TestWithParam<EncryptedFile> {};

TEST_P(EncryptedCorpus, IsResizedIntoAReadableEncryptedFileOrEndsWithItsReason) {
    if (!haveTool("qpdf") || !haveTool("mutool")) GTEST_SKIP() << "qpdf and mutool are needed";
    const std::string input = std::string(QUILLMOR_CORPUS_DIR) + "/" + GetParam().name;
    TempDir dir;
    const std::string output = dir.file("out.pdf");
    const CommandResult run =
        runCommand(shellQuote(QUILLMOR_BINARY) + " " + shellQuote(input) + " " + shellQuote(output) + " -scale50");

    if (GetParam().message) {
        EXPECT_NE(run.output.find(GetParam().message), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Done."), std::string::npos) << run.output;
        EXPECT_EQ(runCommand("test -e " + shellQuote(output)).status, 1) << "no output is written";
        return;
    }
    ASSERT_NE(run.output.find("Done."), std::string::npos) << run.output;

    const CommandResult check = runCommand("qpdf --check " + shellQuote(output));
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(runCommand("qpdf --show-encryption " + shellQuote(output)).output.find("not encrypted"),
              std::string::npos);
    const CommandResult decrypt = runCommand("qpdf --password= --decrypt " + shellQuote(output) + " " +
                                             shellQuote(dir.file("plain.pdf")));
    EXPECT_TRUE(decrypt.status == 0 || decrypt.status == kQpdfWarnings) << decrypt.output;

    const Gray before = render(input, kInputResolution, dir.file("before.pgm"));
    const Gray after = render(output, kOutputResolution, dir.file("after.pgm"));
    ASSERT_FALSE(before.pixels.empty());
    ASSERT_EQ(after.width, before.width);
    ASSERT_EQ(after.height, before.height);
    ASSERT_EQ(after.pixels.size(), before.pixels.size());
    double difference = 0;
    size_t ink = 0;
    for (size_t i = 0; i < before.pixels.size(); ++i) {
        const int a = static_cast<unsigned char>(before.pixels[i]);
        const int b = static_cast<unsigned char>(after.pixels[i]);
        difference += std::abs(a - b);
        if (a < kPaper) ++ink;
    }
    EXPECT_GT(ink, 0u) << "page 1 has content to compare";
    EXPECT_LE(difference / static_cast<double>(before.pixels.size()), kMaxMeanDifference);

    // Strings, such as those of the document information, read the same through qpdf.
    const std::string info = infoNumber(input);
    if (info.empty()) return;
    EXPECT_EQ(infoNumber(output), info);
    const std::string show = "qpdf --show-object=" + info + " ";
    const CommandResult original = runCommand(show + shellQuote(input));
    const CommandResult resized = runCommand(show + shellQuote(output));
    EXPECT_EQ(resized.output, original.output);
}

INSTANTIATE_TEST_SUITE_P(Files, EncryptedCorpus, ::testing::ValuesIn(kFiles),
                         [](const testing::TestParamInfo<EncryptedFile>& info) {
                             std::string name = info.param.name;
                             name = name.substr(name.find("qtest_qpdf_") + 11);
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
