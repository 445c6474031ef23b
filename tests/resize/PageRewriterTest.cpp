#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "pdf/objects/PdfException.h"
#include "tests/resize/PageJobFixture.h"
#include "tests/support/PdfBuilder.h"

namespace {

constexpr char kScaleStream200[] = "10 0 obj\n<<\n/Length 23 >>\nstream\nq\n2.00 0 0 2.00 0 0 cm\nendstream\nendobj\n";
constexpr char kRestoreStream[] = "11 0 obj\n<<\n/Length 2 >>\nstream\nQ\nendstream\nendobj\n";
constexpr char kLetterBox[] = "/MediaBox [ 0.000000 0.000000 612.000000 792.000000 ]\n";

// Catalog 1, page tree 2 (with `treeEntries`), the one page 3 (`pageBody`), content streams 4
// and 5, resources 6, and objects up to 9: ten entries, so the first new objects are 10 and 11.
// `extra` adds or replaces objects; object 8 is left free.
std::string tenEntryDocument(const std::string& pageBody, const std::map<int, std::string>& extra = {},
                             const std::string& treeEntries = "/MediaBox [0 0 612 792]") {
    std::map<int, std::string> objects = {
        {1, "<< /Type /Catalog /Pages 2 0 R >>"},
        {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 " + treeEntries + " >>"},
        {3, pageBody},
        {6, "<< /ProcSet [/PDF] >>"},
        {7, "[4 0 R 5 0 R]"},
        {9, "<< /Producer (test) >>"},
    };
    for (const auto& object : extra) objects[object.first] = object.second;
    PdfBuilder builder;
    for (const auto& object : objects) builder.addObject(object.first, object.second);
    if (!objects.count(4)) builder.addStream(4, "", "0 0 m 100 100 l S");
    if (!objects.count(5)) builder.addStream(5, "", "BT ET");
    builder.setTrailer("/Root 1 0 R");
    return builder.build();
}

TEST(PageRewriter, WrapsASingleContentStreamByteForByte) {
    PageJob job(tenEntryDocument("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R/Resources 6 0 R >>"),
                {"-scale200"});
    job.rewrite(0);
    const std::string expectedPage =
        "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [ 0.000000 0.000000 1224.000000 1584.000000 ]\n"
        " /Contents  [  10 0 R  4 0 R   11 0 R  ] /Resources 6 0 R >>\nendobj\n";
    EXPECT_EQ(job.finish(), std::string(kScaleStream200) + kRestoreStream + expectedPage);

    ASSERT_EQ(job.output().tableSize(), 12u);
    const uint32_t restoreOffset = sizeof kScaleStream200 - 1;
    const uint32_t pageOffset = restoreOffset + sizeof kRestoreStream - 1;
    const uint32_t rows[][2] = {{10, 0}, {11, restoreOffset}, {3, pageOffset}};
    for (const auto& row : rows) {
        EXPECT_TRUE(job.output().row(row[0]).written) << row[0];
        EXPECT_EQ(job.output().row(row[0]).offset, row[1]) << row[0];
        EXPECT_EQ(job.output().row(row[0]).generation, 0u) << row[0];
    }
}

TEST(PageRewriter, PutsTheNewStreamsIntoEveryKindOfContentsEntry) {
    struct Case {
        const char* name;
        std::string contents;      // the page's Contents entry in the input
        std::string expected;      // the page object written
    };
    const std::string head = "3 0 obj\n<<\n";
    const std::string tail = " >>\nendobj\n";
    const Case cases[] = {
        {"direct array", "/Contents [4 0 R 5 0 R]",
         head + kLetterBox + " /Type /Page /Parent 2 0 R /Contents [ 10 0 R  4 0 R  5 0 R   11 0 R ]" + tail},
        {"array with a non-reference", "/Contents [4 0 R null 5 0 R]",
         head + kLetterBox + " /Type /Page /Parent 2 0 R /Contents [ 10 0 R  4 0 R  5 0 R   11 0 R ]" + tail},
        {"no contents", "",
         "3 0 obj\n<</Contents [  10 0 R   11 0 R  ]\n\n" + std::string(kLetterBox) + " /Type /Page /Parent 2 0 R " +
             tail},
        {"reference, line feed before the next key", "/Contents 4 0 R\n/Rotate 0",
         head + kLetterBox + " /Type /Page /Parent 2 0 R /Contents  [  10 0 R  4 0 R   11 0 R  ] \n/Rotate 0" + tail},
        {"reference to a free object", "/Contents 8 0 R",
         head + kLetterBox + " /Type /Page /Parent 2 0 R /Contents  [  10 0 R  8 0 R   11 0 R  ] " + tail.substr(1)},
        {"key that is a prefix", "/ContentsX 5 0 R /Contents 4 0 R",
         head + kLetterBox + " /Type /Page /Parent 2 0 R /ContentsX 5 0 R /Contents  [  10 0 R  4 0 R   11 0 R  ] " +
             tail.substr(1)},
        {"not a reference", "/Contents 5", head + kLetterBox + " /Type /Page /Parent 2 0 R /Contents 5" + tail},
    };
    for (const Case& c : cases) {
        PageJob job(tenEntryDocument("<< /Type /Page /Parent 2 0 R " + c.contents + " >>"));
        job.rewrite(0);
        job.finish();
        EXPECT_EQ(job.object(3), c.expected) << c.name;
        // The two streams are written in every case, referenced or not.
        EXPECT_EQ(job.object(11), kRestoreStream) << c.name;
        EXPECT_LT(job.output().row(11).offset, job.output().row(3).offset) << c.name;
    }
}

TEST(PageRewriter, RewritesAContentsArrayObjectForEachPageThatSharesIt) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R 8 0 R] /Count 2 /MediaBox [0 0 100 100] >>");
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /Contents 7 0 R >>");
    builder.addStream(4, "", "0 0 m");
    builder.addStream(5, "", "1 1 l");
    builder.addObject(7, "[4 0 R\n5 0 R]");
    builder.addObject(8, "<< /Type /Page /Parent 2 0 R /Contents 7 0 R >>");
    builder.addObject(9, "null");
    builder.setTrailer("/Root 1 0 R");
    PageJob job(builder.build());
    job.rewrite(0);
    const uint32_t firstCopy = job.output().row(7).offset;
    job.rewrite(1);
    const std::string& out = job.finish();

    const std::string firstArray = "7 0 obj\n[ 10 0 R  4 0 R  5 0 R   11 0 R ]\nendobj\n";
    EXPECT_EQ(out.substr(firstCopy, firstArray.size()), firstArray);
    // The output refers to the copy of the later page, with its own streams 12 and 13.
    EXPECT_EQ(job.object(7), "7 0 obj\n[ 12 0 R  4 0 R  5 0 R   13 0 R ]\nendobj\n");
    EXPECT_EQ(job.output().tableSize(), 14u);
    // Order per page: streams, array object, page object; the page text keeps its reference.
    EXPECT_LT(job.output().row(13).offset, job.output().row(7).offset);
    EXPECT_LT(job.output().row(7).offset, job.output().row(8).offset);
    EXPECT_NE(job.object(8).find("/Contents 7 0 R"), std::string::npos);
    EXPECT_NE(job.object(3).find("/Contents 7 0 R"), std::string::npos);
}

TEST(PageRewriter, WritesOnlyTheBoxesThePageOwnsOrMustInherit) {
    PageJob job(tenEntryDocument("<< /Type /Page /Parent 2 0 R /ArtBox [10 10 50 50] /Contents 4 0 R >>", {},
                                 "/MediaBox [0 0 200 100] /CropBox [5 5 195 95] /TrimBox [1 1 2 2]"),
                {"-scalex200", "-scaley50"});
    job.rewrite(0);
    job.finish();
    EXPECT_EQ(job.object(3),
              "3 0 obj\n<<\n/CropBox [ 10.000000 2.500000 390.000000 47.500000 ]\n"
              "\n/MediaBox [ 0.000000 0.000000 400.000000 50.000000 ]\n"
              " /Type /Page /Parent 2 0 R /ArtBox [ 20.000000 5.000000 100.000000 25.000000 ]\n"
              " /Contents  [  10 0 R  4 0 R   11 0 R  ] >>\nendobj\n");
}

TEST(PageRewriter, KeepsThePageGenerationAndRebuildsPagesFromObjectStreams) {
    {
        PdfBuilder builder;
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [3 2 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] /Contents 4 0 R >>", 2);
        builder.addStream(4, "", "0 0 m");
        builder.setTrailer("/Root 1 0 R");
        PageJob job(builder.build());
        job.rewrite(0);
        job.finish();
        EXPECT_EQ(job.output().row(3).generation, 2u);
        EXPECT_EQ(job.object(3).rfind("3 2 obj\n", 0), 0u) << job.object(3);
    }
    {
        PdfBuilder builder;
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] /Contents 4 0 R >>");
        builder.addStream(4, "", "0 0 m");
        builder.putInObjectStream(5, {2, 3});
        builder.setTrailer("/Root 1 0 R");
        PdfBuilder::Options options;
        options.xrefStream = true;
        PageJob job(builder.build(options), {"-scale50"});
        job.rewrite(0);
        job.finish();
        const uint32_t first = static_cast<uint32_t>(job.xref().getEntries().size());
        EXPECT_EQ(job.output().row(3).generation, 0u);
        EXPECT_EQ(job.object(3).rfind("3 0 obj\r", 0), 0u) << job.object(3);
        EXPECT_NE(job.object(3).find("/MediaBox [ 0.000000 0.000000 5.000000 5.000000 ]\n"), std::string::npos);
        EXPECT_NE(job.object(3).find("/Contents  [  " + std::to_string(first) + " 0 R  4 0 R   " +
                                     std::to_string(first + 1) + " 0 R  ] "),
                  std::string::npos)
            << job.object(3);
    }
}

TEST(PageRewriter, FailsClearlyBeforeWritingAnythingForAPageItCannotRewrite) {
    PageJob job(tenEntryDocument("<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>"));
    PageRecord unreadable = job.records().at(0);
    unreadable.objectNumber = 8;  // a free entry
    try {
        PageRewriter(job.job()).rewritePage(unreadable);
        FAIL() << "an unreadable page was rewritten";
    } catch (const CPdfException& error) {
        EXPECT_NE(std::string(error.getMessage()).find("page object 8"), std::string::npos) << error.getMessage();
    }

    job.settings().pageScaleX = std::nan("");
    EXPECT_THROW(PageRewriter(job.job()).rewritePage(job.records().at(0)), CPdfException);
    EXPECT_EQ(job.output().position(), 0u);
    EXPECT_EQ(job.output().tableSize(), 10u);
}

TEST(PageRewriter, PassesTheReadersErrorForAnUnsupportedContentFilter) {
    PageJob job(tenEntryDocument("<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>",
                                 {{4, "<< /Length 5 /Filter /ASCII85Decode >>\nstream\nabcde\nendstream"}}));
    try {
        job.rewrite(0);
        FAIL() << "the content stream was accepted";
    } catch (const CPdfException& error) {
        EXPECT_NE(std::string(error.getMessage()).find("Stream filter not supported"), std::string::npos)
            << error.getMessage();
    }
}

}  // namespace
