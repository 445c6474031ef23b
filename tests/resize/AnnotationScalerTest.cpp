#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/resize/PageJobFixture.h"
#include "tests/support/PdfBuilder.h"

namespace {

// Catalog 1, page tree 2, page 3 with `pageEntries` and content 4, then `extra` objects.
std::string pageWithAnnotations(const std::string& pageEntries, const std::map<int, std::string>& extra) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>");
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R " + pageEntries + " >>");
    builder.addStream(4, "", "0 0 m");
    for (const auto& object : extra) builder.addObject(object.first, object.second);
    builder.setTrailer("/Root 1 0 R");
    return builder.build();
}

std::string rewrittenAnnotation(const std::vector<const char*>& options, const std::string& annotation) {
    PageJob job(pageWithAnnotations("/Annots [5 0 R]", {{5, annotation}}), options);
    job.rewrite(0);
    job.finish();
    return job.object(5);
}

TEST(AnnotationScaler, ScalesRectanglesByTheContentFactorsOnly) {
    struct Case {
        std::vector<const char*> options;
        const char* rect;
    };
    const Case cases[] = {
        {{"-scale50"}, "[ 50.00  100.00  150.00  200.00 ]"},
        {{"-scalex200", "-scaley100"}, "[ 200.00  200.00  600.00  400.00 ]"},
        // Box factors 200 and 100; with -con the content takes the smaller for both.
        {{"-pagesize", "0,0,1224,792", "-con"}, "[ 100.00  200.00  300.00  400.00 ]"},
        // Offsets and centring move the boxes, never the content.
        {{"-scale50", "-offsetx30", "-offsety-7"}, "[ 50.00  100.00  150.00  200.00 ]"},
        {{"-pagesize", "0,0,306,500", "-con", "-center"}, "[ 50.00  100.00  150.00  200.00 ]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rewrittenAnnotation(c.options, "<< /Type /Annot /Subtype /Square /Rect [100 200 300 400] /F 4 >>"),
                  std::string("5 0 obj\n<< /Type /Annot /Subtype /Square /Rect ") + c.rect + " /F 4 >>\nendobj\n")
            << c.options.front();
    }
}

TEST(AnnotationScaler, EditsOnlyTheAnnotationsOwnRect) {
    // A private dictionary with a /Rect of its own comes first and keeps it.
    EXPECT_EQ(rewrittenAnnotation({"-scale200"},
                                  "<< /MK << /Rect [1 2 3 4] >> /T (/Rect [5 5 5 5]) /Rect [10 20 30 40.5] >>"),
              "5 0 obj\n<< /MK << /Rect [1 2 3 4] >> /T (/Rect [5 5 5 5]) /Rect [ 20.00  40.00  60.00  81.00 ] >>\n"
              "endobj\n");
    // Only nested ones: the annotation has no /Rect, and is written again unchanged.
    EXPECT_EQ(rewrittenAnnotation({"-scale200"}, "<< /MK << /Rect [1 2 3 4] >> >>"),
              "5 0 obj\n<< /MK << /Rect [1 2 3 4] >> >>\nendobj\n");
    // A rectangle that is not all numbers is left as it is rather than emptied.
    EXPECT_EQ(rewrittenAnnotation({"-scale200"}, "<< /Rect [1 2 /X 4] >>"), "5 0 obj\n<< /Rect [1 2 /X 4] >>\nendobj\n");
}

TEST(AnnotationScaler, ReplacesARectGivenByReferenceWithTheScaledArray) {
    PageJob job(pageWithAnnotations("/Annots [5 0 R]", {{5, "<< /Subtype /Link /Rect 6 0 R\n/Border [0 0 0] >>"},
                                                        {6, "[100 200 300 400]"}}),
                {"-scale50"});
    job.rewrite(0);
    job.finish();
    EXPECT_EQ(job.object(5), "5 0 obj\n<< /Subtype /Link /Rect [ 50.00  100.00  150.00  200.00 ]\n/Border [0 0 0] >>\n"
                             "endobj\n");
    EXPECT_FALSE(job.output().row(6).written);  // the array object itself is not the page's to change
}

TEST(AnnotationScaler, WritesAnnotationsInOrderBeforeThePageAndSkipsUnreadableOnes) {
    PageJob job(pageWithAnnotations("/Annots 9 0 R", {{5, "<< /Rect [0 0 10 10] >>"},
                                                      {6, "<< /Subtype /Popup >>"},
                                                      {9, "[6 0 R 8 0 R 5 0 R]"}}),
                {"-scale300"});
    job.rewrite(0);
    job.finish();
    EXPECT_EQ(job.object(5), "5 0 obj\n<< /Rect [ 0.00  0.00  30.00  30.00 ] >>\nendobj\n");
    EXPECT_EQ(job.object(6), "6 0 obj\n<< /Subtype /Popup >>\nendobj\n");
    EXPECT_LT(job.output().row(6).offset, job.output().row(5).offset);
    EXPECT_LT(job.output().row(5).offset, job.output().row(3).offset);
    // Object 8 does not exist: no row may point at bytes that are not its own.
    EXPECT_FALSE(job.output().row(8).written);
    EXPECT_FALSE(job.output().row(9).written);  // an array of references needs no change
}

TEST(AnnotationScaler, ScalesDirectAnnotationDictionariesWhereTheyStand) {
    // In the page's own Annots array: the page text is edited, and the annotation's /Contents
    // text, which comes before the page's own /Contents, is not taken for it.
    {
        PdfBuilder builder;
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R /Annots [ << /Subtype /Text /Contents (see 4 0 R) "
                             "/Rect [10 10 20 20] >> 5 0 R <</Rect[1 1 2 2]>> ] /Contents 4 0 R >>");
        builder.addStream(4, "", "0 0 m");
        builder.addObject(5, "<< /Rect [0 0 1 1] >>");
        builder.setTrailer("/Root 1 0 R");
        PageJob job(builder.build(), {"-scale200"});
        job.rewrite(0);
        job.finish();
        EXPECT_EQ(job.object(3),
                  "3 0 obj\n<<\n/MediaBox [ 0.000000 0.000000 1224.000000 1584.000000 ]\n"
                  " /Type /Page /Parent 2 0 R /Annots [ << /Subtype /Text /Contents (see 4 0 R) "
                  "/Rect [ 20.00  20.00  40.00  40.00 ] >> 5 0 R <</Rect[ 2.00  2.00  4.00  4.00 ]>> ] "
                  "/Contents  [  6 0 R  4 0 R   7 0 R  ] >>\nendobj\n");
        EXPECT_EQ(job.object(5), "5 0 obj\n<< /Rect [ 0.00  0.00  2.00  2.00 ] >>\nendobj\n");
    }
    // In an Annots array object: that object is written again.
    {
        PageJob job(pageWithAnnotations("/Annots 9 0 R", {{9, "[<< /Rect [4 4 8 8] >>]"}}), {"-scale50"});
        job.rewrite(0);
        job.finish();
        EXPECT_EQ(job.object(9), "9 0 obj\n[<< /Rect [ 2.00  2.00  4.00  4.00 ] >>]\nendobj\n");
        EXPECT_LT(job.output().row(9).offset, job.output().row(3).offset);
    }
}

TEST(AnnotationScaler, SharedAnnotationEndsWithTheRectOfTheLaterPage) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 2 >>");
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Annots [5 0 R] >>");
    builder.addObject(5, "<< /Rect [10 10 20 20] >>");
    builder.addObject(6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 50 50] /Annots [5 0 R] >>");
    builder.setTrailer("/Root 1 0 R");
    // The second page's factors differ: the page size is fitted to each MediaBox.
    PageJob job(builder.build(), {"-pagesize", "0,0,200,200"});
    job.rewrite(0);
    job.rewrite(1);
    job.finish();
    // From the input's bytes each time: 4x for the second page, not 2x then 4x.
    EXPECT_EQ(job.object(5), "5 0 obj\n<< /Rect [ 40.00  40.00  80.00  80.00 ] >>\nendobj\n");
}

}  // namespace
