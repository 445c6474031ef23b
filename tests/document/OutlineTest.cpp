#include <gtest/gtest.h>

#include <vector>

#include "pdf/document/PdfCatalog.h"
#include "pdf/document/PdfOutline.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

constexpr int kFirstItem = 20;

// A one-page document whose outline root (object 5) chains the given item bodies as objects
// 20, 21, ... through Next; `last` overrides the root's Last, `extra` adds objects.
class OutlineDocument {
public:
    explicit OutlineDocument(const std::vector<std::string>& items, int last = 0,
                             const std::vector<std::pair<int, std::string>>& extra = {}) {
        PdfBuilder builder = builderWithCatalog("/Outlines 5 0 R");
        builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R >>");
        const int lastItem = last ? last : kFirstItem + static_cast<int>(items.size()) - 1;
        builder.addObject(5, "<< /Type /Outlines /First " + std::to_string(kFirstItem) + " 0 R /Last " +
                                 std::to_string(lastItem) + " 0 R >>");
        for (size_t i = 0; i < items.size(); ++i) {
            const int number = kFirstItem + static_cast<int>(i);
            const std::string next = i + 1 < items.size() ? " /Next " + std::to_string(number + 1) + " 0 R" : "";
            builder.addObject(number, "<< /Parent 5 0 R " + items[i] + next + " >>");
        }
        for (const auto& object : extra) builder.addObject(object.first, object.second);
        document_ = std::make_unique<OpenedDocument>(builder.build());
    }

    const std::vector<OutlineItem>& items() { return (*document_)->getOutline()->getItems(); }
    const OutlineItem& item(size_t i) { return items().at(i); }

private:
    std::unique_ptr<OpenedDocument> document_;
};

TEST(Outline, TitlesAreDecodedFromUtf16OrPdfDocEncoding) {
    OutlineDocument document({
        "/Title (AB)",
        "/Title <FEFF00410042>",
        "/Title <FEFF4E2DD83DDE00>",
        "/Title (\\200\\240\\030\\037\\351\\377)",
        "/Title (\\t\\177\\237\\255x)",
        "/Title 40 0 R",
        "/Title /NotAString",
        "",
    },
                             0, {{40, "(Indirect)"}});
    using Points = std::vector<uint32_t>;
    EXPECT_EQ(document.item(0).getTitle(), (Points{65, 66}));
    EXPECT_EQ(document.item(0).getTitleText(), "AB");
    EXPECT_EQ(document.item(1).getTitle(), (Points{65, 66}));
    EXPECT_EQ(document.item(1).getTitleText(), std::string("\xFE\xFF\0A\0B", 6));
    // Surrogates stay two code units.
    EXPECT_EQ(document.item(2).getTitle(), (Points{0x4E2D, 0xD83D, 0xDE00}));
    EXPECT_EQ(document.item(3).getTitle(), (Points{0x2022, 0x20AC, 0x02D8, 0x02DC, 0xE9, 0xFF}));
    // Control codes below 24 and the undefined codes give 0.
    EXPECT_EQ(document.item(4).getTitle(), (Points{0, 0, 0, 0, 'x'}));
    EXPECT_EQ(document.item(5).getTitleText(), "Indirect");
    EXPECT_TRUE(document.item(6).getTitle().empty());
    EXPECT_TRUE(document.item(7).getTitle().empty());
    EXPECT_TRUE(document.item(7).getTitleText().empty());
}

TEST(Outline, ColourComesFromAThreeNumberArray) {
    OutlineDocument document({
        "/C [1 0 0.5]",
        "/C [0.2 0.4 0.6]",
        "/C [1.0 0.0 0.5]",
        "/C [0 2 0]",
        "/C [2.0 -0.5 41 0 R]",
        "/C [1 0]",
        "/C [1 0 0 0]",
        "/C 7",
        "",
    },
                             0, {{41, "1.0"}});
    // An integer v gives (-v) mod 256, so 1 is full intensity and 2 is 254.
    EXPECT_EQ(document.item(0).getColour(), 0xFF007Fu);
    EXPECT_EQ(document.item(1).getColour(), 0x336699u);
    EXPECT_EQ(document.item(2).getColour(), 0xFF007Fu);
    EXPECT_EQ(document.item(3).getColour(), 0x00FE00u);
    // Reals outside 0..1 keep the low byte of the scaled value; references are resolved.
    EXPECT_EQ(document.item(4).getColour(), 0xFE81FFu);
    for (size_t i = 5; i < 9; ++i) EXPECT_EQ(document.item(i).getColour(), 0u) << i;
}

TEST(Outline, StyleComesFromTheFlags) {
    OutlineDocument document({"/F 3", "/F 1", "/F 2", "/F 0", "", "/F 3.7", "/F 6", "/F /Bold", "/F 42 0 R"}, 0,
                             {{42, "1"}});
    const char* expected[] = {"BoldItalic", "Italic", "Bold", "Plain", "Plain", "BoldItalic", "Bold", "Plain",
                              "Italic"};
    ASSERT_EQ(document.items().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(document.item(i).getStyle(), expected[i]) << i;
}

TEST(Outline, OpenNeedsAPositiveIntegerCount) {
    OutlineDocument document({"/Count 2", "/Count 1", "/Count 0", "/Count -3", "/Count 1.0", ""});
    const bool expected[] = {true, true, false, false, false, false};
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(document.item(i).isOpen(), expected[i]) << i;
}

TEST(Outline, ChildrenAndNextStayUnresolved) {
    OutlineDocument document({"/First 30 0 R /Last 31 0 R /Count 2", ""}, 0,
                             {{30, "<< /Title (child) >>"}, {31, "<< /Title (child) >>"}});
    const OutlineItem& parent = document.item(0);
    ASSERT_TRUE(parent.getFirst().is(kindReference));
    EXPECT_EQ(parent.getFirst().getRefNumber(), 30);
    EXPECT_EQ(parent.getLast().getRefNumber(), 31);
    EXPECT_EQ(parent.getNext().getRefNumber(), kFirstItem + 1);
    EXPECT_TRUE(document.item(1).getNext().is(kindNull));
    EXPECT_TRUE(document.item(1).getFirst().is(kindNull));
    EXPECT_EQ(document.items().size(), 2u);
}

TEST(Outline, ChainStopsAtLastEvenWhenItHasANext) {
    OutlineDocument document({"/Title (one)", "/Title (two)", "/Title (three)"}, kFirstItem + 1);
    ASSERT_EQ(document.items().size(), 2u);
    EXPECT_EQ(document.item(1).getTitleText(), "two");
}

TEST(Outline, ChainEndsWhereItCannotGoOn) {
    // Next back to the first item: the chain ends instead of repeating.
    OutlineDocument cyclic({"/Title (a)", "/Title (b) /Next 20 0 R"}, 99);
    ASSERT_EQ(cyclic.items().size(), 2u);
    EXPECT_EQ(cyclic.item(1).getNext().getRefNumber(), kFirstItem);

    OutlineDocument selfLoop({"/Title (a) /Next 20 0 R"}, 99);
    EXPECT_EQ(selfLoop.items().size(), 1u);

    // A Next that is not a reference (ours comes before the fixture's, and the first key wins), or
    // that names something other than a dictionary, or nothing at all.
    OutlineDocument direct({"/Title (a) /Next << /Title (b) >>", "/Title (never)"}, 99);
    EXPECT_EQ(direct.items().size(), 1u);
    OutlineDocument notDictionary({"/Title (a) /Next 40 0 R"}, 99, {{40, "[1 2]"}});
    EXPECT_EQ(notDictionary.items().size(), 1u);
    OutlineDocument missing({"/Title (a) /Next 4 0 R"}, 99);
    EXPECT_EQ(missing.items().size(), 1u);
}

TEST(Outline, OutlineRootWithoutAUsableFirstHasNoItems) {
    for (const std::string& root : {std::string("<< /Type /Outlines >>"), std::string("<< /First [20 0 R] >>"),
                                    std::string("[20 0 R]")}) {
        PdfBuilder builder = builderWithCatalog("/Outlines 5 0 R");
        builder.addObject(2, "<< /Type /Pages /Kids [] /Count 0 >>");
        builder.addObject(5, root);
        builder.addObject(20, "<< /Title (x) >>");
        OpenedDocument document(builder.build());
        ASSERT_NE(document->getOutline(), nullptr);
        EXPECT_TRUE(document->getOutline()->getItems().empty()) << root;
    }
}

TEST(Outline, FetchErrorsWhileReadingTheOutlineFailTheOpen) {
    PdfBuilder builder = builderWithCatalog("/Outlines 5 0 R");
    builder.addObject(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    builder.addObject(5, "<< /First 500 0 R /Last 500 0 R >>");
    EXPECT_EQ(openError(builder.build()), "Corrupted PDF file");
}

TEST(Outline, DestBecomesAGoToAndAnInvalidOneAnEmptyEntry) {
    OutlineDocument document({
        "/Dest [3 0 R /XYZ 10 20 null]",
        "/Dest [3 0 R /FitR 0 0 100]",
        "/Dest /Chapter1",
        "/Dest (chapter 2) /A 40 0 R",
        "/Dest 41 0 R",
    },
                             0, {{40, "<< /S /URI /URI (http://x) >>"}, {41, "[0 /Fit]"}});
    const auto goTo = [&](size_t i) -> const LinkGoTo& {
        const auto& actions = document.item(i).getActions();
        EXPECT_EQ(actions.size(), 1u);
        EXPECT_EQ(actions.at(0)->getKind(), actionGoTo);
        return static_cast<const LinkGoTo&>(*actions.at(0));
    };
    const LinkDest* dest = goTo(0).getTarget().getDest();
    ASSERT_NE(dest, nullptr);
    EXPECT_TRUE(dest->isPageRef());
    EXPECT_EQ(dest->getPageNumber(), 3u);
    EXPECT_EQ(dest->getKind(), destXYZ);
    EXPECT_EQ(dest->getTop(), 20);

    ASSERT_EQ(document.item(1).getActions().size(), 1u);
    EXPECT_EQ(document.item(1).getActions()[0], nullptr);

    EXPECT_EQ(goTo(2).getTarget().getNamedDest(), "Chapter1");
    // Dest wins over A.
    EXPECT_EQ(goTo(3).getTarget().getNamedDest(), "chapter 2");
    ASSERT_NE(goTo(4).getTarget().getDest(), nullptr);
    EXPECT_EQ(goTo(4).getTarget().getDest()->getPageNumber(), 1u);
}

TEST(Outline, ActionChainFollowsNextAndKeepsEmptyEntries) {
    OutlineDocument document({
        "/A 40 0 R",
        "/A << /S /Named /N /NextPage /Next [1 2] >>",
        "/A 45 0 R",
        "/A (not an action)",
        "/A << /S /GoTo /D /x /Next 40 0 R >>",
    },
                             0,
                             {{40, "<< /S /GoTo /D [0 /Fit] /Next 41 0 R >>"},
                              {41, "<< /S /URI /URI () /Next << /S /Named /N /PrevPage /Next 42 0 R >> >>"},
                              {42, "<< /S /Launch /F (run.sh) >>"},
                              {45, "<< /S /JavaScript /Next 46 0 R >>"},
                              {46, "<< /S /Hide /Next 45 0 R >>"}});
    const auto kinds = [&](size_t i) {
        std::vector<int> result;
        for (const auto& action : document.item(i).getActions()) result.push_back(action ? action->getKind() : -1);
        return result;
    };
    // The empty URI is dropped but keeps its place.
    EXPECT_EQ(kinds(0), (std::vector<int>{actionGoTo, -1, actionNamed, actionLaunch}));
    // A Next that is no dictionary gives an empty entry and ends the chain.
    EXPECT_EQ(kinds(1), (std::vector<int>{actionNamed, -1}));
    // A chain that comes back to an action already taken ends there.
    EXPECT_EQ(kinds(2), (std::vector<int>{actionUnknown, actionUnknown}));
    EXPECT_EQ(kinds(3), (std::vector<int>{-1}));
    EXPECT_EQ(kinds(4), (std::vector<int>{actionGoTo, actionGoTo, -1, actionNamed, actionLaunch}));
}

}  // namespace
