// Encrypted inputs with and without their password: each resizes into an output that qpdf accepts, that keeps
// the input's encryption and looks like the plain document's output.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/integration/Jobs.h"
#include "tests/support/GeneratedPdfs.h"

namespace {

constexpr char kOptions[] = "-page a4 -con -center";
constexpr int kResolution = 30;

// The whole output of `input` drawn by mutool. qpdf finds no more fault in the output than in the input;
// `encryption` receives what it says of the output's encryption.
std::vector<Image> resizedPixels(const std::string& input, const std::string& password = "",
                                 std::string* encryption = nullptr) {
    TempDir dir;
    const Job job = succeeded(input, dir, "out", kOptions + (password.empty() ? "" : " -password " + password));
    EXPECT_TRUE(password.empty() || job.run.output.find(password) == std::string::npos) << job.run.output;
    const std::string qpdf = "qpdf --password=" + shellQuote(password);
    EXPECT_EQ(runCommand(qpdf + " --check " + shellQuote(job.output)).status,
              runCommand(qpdf + " --check " + shellQuote(input)).status);
    if (encryption) *encryption = runCommand(qpdf + " --show-encryption " + shellQuote(job.output)).output;
    return drawPages(job.output, kResolution, "", password);
}

TEST(Encryption, ResizesWithThePasswordKeepsTheCipherAndRefusesWithoutIt) {
    if (!haveTool("qpdf") || !haveTool("mutool")) GTEST_SKIP() << "qpdf and mutool are needed";
    const std::string plain = generatedPdf("classic");
    const std::vector<Image> expected = resizedPixels(plain);
    ASSERT_FALSE(expected.empty());
    const struct { const char* encrypt; const char* password; const char* revision; const char* method; } rows[] = {
        {"'' owner-Pw 256", "", "R = 6", "AESv3"}, {"'' owner-Pw 256 --force-R5", "", "R = 5", "AESv3"},
        {"user-Pw owner-Pw 256", "user-Pw", "R = 6", "AESv3"},
        {"user-Pw owner-Pw 256 --force-R5", "owner-Pw", "R = 5", "AESv3"},
        {"user-Pw owner-Pw 128 --use-aes=y", "owner-Pw", "R = 4", "AESv2"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.encrypt);
        TempDir dir;
        const std::string input = dir.file("in.pdf");
        ASSERT_EQ(runCommand("qpdf --object-streams=generate --encrypt " + std::string(row.encrypt) + " -- " +
                             shellQuote(plain) + " " + shellQuote(input)).status, 0);
        std::string shown;
        EXPECT_TRUE(resizedPixels(input, row.password, &shown) == expected);
        EXPECT_NE(shown.find(std::string(row.revision) + "\n"), std::string::npos) << shown;
        EXPECT_NE(shown.find(std::string("stream encryption method: ") + row.method), std::string::npos) << shown;
        if (*row.password == '\0') continue;
        for (const std::string& given : {std::string(), " -password wrong" + std::string(row.password)}) {
            TempDir refusedDir;  // the job's own checks: status 1 with a message and no output
            const Job refused = runJob(input, refusedDir.path(), kOptions + given);
            EXPECT_EQ(refused.problem + std::to_string(refused.run.status), "1") << given;
            EXPECT_NE(refused.run.output.find("Encrypted PDF file needs a password to be opened"), std::string::npos);
            EXPECT_EQ(refused.run.output.find(row.password), std::string::npos) << refused.run.output;
        }
    }
}

// An RC4 dictionary without its Length: the 40 bits the standard gives fail, the 128 bits meant open it.
TEST(Encryption, AMissingKeyLengthFallsBackTo128Bits) {
    if (!haveTool("qpdf") || !haveTool("mutool")) GTEST_SKIP() << "qpdf and mutool are needed";
    const std::string plain = generatedPdf("classic");
    TempDir dir;
    ASSERT_EQ(runCommand("qpdf --allow-weak-crypto --encrypt '' owner 128 --use-aes=n -- " + shellQuote(plain) + " " +
                         shellQuote(dir.file("rc4.pdf"))).status, 0);
    std::string bytes = readFile(dir.file("rc4.pdf"));
    const size_t handler = bytes.find("/Filter /Standard");
    const size_t open = bytes.rfind("<<", handler), close = bytes.find(">>", handler);
    const size_t length = bytes.find("/Length 128", open);
    ASSERT_LT(length, close) << "the encryption dictionary gives its Length";
    bytes.replace(length, 7, "/Lengtx");  // same size: every offset stays right
    writeFile(dir.file("in.pdf"), bytes);
    // mutool keeps to the 40 bits and opens neither the input nor the output: qpdf decrypts them.
    const Job job = succeeded(dir.file("in.pdf"), dir, "out", kOptions);
    const CommandResult decrypted =
        runCommand("qpdf --decrypt " + shellQuote(job.output) + " " + shellQuote(dir.file("plain.pdf")));
    EXPECT_TRUE(decrypted.status == 0 || decrypted.status == kQpdfWarnings) << decrypted.output;
    const std::vector<Image> pages = drawPages(dir.file("plain.pdf"), kResolution);
    EXPECT_TRUE(!pages.empty() && pages == resizedPixels(plain)) << "decrypted, it shows the plain document's output";
}

}  // namespace
