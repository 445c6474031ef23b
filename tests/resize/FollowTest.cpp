// Under -page a4 page 1 (1190 x 1684) is halved and page 2 (595 x 842) stays: numbers show whose transform they took.

#include <map>
#include <string>
#include <vector>

#include "tests/resize/ResizeFixtures.h"

namespace {

const std::map<int, std::string> kObjects = {
    {1, "<< /Type /Catalog /Pages 2 0 R /Outlines 20 0 R /Dests 30 0 R /Names << /Dests 31 0 R >> "
        "/OpenAction [4 0 R /XYZ null 1600 null] /Threads [40 0 R] >>"},
    {2, "<< /Type /Pages /Kids [4 0 R 6 0 R] /Count 2 >>"},
    {4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1190 1684] /Contents 5 0 R "
        "/Annots [10 0 R 11 0 R 12 0 R 13 0 R 14 0 R 15 0 R 16 0 R] /VP [<< /BBox [0 0 600 800] >>] >>"},
    {5, "<< /Length 8 >>\nstream\n0 0 m S\nendstream"},
    {6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 5 0 R /Annots 7 0 R >>"},
    {7, "[16 0 R 15 0 R]"},
    {10, "<< /Subtype /Highlight /Rect [100 200 300 400] /QuadPoints [100 400 300 400 100 200 300 200] >>"},
    {11, "<< /Subtype /Link /Rect [0 0 10 10] /Dest [6 0 R /XYZ 10 300 2] >>"},
    {12, "<< /Subtype /Ink /Rect [0 0 10 10] /InkList [[2 4 6 8] [10 12]] >>"},
    {13, "<< /Subtype /FreeText /Rect [0 0 10 10] /CL [2 4 6 8] /RD [2 4 6 8] /Vertices 17 0 R >>"},
    {14, "<< /Subtype /Line /L [2 4 6 8] /A << /S /GoTo /D [4 0 R /FitH 500] /Next 18 0 R >> >>"},
    {15, "<< /Subtype /Widget /FT /Tx /Rect [0 0 10 10] >>"},
    {16, "<< /Subtype /Square /Rect [0 0 10 10] /P 4 0 R /Dest 19 0 R >>"},
    {17, "[20 40]"},
    {18, "<< /S /GoTo /D [6 0 R /FitR 10 20 100 200] /Next [18 0 R << /S /GoTo /D [4 0 R /FitV 8] >>] >>"},
    {19, "[4 0 R /Fit]"},
    {20, "<< /First 21 0 R /Last 22 0 R >>"},
    {21, "<< /Title (a) /Dest [4 0 R /XYZ 72 700 0] /Next 22 0 R >>"},
    {22, "<< /Title (b) /A << /S /GoTo /D [6 0 R /FitV 50] >> /Next 21 0 R /First 21 0 R >>"},
    {30, "<< /one [4 0 R /FitBH 300] /two << /D [6 0 R /FitBV 20] >> /three [3 /XYZ 1 2 3] >>"},
    {31, "<< /Kids [32 0 R] >>"},
    {32, "<< /Names [(x) [4 0 R /XYZ null 100 null] (y) 33 0 R] /Kids [31 0 R] >>"},
    {33, "[6 0 R /FitH 10]"},
    {40, "<< /F 41 0 R >>"},
    {41, "<< /P 4 0 R /R [10 20 30 40] /N 41 0 R >>"},
};

std::string ref(size_t number) { return std::to_string(number) + " 0 R"; }

class Follow : public WholeJob {
protected:
    // Runs the job on kObjects with `changes`; returns the console.
    std::string resize(const std::map<int, std::string>& changes, const std::vector<std::string>& options) {
        std::map<int, std::string> objects = kObjects;
        for (const auto& [number, body] : changes) objects[number] = body;
        const JobRun job = WholeJob::resize(pdfOf(objects), options);
        EXPECT_EQ(job.error, "<no error>");
        in = std::make_unique<InputJob>(readFile(input));
        out = std::make_unique<InputJob>(job.output);
        return job.console;
    }
    // What each object's output holds (the whole object where it is unchanged).
    void expectHolds(const std::map<uint32_t, std::string>& expected) {
        for (const auto& [number, text] : expected) EXPECT_NE(out->raw(number).find(text), std::string::npos) << number;
    }

    std::unique_ptr<InputJob> in, out;
};

TEST_F(Follow, EveryPlaceFollowsTheContentOfThePageItNames) {
    const std::string console = resize({}, {"-page", "a4"});
    EXPECT_NE(console.find("Warning: annotation object 15 is on pages resized differently and cannot be copied (a "
                           "form field, or an encrypted file): it follows the first of them, or one left as it is\n"),
              std::string::npos) << console;
    // Loops end, nulls stay; the square is on both pages: page 1 keeps it (and the field), page 2 gets a copy.
    expectHolds({
        {1, "/OpenAction [4 0 R /XYZ null 800.00 null]"},
        {13, "/CL [ 1.00  2.00  3.00  4.00 ] /RD [ 1.00  2.00  3.00  4.00 ] /Vertices [ 10.00  20.00 ]"},
        {17, "17 0 obj\n[20 40]"},
        {18, "/D [6 0 R /FitR 10.00 20.00 100.00 200.00] /Next [18 0 R << /S /GoTo /D [4 0 R /FitV 4.00] >>]"},
        {30, "/one [4 0 R /FitBH 150.00] /two << /D [6 0 R /FitBV 20.00] >> /three [3 /XYZ 1 2 3]"},
        {33, "[6 0 R /FitH 10.00]"}, {15, "/Rect [ 0.00  0.00  5.00  5.00 ]"},
        {16, "/Rect [ 0.00  0.00  5.00  5.00 ] /P 4 0 R"},
    });
    const size_t copy = in->entries().size() + 4;  // after four new streams
    EXPECT_EQ(out->raw(copy), std::to_string(copy) + " 0 obj\n<< /Subtype /Square /Rect [ 0.00  0.00  10.00  10.00 ] "
                              "/P 6 0 R /Dest 19 0 R >>\nendobj\n");
    EXPECT_EQ(out->raw(7), "7 0 obj\n[" + ref(copy) + " 15 0 R]\nendobj\n");
}

// Pages not rewritten keep their bytes; a popup goes with its annotation into a copy of a shared Annots array.
TEST_F(Follow, PagesThatStayKeepTheirPlacesAndCopiesGoTogether) {
    resize({{4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1190 1684] /Contents 5 0 R /Annots 8 0 R >>"},
            {8, "[11 0 R 16 0 R]"}, {6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Annots 8 0 R >>"}},
           {"-page", "a4", "-s2"});
    for (int same : {4, 8, 10, 16, 17, 19, 21, 32, 41}) EXPECT_EQ(out->raw(same), in->raw(same)) << same;
    // The link and the square are also on the page that stays: the rewritten page takes copies.
    const size_t copy = in->entries().size() + 2;
    EXPECT_EQ(out->raw(copy + 2), std::to_string(copy + 2) + " 0 obj\n[" + ref(copy) + " " + ref(copy + 1) +
                                      "]\nendobj\n");
    expectHolds({{copy + 1, "/Rect [ 0.00  0.00  10.00  10.00 ] /P 6 0 R"}, {11, "/Dest [6 0 R /XYZ 10.00 300.00 2]"},
                 {30, "/one [4 0 R /FitBH 300] /two << /D [6 0 R /FitBV 20.00]"}});

    resize({{6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1190 1684] /Contents 5 0 R /Annots 7 0 R >>"},
            {4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 5 0 R /Annots 7 0 R >>"},
            {7, "[11 0 R]"}, {11, "<< /Subtype /Link /Rect [0 0 10 10] /Popup 12 0 R >>"},
            {12, "<< /Subtype /Popup /Rect [0 0 10 10] /Parent 11 0 R >>"}},
           {"-page", "a4"});
    const size_t link = in->entries().size() + 4;  // then the popup, then the array
    expectHolds({{7, "7 0 obj\n[11 0 R]\nendobj\n"}, {link + 2, "[" + ref(link) + "]"}, {link, "/Popup " + ref(link + 1)},
                 {link + 1, "/Parent " + ref(link)}, {6, "/Annots " + ref(link + 2)}});
}

// A content shift moves points and pattern translations, never margins; the rectangle is its moved corners' box.
TEST(FollowShift, PointsAndPatternOriginsMoveWithTheContent) {
    PageTransform shifted;
    shifted.contentFactors = {2, 1.5}, shifted.contentShiftX = 5, shifted.contentShiftY = -7;
    const std::map<int, std::string> objects = {
        {6, "<< /Rect [300 400 100 200] /QuadPoints [1 2] /RD [2 4 6 8] >>"},
        {7, "<< /PatternType 2 /Matrix [1 0.5 -2 1 10 20] >>"},
        {8, "<< /PatternType 2 >>"}};
    InputJob job(onePage("/Annots [6 0 R] /Resources << /Pattern << /A 7 0 R /B 8 0 R >> >>", objects));
    job.rewrite(0, shifted);
    job.finish();
    EXPECT_EQ(job.object(6), "6 0 obj\n<< /Rect [ 205.00  293.00  605.00  593.00 ] /QuadPoints [ 7.00  -4.00 ] "
                             "/RD [ 4.00  6.00  12.00  12.00 ] >>\nendobj\n");
    EXPECT_EQ(job.object(7), "7 0 obj\n<< /PatternType 2 /Matrix [ 2.000000  0.750000  -4.000000  1.500000  25.000000  "
                             "23.000000 ] >>\nendobj\n");
    EXPECT_NE(job.object(8).find("/Matrix [ 2.000000  0.000000  0.000000  1.500000  5.000000  -7.000000 ]"),
              std::string::npos) << job.object(8);
}

}  // namespace
