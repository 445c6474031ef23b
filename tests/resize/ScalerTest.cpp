#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/resize/ResizeFixtures.h"

namespace {

// Object `number` as written after rewriting the first page of `pdf`.
std::string rewritten(const std::string& pdf, const std::vector<const char*>& options, uint32_t number) {
    InputJob job(pdf, options);
    job.rewrite(0);
    job.finish();
    return job.object(number);
}

// Annotations are scaled by the content factors: offsets and centring move the boxes, never the content.
TEST(AnnotationScaler, ScalesTheAnnotationsOwnRectangle) {
    const std::string rect = "<< /Rect [100 200 300 400] /F 4 >>";
    const std::tuple<std::vector<const char*>, std::string, std::string> cases[] = {  // options, input, output
        {{"-scale50"}, rect, "<< /Rect [ 50.00  100.00  150.00  200.00 ] /F 4 >>"},
        {{"-scalex200", "-scaley100"}, rect, "<< /Rect [ 200.00  200.00  600.00  400.00 ] /F 4 >>"},
        {{"-pagesize", "0,0,1224,792", "-con"}, rect, "<< /Rect [ 100.00  200.00  300.00  400.00 ] /F 4 >>"},
        {{"-scale50", "-offsetx30", "-offsety-7"}, rect, "<< /Rect [ 50.00  100.00  150.00  200.00 ] /F 4 >>"},
        {{"-pagesize", "0,0,306,500", "-con", "-center"}, rect, "<< /Rect [ 50.00  100.00  150.00  200.00 ] /F 4 >>"},
        // A private dictionary's /Rect and one inside a string come first and stay.
        {{"-scale200"}, "<< /MK << /Rect [1 2 3 4] >> /T (/Rect [5 5 5 5]) /Rect [10 20 30 40.5] >>",
         "<< /MK << /Rect [1 2 3 4] >> /T (/Rect [5 5 5 5]) /Rect [ 20.00  40.00  60.00  81.00 ] >>"},
        {{"-scale200"}, "<< /MK << /Rect [1 2 3 4] >> >>", "<< /MK << /Rect [1 2 3 4] >> >>"},
        {{"-scale200"}, "<< /Rect [1 2 /X 4] >>", "<< /Rect [1 2 /X 4] >>"},  // left as is rather than emptied
        {{"-scale50"}, "<< /Rect 6 0 R\n/F 4 >>", "<< /Rect [ 50.00  100.00  150.00  200.00 ]\n/F 4 >>"},
    };
    for (const auto& [options, annotation, expected] : cases) {
        const std::string pdf = onePage("/Annots [5 0 R]", {{5, annotation}, {6, "[100 200 300 400]"}});
        EXPECT_EQ(rewritten(pdf, options, 5), "5 0 obj\n" + expected + "\nendobj\n") << annotation;
        EXPECT_EQ(rewritten(pdf, options, 6), "<not written>") << "a Rect array object is not the page's";
    }
}

TEST(AnnotationScaler, ScalesDirectAnnotationDictionariesWhereTheyStand) {
    // In the page's own Annots: the annotation's /Contents text, before the page's own, is not taken for it.
    const std::string page = onePage("/Annots [ << /Subtype /Text /Contents (see 4 0 R) /Rect [10 10 20 20] >> 6 0 R "
                                     "<</Rect[1 1 2 2]>> ] /Contents 4 0 R", {{6, "<< /Rect [0 0 1 1] >>"}});
    EXPECT_EQ(rewritten(page, {"-scale200"}, 3),
              "3 0 obj\n<<\n/MediaBox [ 0.000000 0.000000 1224.000000 1584.000000 ]\n"
              " /Type /Page /Parent 2 0 R /Annots [ << /Subtype /Text /Contents (see 4 0 R) "
              "/Rect [ 20.00  20.00  40.00  40.00 ] >> 6 0 R <</Rect[ 2.00  2.00  4.00  4.00 ]>> ] "
              "/Contents  [  7 0 R  4 0 R   8 0 R  ] >>\nendobj\n");
    EXPECT_EQ(rewritten(page, {"-scale200"}, 6), "6 0 obj\n<< /Rect [ 0.00  0.00  2.00  2.00 ] >>\nendobj\n");
}

// -scalex200 -scaley150: x values double, y values grow by half.
const std::vector<const char*> kUnevenScale = {"-scalex200", "-scaley150"};
const std::string kScaledIdentity = "[ 2.000000  0.000000  0.000000  1.500000  0.000000  0.000000 ]";

// Patterns follow the content by their own /Matrix; the shading's Coords keep their values.
TEST(PatternScaler, MultipliesEachKindOfMatrixByTheContentFactors) {
    const std::string head = "<< /PatternType 2 ";
    const std::string tail = " /Shading << /ShadingType 2 /Coords [0 0 100 50] >> >>";
    const std::string inserted = "<<\n/Matrix " + kScaledIdentity + "\n /PatternType ";
    const std::string tiling = "1 /Resources << /Matrix [3 3 3 3 3 3] >> /Length 7 >>\nstream\n/Matrix\nendstream";
    const std::string cases[][2] = {
        {head + "/Matrix [1 0.5 -2 1 10 20]" + tail,
         head + "/Matrix [ 2.000000  0.750000  -4.000000  1.500000  20.000000  30.000000 ]" + tail},
        {head + "/Matrix 6 0 R" + tail,
         head + "/Matrix [ 0.000000  1.500000  -2.000000  0.000000  200.000000  -15.000000 ]" + tail},
        {head + tail.substr(1), inserted + "2" + tail},
        {head + "/Matrix /Identity" + tail, head + "/Matrix /Identity" + tail},
        {head + "/Matrix [1 0 0 1]" + tail, head + "/Matrix [1 0 0 1]" + tail},
        {head + "/Shading << /Matrix [1 0 0 1 0 0] >> >>", inserted + "2 /Shading << /Matrix [1 0 0 1 0 0] >> >>"},
        // A tiling pattern is a stream: its dictionary gets the matrix, its data (naming one) stays.
        {"<< /PatternType " + tiling, inserted + tiling},
    };
    for (const auto& c : cases) {
        const std::string pdf =
            onePage("/Resources << /Pattern << /P 5 0 R >> >>", {{5, c[0]}, {6, "[0 1 -1 0 100 -10]"}});
        EXPECT_EQ(rewritten(pdf, kUnevenScale, 5), "5 0 obj\n" + c[1] + "\nendobj\n");
    }
}

TEST(PatternScaler, TakesResourcesFromThePageOrItsParentOnly) {
    const std::string pattern = "<< /PatternType 2 /Matrix [1 0 0 1 0 0] /Shading 7 0 R >>";
    const std::string parent =
        onePage("", {{5, pattern}, {7, "<< /Coords [0 0 1 1] >>"}}, "/Resources << /Pattern << /P1 5 0 R >> >>");
    EXPECT_EQ(rewritten(parent, kUnevenScale, 5),
              "5 0 obj\n<< /PatternType 2 /Matrix " + kScaledIdentity + " /Shading 7 0 R >>\nendobj\n");
    EXPECT_EQ(rewritten(parent, kUnevenScale, 7), "<not written>") << "a shading object of its own is left alone";
    const std::string grandparent = tree({"<< /Kids [3 0 R] /Count 1 /Resources << /Pattern << /P1 5 0 R >> >> >>",
                                          "<< /Kids [4 0 R] /Count 1 >>", "<< /Parent 3 0 R >>", pattern});
    EXPECT_EQ(rewritten(grandparent, kUnevenScale, 5), "<not written>") << "a grandparent is not consulted";
}

TEST(Scalers, WriteReadableObjectsInOrderBeforeThePage) {
    InputJob job(onePage("/Annots 9 0 R /Resources << /Pattern << /Zeta 5 0 R /Alpha 6 0 R "
                         "/Direct << /PatternType 2 >> /Missing 8 0 R >> >>",
                         {{5, "<< /PatternType 2 /Matrix [1 0 0 1 0 0] >>"}, {6, "<< /PatternType 2 >>"},
                          {9, "[11 0 R 8 0 R 10 0 R]"}, {10, "<< /Rect [0 0 10 10] >>"}, {11, "<< /Subtype /T >>"}}),
                 kUnevenScale);
    job.rewrite(0);
    job.finish();
    // Annotations in Annots order, then patterns in key order, then the page.
    const uint32_t order[] = {11, 10, 6, 5, 3};
    for (size_t i = 0; i + 1 < 5; ++i) {
        EXPECT_LT(job.output().row(order[i]).offset, job.output().row(order[i + 1]).offset) << order[i];
    }
    EXPECT_EQ(job.object(10), "10 0 obj\n<< /Rect [ 0.00  0.00  20.00  15.00 ] >>\nendobj\n");
    EXPECT_EQ(job.object(11), "11 0 obj\n<< /Subtype /T >>\nendobj\n") << "written again, unchanged";
    EXPECT_EQ(job.object(8), "<not written>") << "no row may point at bytes that are not its own";
    EXPECT_EQ(job.object(9), "<not written>") << "an array of references needs no change";
    EXPECT_NE(job.object(3).find("/Direct << /PatternType 2 >>"), std::string::npos) << "a direct pattern stays";
}

}  // namespace
