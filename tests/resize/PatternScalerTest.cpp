#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/resize/PageJobFixture.h"
#include "tests/support/PdfBuilder.h"

namespace {

// -scalex200 -scaley150: x values double, y values grow by half.
const std::vector<const char*> kUnevenScale = {"-scalex200", "-scaley150"};
constexpr char kScaledIdentity[] = " 2.000000  0.000000  0.000000  1.500000  0.000000  0.000000 ";

// Catalog 1, page tree 2 (with `treeEntries`), page 3 (with `pageEntries`), content 4, then `extra`.
PdfBuilder patternDocument(const std::string& pageEntries, const std::map<int, std::string>& extra,
                           const std::string& treeEntries = "") {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] " + treeEntries + " >>");
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R " + pageEntries + " >>");
    builder.addStream(4, "", "/Pattern cs /P1 scn 0 0 100 100 re f");
    for (const auto& object : extra) builder.addObject(object.first, object.second);
    builder.setTrailer("/Root 1 0 R");
    return builder;
}

const char kShading[] = "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 50] /Function 7 0 R >>";

TEST(PatternScaler, MultipliesEachKindOfMatrixByTheContentFactors) {
    struct Case {
        const char* name;
        std::string pattern;
        std::string expected;
    };
    const std::string head = "5 0 obj\n<< /PatternType 2 ";
    const std::string tail = " /Shading " + std::string(kShading) + " >>\nendobj\n";
    const Case cases[] = {
        {"direct array", head + "/Matrix [1 0.5 -2 1 10 20]" + tail,
         head + "/Matrix [ 2.000000  0.750000  -4.000000  1.500000  20.000000  30.000000 ]" + tail},
        {"by reference", head + "/Matrix 6 0 R" + tail,
         head + "/Matrix [ 0.000000  1.500000  -2.000000  0.000000  200.000000  -15.000000 ]" + tail},
        {"absent", head.substr(0, head.size() - 1) + tail,
         "5 0 obj\n<<\n/Matrix [" + std::string(kScaledIdentity) + "]\n /PatternType 2" + tail},
        {"other value", head + "/Matrix /Identity" + tail, head + "/Matrix /Identity" + tail},
        {"wrong count", head + "/Matrix [1 0 0 1]" + tail, head + "/Matrix [1 0 0 1]" + tail},
        {"only nested", "5 0 obj\n<< /PatternType 2 /Shading << /Matrix [1 0 0 1 0 0] >> >>\nendobj\n",
         "5 0 obj\n<<\n/Matrix [" + std::string(kScaledIdentity) +
             "]\n /PatternType 2 /Shading << /Matrix [1 0 0 1 0 0] >> >>\nendobj\n"},
    };
    for (const Case& c : cases) {
        PdfBuilder builder = patternDocument("/Resources << /Pattern << /P1 5 0 R >> >>", {{6, "[0 1 -1 0 100 -10]"}});
        builder.addRawObject(5, c.pattern);
        PageJob job(builder.build(), kUnevenScale);
        job.rewrite(0);
        job.finish();
        // The shading's Coords keep their values: the matrix alone carries the scale.
        EXPECT_EQ(job.object(5), c.expected) << c.name;
        EXPECT_LT(job.output().row(5).offset, job.output().row(3).offset) << c.name;
    }
}

TEST(PatternScaler, RewritesTilingPatternsWithoutTouchingTheirData) {
    PdfBuilder builder = patternDocument("/Resources 8 0 R", {{8, "<< /Pattern << /T1 5 0 R >> >>"}});
    const std::string data = "/Matrix [9 9 9 9 9 9] 0 0 10 10 re f\n";
    builder.addStream(5, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10 "
                         "/Resources << >> /Matrix [1 0 0 1 5 5]", data);
    PageJob job(builder.build(), kUnevenScale);
    job.rewrite(0);
    job.finish();
    const std::string expected =
        "5 0 obj\n<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10 /Resources << >> "
        "/Matrix [ 2.000000  0.000000  0.000000  1.500000  10.000000  7.500000 ] /Length " +
        std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream\nendobj\n";
    EXPECT_EQ(job.object(5), expected);
}

TEST(PatternScaler, TakesResourcesFromThePageOrItsParentOnly) {
    const std::string plain = "<< /PatternType 2 /Matrix [1 0 0 1 0 0] /Shading 7 0 R >>";
    const std::string scaled =
        "5 0 obj\n<< /PatternType 2 /Matrix [ 2.000000  0.000000  0.000000  1.500000  0.000000  0.000000 ] "
        "/Shading 7 0 R >>\nendobj\n";
    {
        PdfBuilder builder = patternDocument("", {{5, plain}, {7, kShading}},
                                             "/Resources << /Pattern << /P1 5 0 R >> >>");
        PageJob job(builder.build(), kUnevenScale);
        job.rewrite(0);
        job.finish();
        EXPECT_EQ(job.object(5), scaled);
        EXPECT_FALSE(job.output().row(7).written);  // a shading object of its own keeps its Coords
    }
    {
        // Resources on the grandparent only: not consulted.
        PdfBuilder builder;
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [6 0 R] /Count 1 /Resources << /Pattern << /P1 5 0 R >> >> >>");
        builder.addObject(6, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 6 0 R /MediaBox [0 0 10 10] >>");
        builder.addObject(5, plain);
        builder.addObject(7, kShading);
        builder.setTrailer("/Root 1 0 R");
        PageJob job(builder.build(), kUnevenScale);
        job.rewrite(0);
        EXPECT_FALSE(job.output().row(5).written);
    }
}

TEST(PatternScaler, WritesReadablePatternsInKeyOrderAfterTheAnnotations) {
    PdfBuilder builder = patternDocument(
        "/Annots [9 0 R] /Resources << /Pattern << /Zeta 5 0 R /Alpha 6 0 R /Direct << /PatternType 2 >> "
        "/Missing 8 0 R >> >>",
        {{5, "<< /PatternType 2 /Matrix [1 0 0 1 0 0] >>"},
         {6, "<< /PatternType 2 /Matrix [2 0 0 2 0 0] >>"},
         {9, "<< /Rect [0 0 1 1] >>"}});
    PageJob job(builder.build(), kUnevenScale);
    job.rewrite(0);
    job.finish();
    const OutputWriter& output = job.output();
    EXPECT_LT(output.row(9).offset, output.row(6).offset);  // annotation, then Alpha, Zeta, page
    EXPECT_LT(output.row(6).offset, output.row(5).offset);
    EXPECT_LT(output.row(5).offset, output.row(3).offset);
    EXPECT_FALSE(output.row(8).written);
    EXPECT_EQ(job.object(6),
              "6 0 obj\n<< /PatternType 2 /Matrix [ 4.000000  0.000000  0.000000  3.000000  0.000000  0.000000 ] >>\n"
              "endobj\n");
    // The direct pattern stays where it stands, in the page's resources.
    EXPECT_NE(job.object(3).find("/Direct << /PatternType 2 >>"), std::string::npos);
}

}  // namespace
