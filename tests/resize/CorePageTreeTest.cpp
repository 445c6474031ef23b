#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/objects/PdfException.h"
#include "resize/PageTreeWalker.h"
#include "tests/resize/CoreFixtures.h"
#include "tests/support/PdfBuilder.h"

namespace {

std::vector<PageRecord> walk(const std::string& pdf, uint32_t* pagesNumber = nullptr) {
    RawInput input(pdf);
    uint32_t number = 0;
    std::vector<PageRecord> records = PageTreeWalker(input.xref()).collect(input.xref().getRootRef(), number);
    if (pagesNumber) *pagesNumber = number;
    return records;
}

std::string walkError(const std::string& pdf) {
    try {
        walk(pdf);
    } catch (const CPdfException& error) {
        return error.getMessage();
    }
    return "<no error>";
}

void expectBox(const PageBox& box, double x1, double y1, double x2, double y2, const char* what) {
    EXPECT_DOUBLE_EQ(box.x1, x1) << what;
    EXPECT_DOUBLE_EQ(box.y1, y1) << what;
    EXPECT_DOUBLE_EQ(box.x2, x2) << what;
    EXPECT_DOUBLE_EQ(box.y2, y2) << what;
}

// Catalog 1 with the page tree `objects` (numbered from 2) and the root's Count.
std::string tree(const std::vector<std::string>& objects) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    for (size_t i = 0; i < objects.size(); ++i) builder.addObject(static_cast<int>(i + 2), objects[i]);
    builder.setTrailer("/Root 1 0 R");
    return builder.build();
}

TEST(CorePageTree, ListsLeavesDepthFirstWithTheirObjectNumbers) {
    uint32_t pagesNumber = 0;
    const std::vector<PageRecord> records = walk(tree({
        "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 4 >>",  // 2
        "<< /Type /Pages /Kids [4 0 R 5 0 R] >>",           // 3
        "<< /Type /Page >>",                                 // 4
        "<< /Type /Page >>",                                 // 5
        "<< /Type /Pages /Kids [7 0 R] >>",                  // 6
        "<< /Type /Page >>",                                 // 7
    }), &pagesNumber);
    EXPECT_EQ(pagesNumber, 2u);
    // Count promises a fourth page that no leaf gives: it gets no record.
    ASSERT_EQ(records.size(), 3u);
    const uint32_t expected[] = {4, 5, 7};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i].objectNumber, expected[i]);
        EXPECT_TRUE(records[i].filled);
        EXPECT_FALSE(records[i].selected) << "selection is not the walk's";
    }
}

TEST(CorePageTree, InheritsEveryBoxFromTheNearestAncestor) {
    const std::vector<PageRecord> records = walk(tree({
        "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 3 /MediaBox [0 0 595 842] /TrimBox [1 2 3 4] >>",  // 2
        "<< /Type /Pages /Kids [4 0 R 5 0 R] /CropBox 8 0 R /MediaBox [0 0 100.5 200] >>",            // 3
        "<< /Type /Page /BleedBox [5 6 7 8] >>",                                                        // 4
        "<< /Type /Page /MediaBox [10 20] /CropBox (not an array) /ArtBox [1 2 3 4 5 6] >>",            // 5
        "<< /Type /Page /ArtBox [0 0 /x 9] >>",                                                         // 6
        "<< /Unused 1 >>",                                                                             // 7
        "[9 9 90 90]",                                                                                 // 8
    }));
    ASSERT_EQ(records.size(), 3u);

    const PageRecord& first = records[0];
    expectBox(first.mediaBox, 0, 0, 100.5, 200, "MediaBox from the parent, over the grandparent's");
    expectBox(first.cropBox, 9, 9, 90, 90, "CropBox given by reference on the parent");
    EXPECT_TRUE(first.hasCropBox);
    expectBox(first.bleedBox, 5, 6, 7, 8, "own BleedBox");
    expectBox(first.trimBox, 1, 2, 3, 4, "TrimBox from the grandparent");
    expectBox(first.artBox, 0, 0, 612, 792, "no ArtBox anywhere: US Letter");

    const PageRecord& second = records[1];
    expectBox(second.mediaBox, 10, 20, 0, 0, "two numbers, the rest 0");
    expectBox(second.cropBox, 9, 9, 90, 90, "a CropBox that is no array counts as absent");
    EXPECT_TRUE(second.hasCropBox);
    expectBox(second.artBox, 1, 2, 3, 4, "elements after the fourth are ignored");

    const PageRecord& third = records[2];
    expectBox(third.mediaBox, 0, 0, 595, 842, "from the root");
    expectBox(third.cropBox, 0, 0, 612, 792, "no CropBox on the page or its ancestors");
    EXPECT_FALSE(third.hasCropBox);
    expectBox(third.artBox, 0, 0, 0, 9, "an element that is no number stays 0");
}

TEST(CorePageTree, NeverFillsMoreRecordsThanCount) {
    const std::vector<PageRecord> records = walk(tree({
        "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 2 >>",
        "<< /Type /Page >>",
        "<< /Type /Page >>",
        "<< /Type /Page >>",
    }));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].objectNumber, 3u);
    EXPECT_EQ(records[1].objectNumber, 4u);
}

TEST(CorePageTree, LeavesDirectPageDictionariesUnfilled) {
    const std::vector<PageRecord> records = walk(tree({
        "<< /Type /Pages /Kids [<< /Type /Page /MediaBox [0 0 1 1] >> 3 0 R] /Count 2 >>",
        "<< /Type /Page >>",
    }));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_FALSE(records[0].filled) << "no object number to rewrite";
    EXPECT_TRUE(records[1].filled);
    EXPECT_EQ(records[1].objectNumber, 3u) << "the direct page still counts as page 1";
}

TEST(CorePageTree, StopsOnDamagedTrees) {
    const std::string loop = walkError(tree({
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Pages /Kids [2 0 R] >>",
    }));
    EXPECT_NE(loop.find("Page tree is damaged"), std::string::npos) << loop;
    EXPECT_NE(loop.find("object 2"), std::string::npos) << loop;

    // A chain of single-kid nodes, each the parent of the next, deeper than any real tree.
    std::vector<std::string> chain;
    const int depth = static_cast<int>(PageTreeWalker::kMaxDepth) + 5;
    for (int i = 0; i < depth; ++i) {
        const std::string count = i == 0 ? " /Count 1" : "";
        chain.push_back("<< /Type /Pages /Kids [" + std::to_string(i + 3) + " 0 R]" + count + " >>");
    }
    chain.push_back("<< /Type /Page >>");
    const std::string deep = walkError(tree(chain));
    EXPECT_NE(deep.find("nested more than"), std::string::npos) << deep;

    // Far more pages than the file has objects: refused before any record is made.
    const std::string absurd = walkError(tree({
        "<< /Type /Pages /Kids [3 0 R] /Count 2000000000 >>",
        "<< /Type /Page >>",
    }));
    EXPECT_NE(absurd.find("2000000000"), std::string::npos) << absurd;
}

TEST(CorePageTree, ReadsTheCountAsTheNumberOfRecords) {
    const std::string page = "<< /Type /Page >>";
    EXPECT_EQ(walk(tree({"<< /Type /Pages /Kids [3 0 R] /Count 1.0 >>", page})).size(), 1u);
    EXPECT_EQ(walk(tree({"<< /Type /Pages /Kids [3 0 R 3 0 R] /Count 3 >>", page})).size(), 2u)
        << "a page listed twice is two pages";
    EXPECT_EQ(walk(tree({"<< /Type /Pages /Kids [3 0 R] /Count -4 >>", page})).size(), 0u);
    EXPECT_EQ(walk(tree({"<< /Type /Pages /Kids [3 0 R] /Count 4 0 R >>", page, "1"})).size(), 1u)
        << "an indirect Count is resolved";
}

}  // namespace
