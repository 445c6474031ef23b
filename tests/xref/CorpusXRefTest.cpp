// Real files from other programs: the entries we read agree with those qpdf reads.

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "pdf/objects/PdfException.h"
#include "tests/support/TestTools.h"
#include "tests/xref/OpenedPdf.h"

namespace {

struct QpdfEntry {
    bool compressed = false;
    uint32_t offsetOrStream = 0;
    uint32_t generationOrIndex = 0;
};

// qpdf's own listing: "n/g: uncompressed; offset = o" and "n/g: compressed; stream = s, index = i".
std::map<int, QpdfEntry> qpdfEntries(const std::string& listing) {
    static const std::regex uncompressed(R"(^(\d+)/(\d+): uncompressed; offset = (\d+)$)");
    static const std::regex compressed(R"(^(\d+)/(\d+): compressed; stream = (\d+), index = (\d+)$)");
    std::map<int, QpdfEntry> entries;
    std::istringstream lines(listing);
    std::string line;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, match, uncompressed)) {
            entries[std::stoi(match[1])] = {false, static_cast<uint32_t>(std::stoul(match[3])),
                                            static_cast<uint32_t>(std::stoul(match[2]))};
        } else if (std::regex_match(line, match, compressed)) {
            entries[std::stoi(match[1])] = {true, static_cast<uint32_t>(std::stoul(match[3])),
                                            static_cast<uint32_t>(std::stoul(match[4]))};
        }
    }
    return entries;
}

// Files whose Root we cannot fetch although qpdf can, with the reason.
const std::map<std::string, std::string> kRootNotFetched = {
    {"qpdf__qpdf_qtest_qpdf_object-stream-self-ref.pdf",
     "the cross-reference stream puts the Root (object 2) at index 0 of object stream 1, whose header "
     "lists object 1 itself at index 0; a compressed object is taken by its index and must carry the "
     "number asked for, while qpdf looks the number up in the header"},
};

void openAndFetchRoot(const std::string& path) {
    auto pdf = OpenedPdf::fromPath(path);
    try {
        CPdfXRef& xref = pdf->open();
        fetchObject(xref, xref.getRootRef().number, xref.getRootRef().generation);
    } catch (const CPdfException& error) {
        EXPECT_STRNE(error.getMessage(), "");
    }
}

}  // namespace

TEST(CorpusXRef, EntriesAgreeWithQpdfAndRootIsADictionary) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    int compared = 0;
    for (const std::string& path : corpusFiles()) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        SCOPED_TRACE(name);
        const CommandResult check = runCommand("qpdf --check " + shellQuote(path) + " 2>&1");
        if (check.status != 0 || check.output.find("WARNING") != std::string::npos) {
            // Files qpdf has doubts about are only read: a message is fine, a crash is not.
            EXPECT_NO_FATAL_FAILURE(openAndFetchRoot(path));
            continue;
        }
        const CommandResult listing = runCommand("qpdf --show-xref " + shellQuote(path) + " 2>&1");
        ASSERT_EQ(listing.status, 0);
        const std::map<int, QpdfEntry> expected = qpdfEntries(listing.output);
        ASSERT_FALSE(expected.empty());

        auto pdf = OpenedPdf::fromPath(path);
        try {
            pdf->open();
        } catch (const CPdfException& error) {
            ADD_FAILURE() << "open failed: " << error.getMessage();
            continue;
        }
        const std::vector<XRefEntry>& entries = pdf->xref().getEntries();
        for (const auto& [number, want] : expected) {
            SCOPED_TRACE("object " + std::to_string(number));
            ASSERT_LT(static_cast<size_t>(number), entries.size());
            const XRefEntry& got = entries[static_cast<size_t>(number)];
            if (want.compressed) {
                EXPECT_EQ(got.type, 2u);
                EXPECT_EQ(got.offset, want.offsetOrStream);
            } else {
                // qpdf lists offsets as the file states them, from the header, as we keep them
                // (a file with leading junk shows it).
                EXPECT_EQ(got.type, 1u);
                EXPECT_EQ(got.offset, want.offsetOrStream);
            }
            EXPECT_EQ(got.generation, want.generationOrIndex);
        }
        const ObjectRef root = pdf->xref().getRootRef();
        try {
            const CPdfElement catalog = fetchObject(pdf->xref(), root.number, root.generation);
            EXPECT_EQ(catalog.is(kindDictionary), kRootNotFetched.count(name) == 0) << describe(catalog);
        } catch (const CPdfException& error) {
            ADD_FAILURE() << "fetch of the Root failed: " << error.getMessage();
        }
        ++compared;
    }
    EXPECT_GT(compared, 0);
}
