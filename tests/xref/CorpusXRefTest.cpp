// Real files from other programs: the entries we read agree with those qpdf reads.

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "tests/xref/XRefFixtures.h"

namespace {

// qpdf's listing as number -> entry: "n/g: uncompressed; offset = o" or "n/g: compressed; stream = s, index = i".
std::map<int, XRefEntry> qpdfEntries(const std::string& listing) {
    static const std::regex line(R"(^(\d+)/(\d+): (un)?compressed; (?:offset|stream) = (\d+)(?:, index = (\d+))?$)");
    std::map<int, XRefEntry> entries;
    std::istringstream lines(listing);
    std::smatch m;
    for (std::string text; std::getline(lines, text);) {
        if (!std::regex_match(text, m, line)) continue;
        const bool compressed = !m[3].matched;
        entries[std::stoi(m[1])] = {static_cast<uint32_t>(std::stoul(m[4])),
                                    static_cast<uint32_t>(std::stoul(compressed ? m[5].str() : m[2].str())),
                                    compressed ? 2u : 1u};
    }
    return entries;
}

// Files whose Root we cannot fetch although qpdf can, with the reason.
const std::map<std::string, std::string> kRootNotFetched = {
    {"qpdf__qpdf_qtest_qpdf_object-stream-self-ref.pdf",
     "the Root is at index 0 of object stream 1, whose header lists object 1 itself there; a compressed "
     "object is taken by its index and must carry the number asked for, while qpdf looks the number up"},
};

}  // namespace

TEST(CorpusXRef, EntriesAgreeWithQpdfAndRootIsADictionary) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    int compared = 0;
    for (const std::string& path : corpusFiles()) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        SCOPED_TRACE(name);
        OpenedPdf pdf(path, true);
        const CommandResult check = runCommand("qpdf --check " + shellQuote(path) + " 2>&1");
        if (check.status != 0 || check.output.find("WARNING") != std::string::npos) {
            // Files qpdf has doubts about are only read: a message is fine, a crash is not.
            messageOf([&] { fetchObject(pdf.open(), pdf.xref().getRootRef().number, pdf.xref().getRootRef().generation); });
            continue;
        }
        const CommandResult listing = runCommand("qpdf --show-xref " + shellQuote(path) + " 2>&1");
        const std::map<int, XRefEntry> expected = qpdfEntries(listing.output);
        ASSERT_FALSE(expected.empty()) << listing.output;
        ASSERT_EQ(messageOf([&] { pdf.open(); }), "ok");
        const std::vector<XRefEntry>& entries = pdf.xref().getEntries();
        for (const auto& [number, want] : expected) {
            SCOPED_TRACE("object " + std::to_string(number));
            ASSERT_LT(static_cast<size_t>(number), entries.size());
            // qpdf lists offsets from the header, as we keep them (a file with leading junk shows it).
            EXPECT_EQ(entries[number].type, want.type);
            EXPECT_EQ(entries[number].offset, want.offset);
            EXPECT_EQ(entries[number].generation, want.generation);
        }
        const ObjectRef root = pdf.xref().getRootRef();
        CPdfElement catalog;
        EXPECT_EQ(messageOf([&] { catalog = fetchObject(pdf.xref(), root.number, root.generation); }), "ok");
        EXPECT_EQ(catalog.is(kindDictionary), kRootNotFetched.count(name) == 0) << describe(catalog);
        ++compared;
    }
    EXPECT_GT(compared, 0);
}
