// Real files from other programs: the entries we read agree with those qpdf reads.

#include <gtest/gtest.h>

#include <sstream>

#include "tests/xref/XRefFixtures.h"

namespace {

// qpdf's listing: "n/g: uncompressed; offset = o" or "n/g: compressed; stream = s, index = i".
std::map<int, XRefEntry> qpdfEntries(const std::string& listing) {
    std::map<int, XRefEntry> entries;
    std::istringstream lines(listing);
    for (std::string text; std::getline(lines, text);) {
        unsigned n = 0, g = 0, at = 0, index = 0;
        if (std::sscanf(text.c_str(), "%u/%u: uncompressed; offset = %u", &n, &g, &at) == 3) entries[n] = {at, g, 1};
        if (std::sscanf(text.c_str(), "%u/%u: compressed; stream = %u, index = %u", &n, &g, &at, &index) == 4) {
            entries[n] = {at, index, 2};
        }
    }
    return entries;
}

// Its object stream's header lists object 1 at the Root's index; we take compressed objects by index and
// check the number, while qpdf looks the number up.
const std::string kRootNotFetched = "qpdf__qpdf_qtest_qpdf_object-stream-self-ref.pdf";

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
        const std::map<int, XRefEntry> expected = qpdfEntries(runCommand("qpdf --show-xref " + shellQuote(path)).output);
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(messageOf([&] { pdf.open(); }), "ok");
        const std::vector<XRefEntry>& entries = pdf.xref().getEntries();
        for (const auto& [number, want] : expected) {
            // qpdf lists offsets from the header, as we keep them (a file with leading junk shows it).
            ASSERT_LT(static_cast<size_t>(number), entries.size());
            EXPECT_EQ(entries[number].type, want.type) << number;
            EXPECT_EQ(entries[number].offset, want.offset) << number;
            EXPECT_EQ(entries[number].generation, want.generation) << number;
        }
        const ObjectRef root = pdf.xref().getRootRef();
        CPdfElement catalog;
        EXPECT_EQ(messageOf([&] { catalog = fetchObject(pdf.xref(), root.number, root.generation); }), "ok");
        EXPECT_EQ(catalog.is(kindDictionary), name != kRootNotFetched) << describe(catalog);
        ++compared;
    }
    EXPECT_GT(compared, 0);
}
