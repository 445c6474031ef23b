#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "resize/ObjectText.h"
#include "resize/PageGeometry.h"
#include "resize/PageSelection.h"
#include "resize/PageView.h"
#include "tests/resize/ResizeFixtures.h"

namespace {

const char kLeaf[] = "<< /Type /Page >>";

std::string textOf(const PageBox& b) {
    std::ostringstream text;
    text << b.x1 << ' ' << b.y1 << ' ' << b.x2 << ' ' << b.y2;
    return text.str();
}

// /Count says nothing: the leaves are the pages.
TEST(PagePass, RecordsLeavesInPageOrderWhateverTheCount) {
    const std::pair<std::vector<std::string>, std::vector<uint32_t>> cases[] = {
        // Tree objects from 2 on; the records' object numbers (0: no leaf filled it).
        {{"<< /Kids [3 0 R 6 0 R] /Count 4 >>", "<< /Kids [4 0 R 5 0 R] >>", kLeaf, kLeaf, "<< /Kids [7 0 R] >>",
          kLeaf}, {4, 5, 7}},
        {{"<< /Kids [3 0 R 4 0 R 5 0 R] /Count 2 >>", kLeaf, kLeaf, kLeaf}, {3, 4, 5}},
        {{"<< /Kids [3 0 R 4 0 R] /Count -7 >>", kLeaf, kLeaf}, {3, 4}},
        // More leaves than the file has objects: the rest are damage.
        {{"<< /Kids [3 0 R 3 0 R 3 0 R 3 0 R 3 0 R] >>", kLeaf}, {3, 3, 3, 3}},
        {{"<< /Kids [<< /Type /Page >> 3 0 R] /Count 2 >>", kLeaf}, {0, 3}},
        {{"<< /Kids [3 0 R 3 0 R] /Count 3 >>", kLeaf}, {3, 3}},
        {{"<< /Kids [3 0 R] /Count 4 0 R >>", kLeaf, "1"}, {3}},
        // A kid without Kids is a page, whatever its /Type says.
        {{"<< /Kids [3 0 R 4 0 R] /Count 2 >>", "<< /MediaBox [0 0 1 1] >>", "<< /Type /Pages >>"}, {3, 4}},
    };
    for (const auto& [objects, pages] : cases) {
        std::vector<uint32_t> numbers;
        for (const PageRecord& record : InputJob(tree(objects)).records)
            numbers.push_back(record.filled ? record.objectNumber : 0);
        EXPECT_EQ(numbers, pages) << objects[0];
    }
}

// A box that is no array counts as absent; short arrays end in 0, long ones are cut, corners come lower-left first.
TEST(PagePass, InheritsEveryBoxFromTheNearestAncestor) {
    const std::vector<PageRecord> records = InputJob(tree({
        "<< /Kids [3 0 R 6 0 R] /Count 3 /MediaBox [0 0 595 842] /TrimBox [1 2 3 4] >>",     // 2
        "<< /Kids [4 0 R 5 0 R] /CropBox 8 0 R /MediaBox [0 0 100.5 200] >>",               // 3
        "<< /Type /Page /BleedBox [5 6 7 8] >>",                                             // 4
        "<< /Type /Page /MediaBox [10 20] /CropBox (not an array) /ArtBox [1 2 3 4 5 6] >>",  // 5
        "<< /Type /Page /ArtBox [0 0 /x 9] >>", "<< /Unused 1 >>", "[9 9 90 90]",           // 6 to 8
    })).records;
    // MediaBox, CropBox, BleedBox, TrimBox, ArtBox.
    const char* expected[] = {"0 0 100.5 200, 9 9 90 90, 5 6 7 8, 1 2 3 4, 0 0 612 792, own CropBox",
                              "0 0 10 20, 9 9 90 90, 0 0 612 792, 1 2 3 4, 1 2 3 4, own CropBox",
                              "0 0 595 842, 0 0 612 792, 0 0 612 792, 1 2 3 4, 0 0 0 9, "};
    ASSERT_EQ(records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const PageRecord& r = records[i];
        std::string boxes;
        for (const PageBox& b : {r.mediaBox, r.cropBox, r.bleedBox, r.trimBox, r.artBox}) boxes += textOf(b) + ", ";
        EXPECT_EQ(boxes + (r.hasCropBox ? "own CropBox" : ""), expected[i]);
    }
}

// The plain cases are the page report's; here the odd values.
TEST(PageView, SizeAsSeen) {
    const std::string letter = ": 612 x 792 of 0 0 612 792";
    const std::tuple<const char*, const char*, std::string> rows[] = {  // page entries, tree entries, expected
        {"/Rotate 540.0", "", "180" + letter}, {"/Rotate 45", "", "0" + letter},
        {"/Rotate (90)", "/Rotate 180", "180" + letter},
        {"/MediaBox [0 0 200 200] /CropBox [100 -50 300 150]", "", "0: 100 x 150 of 100 0 200 150"},
        {"/MediaBox [0 0 200 200] /CropBox [300 300 400 400]", "", "0: 200 x 200 of 0 0 200 200"},
        // UserUnit belongs to the page alone; a meaningless one counts as 1.
        {"", "/UserUnit 2", "0" + letter}, {"/UserUnit 0", "", "0" + letter},
    };
    for (const auto& [pageEntries, treeEntries, expected] : rows) {
        const PageView view(InputJob(onePage(pageEntries, {}, treeEntries)).records.at(0));
        std::ostringstream seen;
        seen << static_cast<int>(view.rotation()) << ": " << view.width() << " x " << view.height() << " of "
             << textOf(view.visibleBox());
        EXPECT_EQ(seen.str(), expected) << pageEntries << " | " << treeEntries;
    }
}

TEST(PageSelection, ChoicesAndMessages) {
    struct Row {
        const char* ranges;
        std::string expected;  // the chosen pages of ten, or the message thrown
        bool odd = false, even = false;
        uint32_t pageCount = 10;
        int unfilled = -1;  // a record the page tree left empty
    };
    const std::string tooLarge = "Page number 11 greater than 10 pages in file", bad = "Invalid parameter";
    const std::string past = "Wrong page ranges, 12 greater than 10 pages in file";
    const Row rows[] = {
        {"-s1,3-4,6", "1 3 4 6"}, {"-s10", "10"}, {"-s8,1-3,2,1", "1 2 3 8"}, {"-s11", tooLarge}, {"-s3-12", past},
        {"-s5-2", "Wrong page ranges, start page 5 > end page 2"},
        // The checks come in their order: characters, zero, a second "-", range end, range order.
        {"-s11,1a", bad}, {"-s0-3-5", "Invalid page number 0"}, {"-s5-2-1", bad}, {"-s20-12", past},
        {"-s12-3", "Wrong page ranges, start page 12 > end page 3"}, {"-s2,11,0", tooLarge},
        {"-s", bad}, {"-s1,", bad}, {"-s4-", bad}, {"-s1 2", bad}, {"-s3-00", "Invalid page number 0"},
        // Large numbers are neither wrapped nor shown negative.
        {"-s4294967297", "Page number 4294967297 greater than 10 pages in file"},
        {"-s99999999999999999999999", "Page number 18446744073709551615 greater than 10 pages in file"},
        {"-s3000000001", "Page number 3000000001 greater than 3000000000 pages in file", false, false, 3000000000u},
        // "-sodd" and "-seven" narrow the selection; both together cancel out.
        {"", "1 3 5 7 9", true}, {"", "2 4 6 8 10", false, true}, {"-s2-7", "3 5 7", true},
        {"-s1,3", "", false, true}, {"-s2-4", "2 3 4", true, true}, {"-s11", tooLarge, false, true},
        // A count that promises pages the tree lacks; a page the parity leaves out is not looked at.
        {"-s9-4000000000", "Page 11 is missing from the page tree", false, false, 4000000000u},
        {"-s4-6", "Page 5 is missing from the page tree", false, false, 10, 4},
        {"-s4-6", "4 6", false, true, 10, 4}, {"", "1 2 4 5 6 7 8 9 10", false, false, 10, 2},
    };
    for (const Row& row : rows) {
        ResizeSettings settings;
        settings.pageRanges = row.ranges;
        settings.oddPagesOnly = row.odd;
        settings.evenPagesOnly = row.even;
        std::vector<PageRecord> records(10);
        for (std::size_t i = 0; i < records.size(); ++i) records[i].filled = static_cast<int>(i) != row.unfilled;
        const std::string error = errorOf([&] { selectPages(settings, row.pageCount, records); });
        std::string pages;
        for (const PageRecord& record : records)
            if (record.selected) pages += (pages.empty() ? "" : " ") + std::to_string(record.pageNumber);
        EXPECT_EQ(error == "<no error>" ? pages : error, row.expected) << row.ranges;
    }
}

// The first page rewritten: the objects `numbers` as written, or all the rewrite added.
std::string rewritten(const std::string& pdf, const std::vector<std::string>& options,
                      const std::vector<uint32_t>& numbers = {}, bool afterCopy = false) {
    InputJob job(pdf, options);
    if (afterCopy) job.copy();
    const size_t start = job.output().position();
    job.rewrite(0);
    std::string objects, bytes = job.finish().substr(start);
    for (uint32_t number : numbers) objects += job.object(number);
    return numbers.empty() ? bytes : objects;
}

const std::string kWrapped = "/Contents  [  10 0 R  4 0 R   11 0 R  ] ", kEnd = ">>\nendobj\n";

// With objects up to 9 (6 to 8 free) the new streams are 10 and 11; the output holds them, then the page.
TEST(PageRewriter, WritesTheScaleStreamsAndThePageByteForByte) {
    const std::string head = "3 0 obj\n<<\n/MediaBox [ 0.000000 0.000000 1224.000000 1584.000000 ]\n /Type /Page "
                             "/Parent 2 0 R ";
    const auto cm = [](const std::string& factors) { return "q\n" + factors + " 0 0 cm\n"; };
    struct Row {
        std::string page, expected, tree = "";
        std::vector<std::string> options = {"-scale200"};
        std::string content = "q\n2.00 0 0 2.00 0 0 cm\n";
    };
    // A US Letter page: the bytes after its box stay as they are; a box of two numbers starts at 0, 0.
    const auto onLetter = [&](std::vector<std::string> options, const std::string& box, const std::string& factors) {
        const std::string corners = box.find(' ') == box.rfind(' ') ? "0.000000 0.000000 " + box : box;
        return Row{"/MediaBox [0 0 612 792] /Contents 4 0 R/Resources 6 0 R", "3 0 obj\n<< /Type /Page /Parent 2 0 R "
                   "/MediaBox [ " + corners + " ]\n " + kWrapped + "/Resources 6 0 R " + kEnd, "", std::move(options),
                   cm(factors)};
    };
    const Row rows[] = {
        {"/Contents [4 0 R 5 0 R]", head + "/Contents [ 10 0 R  4 0 R  5 0 R   11 0 R ] " + kEnd},
        {"", "3 0 obj\n<</Contents [  10 0 R   11 0 R  ]\n" + head.substr(10) + " " + kEnd},
        {"/Contents 4 0 R\n/Rotate 0", head + kWrapped + "\n/Rotate 0 " + kEnd},  // the line feed stays
        {"/Contents 8 0 R", head + "/Contents  [  10 0 R  8 0 R   11 0 R  ] " + kEnd},  // a free object
        {"/ContentsX 5 0 R /Contents 4 0 R", head + "/ContentsX 5 0 R " + kWrapped + kEnd},
        {"/Contents 5", head + "/Contents 5 " + kEnd},
        // Direct annotations are scaled where they stand, and the /Contents text of one is not the page's.
        {"/Annots [<< /Contents (see 4 0 R) /Rect [10 10 20 20] >> <</Rect[1 1 2 2]>>] /Contents 4 0 R",
         head + "/Annots [<< /Contents (see 4 0 R) /Rect [ 20.00  20.00  40.00  40.00 ] >> "
         "<</Rect[ 2.00  2.00  4.00  4.00 ]>>] " + kWrapped + kEnd},
        // A box that differs from the MediaBox is inherited; others only where the page has them.
        {"/ArtBox [10 10 50 50] /Contents 4 0 R", "3 0 obj\n<<\n/CropBox [ 10.000000 2.500000 390.000000 47.500000 ]\n"
         "\n/MediaBox [ 0.000000 0.000000 400.000000 50.000000 ]\n /Type /Page /Parent 2 0 R /ArtBox [ 20.000000 "
         "5.000000 100.000000 25.000000 ]\n " + kWrapped + kEnd,
         "/MediaBox [0 0 200 100] /CropBox [5 5 195 95] /TrimBox [1 1 2 2]", {"-scalex200", "-scaley50"},
         cm("2.00 0 0 0.50")},
        // The page size's lower-left corner and a scale take no part.
        onLetter({"-scale50", "-pagesize", "500,500,842,1191"}, "842.000000 1191.000000", "1.38 0 0 1.50"),
        // The y margin is a rounding residue just above 0, so "%f" writes y1 as -0.
        onLetter({"-pagesize", "0,0,1000,500", "-con", "-center"}, "-306.818182 -0.000000 693.181818 500.000000",
                 "0.63 0 0 0.63"),
        onLetter({"-pagesize", "0,0,1234,1234", "-noscale"}, "612.000000 792.000000", "1.00 0 0 1.00"),
        onLetter({"-noscale", "-scale150"}, "918.000000 1188.000000", "1.50 0 0 1.50"),
        onLetter({"-noscale", "-scalex150"}, "612.000000 792.000000", "1.00 0 0 1.00"),
        onLetter({"-scalex50", "-scaley150", "-noenlarge"}, "306.000000 792.000000", "0.50 0 0 1.00"),
        // -keepsize: the boxes stay. -visible: the page starts at 0, 0, the content is clipped to what it showed.
        {"/TrimBox [0 0 1 1] /Contents 4 0 R", "3 0 obj\n<< /Type /Page /Parent 2 0 R /TrimBox [0 0 1 1] " + kWrapped +
         kEnd, "", {"-keepsize", "-scale90", "-center", "-offsetx5"}, "q\n0.9 0 0 0.9 25.6 39.6 cm\n"},
        {"/Rotate 90 /CropBox [100 100 500 700] /TrimBox [0 0 612 792] /Contents 4 0 R", "3 0 obj\n<<\n/MediaBox "
         "[ 0.000000 0.000000 842.000000 595.000000 ]\n /Type /Page /Parent 2 0 R /Rotate 90 /CropBox [ 0.000000 "
         "0.000000 842.000000 595.000000 ]\n /TrimBox [ 123.500000 0.000000 730.400000 595.000000 ]\n " + kWrapped +
         kEnd, "", {"-visible", "-page", "a4", "-con", "-center"},
         "q\n222.666667 0 396.666667 595 re W n\n0.991667 0 0 0.991667 123.5 -99.166667 cm\n"},
    };
    // After the copy pass, which already knows which contents are streams, the bytes are the same.
    for (const bool afterCopy : {false, true}) {
        for (const Row& row : rows) {
            EXPECT_EQ(rewritten(onePage(row.page, {{9, "null"}}, row.tree), row.options, {}, afterCopy),
                      "10 0 obj\n<<\n/Length " + std::to_string(row.content.size()) + " >>\nstream\n" + row.content +
                          "endstream\nendobj\n11 0 obj\n<<\n/Length 2 >>\nstream\nQ\nendstream\nendobj\n" + row.expected)
                << row.page << testing::PrintToString(row.options) << (afterCopy ? " after the copy" : "");
        }
    }
}

// Only the page dictionary's own entry is replaced, whatever its value.
TEST(PageGeometry, ReplacesOnlyThePagesOwnBoxEntry) {
    const std::string nested = "/PieceInfo << /Data << /MediaBox [1 1 1 1] >> >> /Annots [<< /MediaBox 3 >>] "
                               "/T (a \\) /MediaBox [2 2 2 2] (b)) /H <2F4D65646961426F78> % /MediaBox [3 3 3 3]\n";
    const std::string box = "/MediaBox [ 0.000000 0.000000 306.000000 396.000000 ]\n";
    const std::string cases[][2] = {
        {"4 0 obj << " + nested + "/MediaBox [0 0 612 792]/Rotate 9 >>", "4 0 obj << " + nested + box + "/Rotate 9 >>"},
        {"4 0 obj << /MediaBox 12 0 R\r/Rotate 90 >> endobj", "4 0 obj << " + box + "\r/Rotate 90 >> endobj"},
        {"4 0 obj << " + nested + ">> endobj", "4 0 obj <<\n" + box + " " + nested + ">> endobj"},
        {"4 0 obj << /MediaBox [0 0 612 792 >> endobj", "4 0 obj << " + box + ">> endobj"},  // lost its "]"
    };
    PageTransform half;
    half.boxFactors = half.contentFactors = ScaleFactors{0.5, 0.5};
    for (const auto& c : cases) {
        PageBox letter{0, 0, 612, 792};
        ObjectText text(c[0]);
        PageGeometry(ResizeSettings(), half, letter, 4).rewriteBox(text, letter, "/MediaBox", false);
        EXPECT_EQ(text.bytes(), c[1]);
    }
}

PageBox boxAfter(const std::string& text, const std::string& key) {
    PageBox box;
    const size_t at = text.find(key + " [");
    if (at != std::string::npos) std::istringstream(text.substr(at + key.size() + 2)) >> box.x1 >> box.y1 >> box.x2 >> box.y2;
    return box;
}

// A box smaller than the MediaBox frames part of the content: centred, it stays on it, inside the MediaBox.
TEST(PageGeometry, CentringKeepsSmallerBoxesOnTheContentTheyFrame) {
    const std::pair<const char*, const char*> pages[] = {  // the page's entries, the tree's
        {"/CropBox [100 600 300 700]", ""},
        {"/CropBox [0 0 612 792] /TrimBox [36 36 576 756] /BleedBox [18 18 594 774]", ""},
        {"", "/MediaBox [0 0 596 842] /CropBox [39.24 785.13 181.98 799.35]"},
    };
    const std::vector<std::string> optionSets[] = {{"-page", "a4", "-con", "-center"},
                                                   {"-pageL", "letter", "-con", "-center"},
                                                   {"-noscale", "-pagesize", "0,0,1000,1000", "-con", "-center"}};
    for (const auto& [entries, treeEntries] : pages) {
        for (const std::vector<std::string>& options : optionSets) {
            InputJob job(onePage(std::string(entries) + " /Contents 4 0 R", {{9, "null"}}, treeEntries), options);
            const PageRecord before = job.records.at(0);
            const double* target = job.settings.pageSize;
            const double content = job.settings.noScale ? 1 : std::min(target[2] / before.mediaBox.x2,
                                                                       target[3] / before.mediaBox.y2);
            job.rewrite(0);
            const std::string page = job.finish();
            const PageBox media = boxAfter(page, "/MediaBox");
            for (const auto& [key, old] : {std::pair<const char*, PageBox>{"/CropBox", before.cropBox},
                                           {"/TrimBox", before.trimBox}, {"/BleedBox", before.bleedBox}}) {
                if (page.find(key) == std::string::npos || old.sameSize(before.mediaBox)) continue;
                SCOPED_TRACE(key + (" " + std::string(entries) + treeEntries + " " + options[1]));
                const PageBox now = boxAfter(page, key);
                const double got[] = {now.x1, now.y1, now.x2, now.y2}, was[] = {old.x1, old.y1, old.x2, old.y2};
                for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], was[i] * content, 1e-6) << i;
                EXPECT_TRUE(now.x1 >= media.x1 && now.y1 >= media.y1 && now.x2 <= media.x2 && now.y2 <= media.y2);
            }
        }
    }
}

// Any two opposite corners name a box; it is resized like its normal form and written in normal order.
TEST(PageGeometry, ReversedCornersResizeLikeTheirNormalTwins) {
    const std::pair<std::string, std::string> twins[][2] = {  // {page entries, tree entries}: reversed, normal
        {{"/MediaBox [612 792 0 0] /CropBox [500 100 100 700]", ""},
         {"/MediaBox [0 0 612 792] /CropBox [100 100 500 700]", ""}},
        {{"/TrimBox [576 756 36 36]", "/MediaBox [0 792 612 0] /CropBox [612 792 0 0]"},
         {"/TrimBox [36 36 576 756]", "/MediaBox [0 0 612 792] /CropBox [0 0 612 792]"}},
        {{"/Annots [<< /Rect [90 80 10 20] >>]", ""}, {"/Annots [<< /Rect [10 20 90 80] >>]", ""}},
    };
    const std::vector<std::string> optionSets[] = {
        {"-scalex200", "-scaley150"}, {"-page", "a4", "-con", "-center"},
        {"-noscale", "-pagesize", "0,0,1234,1234", "-con", "-center"}};
    for (const auto& twin : twins) {
        for (const std::vector<std::string>& options : optionSets) {
            const auto resized = [&](const std::pair<std::string, std::string>& page) {
                return rewritten(onePage(page.first + " /Contents 4 0 R", {{9, "null"}}, page.second), options, {3});
            };
            EXPECT_EQ(resized(twin[0]), resized(twin[1])) << twin[0].first << twin[0].second;
        }
    }
}

TEST(PageRewriter, RewritesAContentsArrayObjectForEachPageThatSharesIt) {
    // Objects 4 and 5 need not be streams: the array's elements are only copied.
    const std::string page = "<< /Type /Page /Parent 2 0 R /Contents 7 0 R >>";
    InputJob job(tree({"<< /Kids [3 0 R 8 0 R] /Count 2 /MediaBox [0 0 100 100] >>", page, "null", "null", "null",
                       "[4 0 R\n5 0 R]", page, "null"}));
    job.rewrite(0);
    const uint32_t firstCopy = job.output().row(7).offset;
    job.rewrite(1);
    const std::string firstArray = "7 0 obj\n[ 10 0 R  4 0 R  5 0 R   11 0 R ]\nendobj\n";
    EXPECT_EQ(job.finish().substr(firstCopy, firstArray.size()), firstArray);
    // The output refers to the later page's copy; per page: streams, array object, page object.
    EXPECT_EQ(job.object(7), "7 0 obj\n[ 12 0 R  4 0 R  5 0 R   13 0 R ]\nendobj\n");
    EXPECT_LT(job.output().row(13).offset, job.output().row(7).offset);
    EXPECT_LT(job.output().row(7).offset, job.output().row(8).offset);
    EXPECT_NE(job.object(3).find("/Contents 7 0 R"), std::string::npos);
}

TEST(PageRewriter, FailsClearlyBeforeWritingAnythingForAPageItCannotRewrite) {
    InputJob job(onePage("/Contents 4 0 R", {{9, "null"}}));
    job.records.at(0).objectNumber = 8;  // a free entry
    const std::string error = errorOf([&] { job.rewrite(0); });
    EXPECT_NE(error.find("page object 8"), std::string::npos) << error;
    EXPECT_EQ(job.output().position(), 0u);
    EXPECT_EQ(job.output().tableSize(), 10u);
}

// Annotations take the content factors (that offsets and centring leave them is the content test's).
TEST(AnnotationScaler, ScalesTheAnnotationsOwnRectangle) {
    const std::pair<std::string, std::string> cases[] = {  // -scale200: input, output
        // A private dictionary's /Rect and one inside a string come first and stay.
        {"<< /MK << /Rect [1 2 3 4] >> /T (/Rect [5 5 5 5]) /Rect [10 20 30 40.5] >>",
         "<< /MK << /Rect [1 2 3 4] >> /T (/Rect [5 5 5 5]) /Rect [ 20.00  40.00  60.00  81.00 ] >>"},
        {"<< /MK << /Rect [1 2 3 4] >> >>", "<< /MK << /Rect [1 2 3 4] >> >>"},
        {"<< /Rect [1 2 /X 4] >>", "<< /Rect [1 2 /X 4] >>"},  // left as is rather than emptied
        // The reference is replaced; the array object it names is not the page's to change.
        {"<< /Rect 6 0 R\n/F 4 >>", "<< /Rect [ 200.00  400.00  600.00  800.00 ]\n/F 4 >>"},
    };
    // Neither the free object 8 nor the array object 6 gets a row.
    for (const auto& [annotation, expected] : cases) {
        const std::string pdf =
            onePage("/Annots [5 0 R 8 0 R]", {{5, annotation}, {6, "[100 200 300 400]"}, {9, "null"}});
        EXPECT_EQ(rewritten(pdf, {"-scale200"}, {5, 6, 8}), "5 0 obj\n" + expected + "\nendobj\n") << annotation;
    }
}

// Patterns follow the content by their /Matrix; objects 6 to 8 (a matrix, a shading, a free one) stay.
TEST(PatternScaler, MultipliesEachKindOfMatrixByTheContentFactors) {
    const std::string head = "<< /PatternType 2 ";
    const std::string tail = " /Shading << /ShadingType 2 /Coords [0 0 100 50] >> >>";
    const std::string inserted = "<<\n/Matrix [ 2.000000  0.000000  0.000000  1.500000  0.000000  0.000000 ]\n"
                                 " /PatternType ";
    const std::string tiling = "1 /Resources << /Matrix [3 3 3 3 3 3] >> /Length 7 >>\nstream\n/Matrix\nendstream";
    const std::string cases[][2] = {
        {head + "/Matrix 6 0 R" + tail,
         head + "/Matrix [ 0.000000  1.500000  -2.000000  0.000000  200.000000  -15.000000 ]" + tail},
        {head + "/Matrix /Identity" + tail, head + "/Matrix /Identity" + tail},
        {head + "/Matrix [1 0 0 1]" + tail, head + "/Matrix [1 0 0 1]" + tail},
        {head + "/Shading << /Matrix [1 0 0 1 0 0] >> >>", inserted + "2 /Shading << /Matrix [1 0 0 1 0 0] >> >>"},
        {head + "/Shading 7 0 R >>", inserted + "2 /Shading 7 0 R >>"},  // the shading object is left alone
        // A tiling pattern is a stream: its dictionary gets the matrix, its data (naming one) stays.
        {"<< /PatternType " + tiling, inserted + tiling},
    };
    const std::string resources = "/Resources << /Pattern << /P 5 0 R /Missing 8 0 R >> >>";
    for (const auto& c : cases) {
        const std::map<int, std::string> objects = {
            {5, c[0]}, {6, "[0 1 -1 0 100 -10]"}, {7, "<< /ShadingType 2 /Coords [0 0 1 1] >>"}, {9, "null"}};
        // Resources of the page itself, or inherited from its parent.
        for (const std::string& pdf : {onePage(resources, objects), onePage("", objects, resources)}) {
            EXPECT_EQ(rewritten(pdf, {"-scalex200", "-scaley150"}, {5, 6, 7, 8}), "5 0 obj\n" + c[1] + "\nendobj\n")
                << c[0];
        }
    }
}

}  // namespace
