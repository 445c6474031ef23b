#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/PageSelection.h"
#include "tests/cli/CliTestTools.h"

namespace {

constexpr uint32_t tenPages = 10;

std::vector<PageRecord> filledRecords(std::size_t count) {
    std::vector<PageRecord> records(count);
    for (PageRecord& record : records) {
        record.filled = true;
    }
    return records;
}

ResizeSettings selection(const std::string& ranges, bool oddOnly = false, bool evenOnly = false) {
    ResizeSettings settings;
    settings.pageRanges = ranges;
    settings.oddPagesOnly = oddOnly;
    settings.evenPagesOnly = evenOnly;
    return settings;
}

// The page numbers of the selected records, checking that each carries its own number.
std::vector<uint32_t> chosenPages(const std::vector<PageRecord>& records) {
    std::vector<uint32_t> pages;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!records[i].selected) {
            continue;
        }
        EXPECT_EQ(records[i].pageNumber, i + 1) << "record " << i;
        pages.push_back(static_cast<uint32_t>(i + 1));
    }
    return pages;
}

std::vector<uint32_t> choose(const ResizeSettings& settings, uint32_t pageCount = tenPages,
                             std::size_t recordCount = tenPages) {
    std::vector<PageRecord> records = filledRecords(recordCount);
    selectPages(settings, pageCount, records);
    return chosenPages(records);
}

std::string selectionError(const std::string& ranges, uint32_t pageCount = tenPages) {
    std::vector<PageRecord> records = filledRecords(tenPages);
    return thrownMessage([&] { selectPages(selection(ranges), pageCount, records); });
}

using Pages = std::vector<uint32_t>;

TEST(PageSelection, ItemsAndRanges) {
    EXPECT_EQ(choose(selection("-s1,3-4,6")), (Pages{1, 3, 4, 6}));
    EXPECT_EQ(choose(selection("-s10")), (Pages{10}));
    EXPECT_EQ(choose(selection("-s3-3")), (Pages{3}));
    EXPECT_EQ(choose(selection("-s007")), (Pages{7}));
    EXPECT_EQ(choose(selection("-s1-10")), (Pages{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    // Repeats and order do not matter.
    EXPECT_EQ(choose(selection("-s1,1")), (Pages{1}));
    EXPECT_EQ(choose(selection("-s8,1-3,2")), (Pages{1, 2, 3, 8}));
}

TEST(PageSelection, MalformedText) {
    for (const char* ranges : {"-s", "-s,", "-s1,", "-s,1", "-s1,,2", "-s-3", "-s1-3-5", "-s4-", "-s1--2",
                               "-s1a", "-s1 2", "-s+1", "-s1,3-4,6,x"}) {
        EXPECT_EQ(selectionError(ranges), "Invalid parameter") << ranges;
    }
}

TEST(PageSelection, PageNumbersOutOfRange) {
    EXPECT_EQ(selectionError("-s11"), "Page number 11 greater than 10 pages in file");
    EXPECT_EQ(selectionError("-s3-12"), "Wrong page ranges, 12 greater than 10 pages in file");
    EXPECT_EQ(selectionError("-s9-11"), "Wrong page ranges, 11 greater than 10 pages in file");
    EXPECT_EQ(selectionError("-s5-2"), "Wrong page ranges, start page 5 > end page 2");
    EXPECT_EQ(selectionError("-s4-3"), "Wrong page ranges, start page 4 > end page 3");
    for (const char* ranges : {"-s0", "-s0-3", "-s00", "-s3-0", "-s2,0"}) {
        EXPECT_EQ(selectionError(ranges), "Invalid page number 0") << ranges;
    }
}

TEST(PageSelection, ChecksComeInTheirOrder) {
    EXPECT_EQ(selectionError("-s11,1a"), "Invalid parameter");             // characters first
    EXPECT_EQ(selectionError("-s0-3-5"), "Invalid page number 0");         // zero before the range
    EXPECT_EQ(selectionError("-s5-2-1"), "Invalid parameter");             // a second "-" before the order
    EXPECT_EQ(selectionError("-s20-12"), "Wrong page ranges, 12 greater than 10 pages in file");
    // A range start is only checked against the end, not against the page count.
    EXPECT_EQ(selectionError("-s12-3"), "Wrong page ranges, start page 12 > end page 3");
    EXPECT_EQ(selectionError("-s2,11,0"), "Page number 11 greater than 10 pages in file");
}

TEST(PageSelection, LargeNumbersAreNeitherWrappedNorShownNegative) {
    EXPECT_EQ(selectionError("-s4294967297"), "Page number 4294967297 greater than 10 pages in file");
    EXPECT_EQ(selectionError("-s1-4294967296"), "Wrong page ranges, 4294967296 greater than 10 pages in file");
    EXPECT_EQ(selectionError("-s99999999999999999999999"),
              "Page number 18446744073709551615 greater than 10 pages in file");
    constexpr uint32_t hugeCount = 3000000000u;
    EXPECT_EQ(selectionError("-s3000000001", hugeCount),
              "Page number 3000000001 greater than 3000000000 pages in file");
}

TEST(PageSelection, WithoutRangesEveryFilledRecordIsChosen) {
    std::vector<PageRecord> records = filledRecords(5);
    records[2].filled = false;
    selectPages(selection(""), 5, records);
    EXPECT_EQ(chosenPages(records), (Pages{1, 2, 4, 5}));
}

TEST(PageSelection, OddAndEvenNarrowTheSelection) {
    EXPECT_EQ(choose(selection("", true, false)), (Pages{1, 3, 5, 7, 9}));
    EXPECT_EQ(choose(selection("", false, true)), (Pages{2, 4, 6, 8, 10}));
    EXPECT_EQ(choose(selection("", true, true)), (Pages{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(choose(selection("-s2-7", true, false)), (Pages{3, 5, 7}));
    EXPECT_EQ(choose(selection("-s2-7,10", false, true)), (Pages{2, 4, 6, 10}));
    EXPECT_EQ(choose(selection("-s1,3", false, true)), (Pages{}));
    EXPECT_EQ(choose(selection("-s2-4", true, true)), (Pages{2, 3, 4}));
    // The number checks stay whatever the parity.
    std::vector<PageRecord> records = filledRecords(tenPages);
    EXPECT_EQ(thrownMessage([&] { selectPages(selection("-s11", false, true), tenPages, records); }),
              "Page number 11 greater than 10 pages in file");
}

TEST(PageSelection, PagesWithoutRecords) {
    // The document's count promises more pages than its tree has.
    std::vector<PageRecord> records = filledRecords(tenPages);
    EXPECT_EQ(thrownMessage([&] { selectPages(selection("-s11"), 12, records); }),
              "Page 11 is missing from the page tree");
    EXPECT_EQ(thrownMessage([&] { selectPages(selection("-s9-4000000000"), 4000000000u, records); }),
              "Page 11 is missing from the page tree");

    records = filledRecords(tenPages);
    records[4].filled = false;
    EXPECT_EQ(thrownMessage([&] { selectPages(selection("-s4-6"), tenPages, records); }),
              "Page 5 is missing from the page tree");
    // A page the parity leaves out is never looked at.
    records = filledRecords(tenPages);
    records[4].filled = false;
    selectPages(selection("-s4-6", false, true), tenPages, records);
    EXPECT_EQ(chosenPages(records), (Pages{4, 6}));
}

TEST(PageSelection, RecordsThatAreNotChosenAreLeftAsTheyWere) {
    std::vector<PageRecord> records = filledRecords(4);
    records[3].selected = true;
    records[3].pageNumber = 4;
    selectPages(selection("-s1"), 4, records);
    EXPECT_EQ(chosenPages(records), (Pages{1, 4}));
    EXPECT_EQ(records[1].pageNumber, 0u);
}

}  // namespace
