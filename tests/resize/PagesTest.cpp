#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "resize/ContentWrapper.h"
#include "resize/ObjectText.h"
#include "resize/PageGeometry.h"
#include "tests/resize/ResizeFixtures.h"

namespace {

const char kLeaf[] = "<< /Type /Page >>";

TEST(PagePass, RecordsLeavesInPageOrderNeverBeyondTheCount) {
    const std::pair<std::vector<std::string>, std::vector<uint32_t>> cases[] = {
        // Tree objects from 2 on, and the object numbers of the records (0: no leaf filled it).
        {{"<< /Kids [3 0 R 6 0 R] /Count 4 >>", "<< /Kids [4 0 R 5 0 R] >>", kLeaf, kLeaf, "<< /Kids [7 0 R] >>",
          kLeaf}, {4, 5, 7}},
        {{"<< /Kids [3 0 R 4 0 R 5 0 R] /Count 2 >>", kLeaf, kLeaf, kLeaf}, {3, 4}},
        {{"<< /Kids [<< /Type /Page >> 3 0 R] /Count 2 >>", kLeaf}, {0, 3}},
        {{"<< /Kids [3 0 R 3 0 R] /Count 3 >>", kLeaf}, {3, 3}},
        {{"<< /Kids [3 0 R] /Count 4 0 R >>", kLeaf, "1"}, {3}},
    };
    for (const auto& [objects, pages] : cases) {
        const InputJob job(tree(objects));
        std::vector<uint32_t> numbers;
        for (const PageRecord& record : job.records) numbers.push_back(record.filled ? record.objectNumber : 0);
        EXPECT_EQ(numbers, pages) << objects[0];
    }
}

TEST(PagePass, InheritsEveryBoxFromTheNearestAncestor) {
    const std::vector<PageRecord> records = InputJob(tree({
        "<< /Kids [3 0 R 6 0 R] /Count 3 /MediaBox [0 0 595 842] /TrimBox [1 2 3 4] >>",     // 2
        "<< /Kids [4 0 R 5 0 R] /CropBox 8 0 R /MediaBox [0 0 100.5 200] >>",               // 3
        "<< /Type /Page /BleedBox [5 6 7 8] >>",                                             // 4
        "<< /Type /Page /MediaBox [10 20] /CropBox (not an array) /ArtBox [1 2 3 4 5 6] >>",  // 5
        "<< /Type /Page /ArtBox [0 0 /x 9] >>",                                              // 6
        "<< /Unused 1 >>", "[9 9 90 90]",                                                    // 7, 8
    })).records;
    // MediaBox, CropBox, BleedBox, TrimBox, ArtBox of each page: its own, its nearest ancestor's (a value
    // that is no array counts as absent), or US Letter; short arrays end in 0, long ones are cut.
    const std::vector<double> expected[] = {
        {0, 0, 100.5, 200, 9, 9, 90, 90, 5, 6, 7, 8, 1, 2, 3, 4, 0, 0, 612, 792},
        {10, 20, 0, 0, 9, 9, 90, 90, 0, 0, 612, 792, 1, 2, 3, 4, 1, 2, 3, 4},
        {0, 0, 595, 842, 0, 0, 612, 792, 0, 0, 612, 792, 1, 2, 3, 4, 0, 0, 0, 9},
    };
    ASSERT_EQ(records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const PageRecord& r = records[i];
        std::vector<double> boxes;
        for (const PageBox& box : {r.mediaBox, r.cropBox, r.bleedBox, r.trimBox, r.artBox}) {
            boxes.insert(boxes.end(), {box.x1, box.y1, box.x2, box.y2});
        }
        EXPECT_EQ(boxes, expected[i]) << i;
        EXPECT_EQ(r.hasCropBox, i < 2) << i;
    }
}

TEST(PagePass, StopsOnDamagedTrees) {
    const std::string loop = errorOf([] { InputJob{tree({"<< /Kids [3 0 R] /Count 1 >>", "<< /Kids [2 0 R] >>"})}; });
    EXPECT_NE(loop.find("Page tree is damaged"), std::string::npos) << loop;
    EXPECT_NE(loop.find("object 2"), std::string::npos) << loop;
    // Far more pages than the file has objects: refused before any record is made.
    const std::string absurd = errorOf([] { InputJob{tree({"<< /Kids [3 0 R] /Count 2000000000 >>", kLeaf})}; });
    EXPECT_NE(absurd.find("2000000000"), std::string::npos) << absurd;
}

const std::string kLetterBox = "/MediaBox [0 0 612 792]";
const std::string kLetterPage = "4 0 obj\n<< /Type /Page /Parent 2 0 R " + kLetterBox + " /Contents 5 0 R >>\nendobj\n";

struct BoxRewrite {
    std::string text, scaleContent;
};

// MediaBox, CropBox and TrimBox of `page` rewritten as a job with `options` does, for a Letter page
// whose CropBox is `cropBox`.
BoxRewrite rewriteBoxes(const std::vector<const char*>& options, const std::string& page,
                        PageBox cropBox = {0, 0, 612, 792}, PageRecord* result = nullptr) {
    PageRecord record;
    record.mediaBox = record.trimBox = {0, 0, 612, 792};
    record.cropBox = cropBox;
    ResizeSettings settings = settingsFor(options);
    setPageScale(settings, record, 1);
    const PageGeometry geometry(settings, 4);
    ObjectText text(page);
    geometry.rewriteBox(text, record.mediaBox, "/MediaBox", false);
    geometry.rewriteBox(text, record.cropBox, "/CropBox", false);
    geometry.rewriteBox(text, record.trimBox, "/TrimBox", false);
    if (result) *result = record;
    return {text.bytes(), ContentWrapper::scaleContent(geometry.contentFactors())};
}

TEST(PageGeometry, EveryOptionCombinationGivesItsMediaBoxAndMatrix) {
    const std::tuple<std::vector<const char*>, const char*, const char*> cases[] = {  // options, MediaBox, matrix
        {{}, "0.000000 0.000000 612.000000 792.000000", "1.00 0 0 1.00"},
        {{"-scale200"}, "0.000000 0.000000 1224.000000 1584.000000", "2.00 0 0 2.00"},
        {{"-scalex200", "-scaley150"}, "0.000000 0.000000 1224.000000 1188.000000", "2.00 0 0 1.50"},
        {{"-pagesize", "0,0,1000,500"}, "0.000000 0.000000 1000.000000 500.000000", "1.63 0 0 0.63"},
        {{"-pagesize", "0,0,1000,500", "-con"}, "0.000000 0.000000 1000.000000 500.000000", "0.63 0 0 0.63"},
        // The y margin is a rounding residue just above 0, so "%f" writes y1 as -0.
        {{"-pagesize", "0,0,1000,500", "-con", "-center"}, "-306.818182 -0.000000 693.181818 500.000000",
         "0.63 0 0 0.63"},
        {{"-noscale", "-pagesize", "0,0,1234,1234", "-con", "-center", "-scale100"},
         "-311.000000 -221.000000 923.000000 1013.000000", "1.00 0 0 1.00"},
        {{"-pagesize", "0,0,1234,1234", "-noscale"}, "0.000000 0.000000 612.000000 792.000000", "1.00 0 0 1.00"},
        {{"-pagesize", "0,0,792,612"}, "0.000000 0.000000 792.000000 612.000000", "1.29 0 0 0.77"},  // /Rotate aside
        {{"-offsetx10", "-offsety-20"}, "10.000000 -20.000000 622.000000 772.000000", "1.00 0 0 1.00"},
        {{"-scale50", "-offsetx10"}, "10.000000 0.000000 316.000000 396.000000", "0.50 0 0 0.50"},
        {{"-noscale", "-scale150"}, "0.000000 0.000000 918.000000 1188.000000", "1.50 0 0 1.50"},
        {{"-noscale", "-scalex150"}, "0.000000 0.000000 612.000000 792.000000", "1.00 0 0 1.00"},
    };
    for (const auto& [options, mediaBox, matrix] : cases) {
        const BoxRewrite result = rewriteBoxes(options, kLetterPage);
        std::string page = kLetterPage;
        page.replace(page.find(kLetterBox), kLetterBox.size(), std::string("/MediaBox [ ") + mediaBox + " ]\n");
        EXPECT_EQ(result.text, page) << testing::PrintToString(options);
        EXPECT_EQ(result.scaleContent, "q\n" + std::string(matrix) + " 0 0 cm\n") << testing::PrintToString(options);
    }
}

TEST(PageGeometry, NoScaleCentringPutsEachBoxOnTheTargetPageByItsOwnSize) {
    PageRecord record;
    const BoxRewrite result = rewriteBoxes({"-noscale", "-pagesize", "0,0,1000,1000", "-con", "-center"},
                                           "4 0 obj << /CropBox [100 100 500 700] " + kLetterBox + " >> endobj",
                                           {100, 100, 500, 700}, &record);
    EXPECT_EQ(result.text, "4 0 obj << /CropBox [ -300.000000 -200.000000 700.000000 800.000000 ]\n"
                           " /MediaBox [ -194.000000 -104.000000 806.000000 896.000000 ]\n >> endobj");
    EXPECT_TRUE(record.cropBox.x2 == 1000 && record.mediaBox.y2 == 1000) << "the record's boxes become the target";
}

// Only the entry at the page dictionary's own level is the page's; its value is replaced whatever it is.
TEST(PageGeometry, ReplacesOnlyThePagesOwnBoxEntry) {
    const std::string nested = "/PieceInfo << /Data << /MediaBox [1 1 1 1] >> >> /Annots [<< /MediaBox 3 >>] "
                               "/T (a \\) /MediaBox [2 2 2 2] (b)) /H <2F4D65646961426F78> % /MediaBox [3 3 3 3]\n";
    const std::string box = "/MediaBox [ 0.000000 0.000000 306.000000 396.000000 ]\n";
    const std::string cases[][2] = {
        {"4 0 obj << " + nested + kLetterBox + "/Rotate 9 >>", "4 0 obj << " + nested + box + "/Rotate 9 >>"},
        {"4 0 obj << /MediaBox 12 0 R\r/Rotate 90 >> endobj", "4 0 obj << " + box + "\r/Rotate 90 >> endobj"},
        {"4 0 obj << " + nested + ">> endobj", "4 0 obj <<\n" + box + " " + nested + ">> endobj"},
        {"4 0 obj << /MediaBox [0 0 612 792 >> endobj", "4 0 obj << " + box + ">> endobj"},  // lost its "]"
    };
    for (const auto& c : cases) EXPECT_EQ(rewriteBoxes({"-scale50"}, c[0]).text, c[1]);
}

constexpr char kScaleStream200[] = "10 0 obj\n<<\n/Length 23 >>\nstream\nq\n2.00 0 0 2.00 0 0 cm\nendstream\nendobj\n";
constexpr char kRestoreStream[] = "11 0 obj\n<<\n/Length 2 >>\nstream\nQ\nendstream\nendobj\n";

// With objects up to 9 the input has ten entries, so that the new objects are 10 and 11; 6 to 8 are free.
TEST(PageRewriter, WrapsASingleContentStreamByteForByte) {
    InputJob job(onePage(kLetterBox + " /Contents 4 0 R/Resources 6 0 R", {{9, "null"}}), {"-scale200"});
    job.rewrite(0);
    const std::string page = "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [ 0.000000 0.000000 1224.000000 "
                             "1584.000000 ]\n /Contents  [  10 0 R  4 0 R   11 0 R  ] /Resources 6 0 R >>\nendobj\n";
    EXPECT_EQ(job.finish(), std::string(kScaleStream200) + kRestoreStream + page);
    EXPECT_EQ(job.output().tableSize(), 12u);
}

TEST(PageRewriter, PutsTheNewStreamsIntoEveryKindOfContentsEntry) {
    const std::string head =
        "3 0 obj\n<<\n/MediaBox [ 0.000000 0.000000 612.000000 792.000000 ]\n /Type /Page /Parent 2 0 R ";
    const std::string wrapped = "/Contents  [  10 0 R  4 0 R   11 0 R  ] ";
    const std::string cases[][2] = {  // the page's Contents entry, the page object written
        {"/Contents [4 0 R 5 0 R]", head + "/Contents [ 10 0 R  4 0 R  5 0 R   11 0 R ] >>\nendobj\n"},
        {"", "3 0 obj\n<</Contents [  10 0 R   11 0 R  ]\n" + head.substr(10) + " >>\nendobj\n"},
        {"/Contents 4 0 R\n/Rotate 0", head + wrapped + "\n/Rotate 0 >>\nendobj\n"},  // the line feed stays
        {"/Contents 8 0 R", head + "/Contents  [  10 0 R  8 0 R   11 0 R  ] >>\nendobj\n"},  // a free object
        {"/ContentsX 5 0 R /Contents 4 0 R", head + "/ContentsX 5 0 R " + wrapped + ">>\nendobj\n"},
        {"/Contents 5", head + "/Contents 5 >>\nendobj\n"},
    };
    for (const auto& c : cases) {
        InputJob job(onePage(c[0], {{9, "null"}}));
        job.rewrite(0);
        job.finish();
        EXPECT_EQ(job.object(3), c[1]) << c[0];
        // The two streams are written in every case, referenced or not.
        EXPECT_EQ(job.object(11), kRestoreStream) << c[0];
    }
}

TEST(PageRewriter, RewritesAContentsArrayObjectForEachPageThatSharesIt) {
    // Objects 4 and 5 need not be streams: an array's elements are only copied.
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

TEST(PageRewriter, WritesOnlyTheBoxesThePageOwnsOrMustInherit) {
    InputJob job(onePage("/ArtBox [10 10 50 50] /Contents 4 0 R", {},
                         "/MediaBox [0 0 200 100] /CropBox [5 5 195 95] /TrimBox [1 1 2 2]"),
                 {"-scalex200", "-scaley50"});
    job.rewrite(0);
    job.finish();
    EXPECT_EQ(job.object(3), "3 0 obj\n<<\n/CropBox [ 10.000000 2.500000 390.000000 47.500000 ]\n"
                             "\n/MediaBox [ 0.000000 0.000000 400.000000 50.000000 ]\n"
                             " /Type /Page /Parent 2 0 R /ArtBox [ 20.000000 5.000000 100.000000 25.000000 ]\n"
                             " /Contents  [  6 0 R  4 0 R   7 0 R  ] >>\nendobj\n");
}

TEST(PageRewriter, FailsClearlyBeforeWritingAnythingForAPageItCannotRewrite) {
    const std::string ascii85 = "<< /Length 5 /Filter /ASCII85Decode >>\nstream\nabcde\nendstream";
    InputJob job(onePage("/Contents 4 0 R", {{9, "null"}}));
    PageRecord unreadable = job.records.at(0);
    unreadable.objectNumber = 8;  // a free entry
    const std::string error = errorOf([&] { job.rewrite(unreadable); });
    EXPECT_NE(error.find("page object 8"), std::string::npos) << error;
    job.settings.pageScaleX = std::nan("");
    EXPECT_NE(errorOf([&] { job.rewrite(job.records.at(0)); }), "<no error>");
    EXPECT_EQ(job.output().position(), 0u);
    EXPECT_EQ(job.output().tableSize(), 10u);
    // The reader's error for a content filter it does not know passes out unchanged.
    InputJob other(onePage("/Contents 5 0 R", {{5, ascii85}}));
    EXPECT_NE(errorOf([&] { other.rewrite(0); }).find("Stream filter not supported"), std::string::npos);
}

}  // namespace
