#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

#include "pdf/document/PdfCatalog.h"
#include "pdf/document/PdfOutline.h"
#include "pdf/xref/PdfXRef.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

// What qpdf reads from a file, as the helper script prints it.
struct QpdfFacts {
    size_t pageCount = 0;
    std::vector<int> rotations;
    size_t outlineCount = 0;
    std::map<size_t, std::string> titles;  // UTF-16BE bytes
};

std::string fromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

QpdfFacts readFacts(const std::string& text) {
    QpdfFacts facts;
    std::istringstream lines(text);
    std::string word;
    while (lines >> word) {
        size_t index = 0;
        if (word == "pages") {
            lines >> facts.pageCount;
        } else if (word == "rotate") {
            int rotate = 0;
            lines >> index >> rotate;
            facts.rotations.push_back(rotate);
        } else if (word == "outline") {
            lines >> facts.outlineCount;
        } else if (word == "title") {
            lines >> index;
            // An empty title leaves the rest of the line empty.
            std::string hex;
            std::getline(lines, hex);
            facts.titles[index] = fromHex(hex.empty() ? hex : hex.substr(1));
        }
    }
    return facts;
}

std::vector<uint32_t> utf16Units(const std::string& bytes) {
    std::vector<uint32_t> units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 8 | static_cast<uint8_t>(bytes[i + 1]));
    }
    return units;
}

// A literal string's value ends at its first zero byte in this reader's object model, so a
// UTF-16 title written as a literal is seen only up to there; a hex string is seen whole.
bool titleAgrees(const std::vector<uint32_t>& ours, const std::string& utf16) {
    if (ours == utf16Units(utf16)) return true;
    const size_t zero = utf16.find('\0');
    return zero != std::string::npos && ours == utf16Units(utf16.substr(0, zero));
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(info.param.find_last_of('/') + 1);
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

// Files where this reader is meant to differ from qpdf, which repairs what this reader takes as written.
struct KnownDifference {
    const char* file;
    const char* reason;
};
const KnownDifference kKnownDifferences[] = {
    {"qpdf__qpdf_qtest_qpdf_object-stream-self-ref.pdf",
     "the cross-reference stream's object-stream indexes do not match the object stream's header; the index "
     "is trusted, so the catalog is not found"},
};

const char* knownDifference(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    for (const KnownDifference& difference : kKnownDifferences) {
        if (name == difference.file) return difference.reason;
    }
    return nullptr;
}

class CorpusAgreesWithQpdf : public testing::TestWithParam<std::string> {};

TEST_P(CorpusAgreesWithQpdf, PagesRotationsAndOutline) {
    if (!haveTool("qpdf") || !haveTool("python3")) GTEST_SKIP() << "qpdf or python3 missing";
    const std::string& path = GetParam();
    // Only files qpdf reads cleanly and without a password are a fair comparison.
    if (runCommand("qpdf --check " + shellQuote(path)).status != 0) GTEST_SKIP() << "qpdf does not read it cleanly";
    const CommandResult script =
        runCommand("python3 " + shellQuote(QUILLMOR_SOURCE_DIR "/tests/document/qpdf_facts.py") + " " +
                   shellQuote(path));
    ASSERT_EQ(script.status, 0) << script.output;
    const QpdfFacts facts = readFacts(script.output);

    if (const char* reason = knownDifference(path)) GTEST_SKIP() << reason;

    // Decryption here covers less than qpdf's (no AES-256, no encrypted object streams), so an
    // encrypted file that this reader cannot open is not a disagreement about its structure.
    const bool encrypted = runCommand("qpdf --is-encrypted " + shellQuote(path)).status == 0;
    CPdfDocument document;
    try {
        document.open(path.c_str(), nullptr, nullptr);
    } catch (const CPdfException& error) {
        if (encrypted) GTEST_SKIP() << "encrypted, not opened: " << error.getMessage();
        FAIL() << "open failed: " << error.getMessage();
    }
    if (encrypted && !document.isOk()) GTEST_SKIP() << "encrypted, not authorised";
    ASSERT_TRUE(document.isOk());

    const std::vector<CPdfPage>& pages = document.getCatalog()->getPages();
    ASSERT_EQ(pages.size(), facts.pageCount);
    ASSERT_EQ(facts.rotations.size(), facts.pageCount);
    for (size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(pages[i].getRotate(), facts.rotations[i]) << "page " << i;

    const std::vector<OutlineItem>& items = document.getOutline()->getItems();
    ASSERT_EQ(items.size(), facts.outlineCount);
    // Strings inside dictionaries are not decrypted, so an encrypted file's titles are not comparable.
    if (document.getXRef()->isEncrypted()) return;
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_TRUE(titleAgrees(items[i].getTitle(), facts.titles.at(i)))
            << "outline item " << i << ": " << items[i].getTitleText();
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusAgreesWithQpdf, testing::ValuesIn(corpusFiles()), testName);

}  // namespace
