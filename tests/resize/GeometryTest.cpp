#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "cli/OptionParser.h"
#include "pdf/objects/PdfException.h"
#include "resize/ContentWrapper.h"
#include "resize/ObjectText.h"
#include "resize/PageGeometry.h"
#include "resize/PageScale.h"

namespace {

const char kLetterPage[] =
    "4 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R >>\nendobj\n";

PageRecord letterRecord() {
    PageRecord record;
    record.objectNumber = 4;
    record.mediaBox = {0, 0, 612, 792};
    record.cropBox = record.bleedBox = record.trimBox = record.artBox = record.mediaBox;
    return record;
}

// The settings of a job run with `options`, with the page factors the pipeline sets for `record`.
ResizeSettings settingsFor(const std::vector<const char*>& options, const PageRecord& record) {
    std::vector<const char*> arguments = {"quillmor", "in.pdf", "out.pdf"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::string input;
    std::string output;
    ResizeSettings settings;
    parseOptions(static_cast<int>(arguments.size()), arguments.data(), input, output, settings);
    setPageScale(settings, record, 1);
    return settings;
}

struct RewriteResult {
    std::string text;
    std::string scaleContent;
    PageRecord record;
};

RewriteResult rewriteLetterPage(const std::vector<const char*>& options) {
    RewriteResult result{kLetterPage, "", letterRecord()};
    const ResizeSettings settings = settingsFor(options, result.record);
    const PageGeometry geometry(settings, result.record.objectNumber);
    ObjectText text(result.text);
    geometry.rewriteBox(text, result.record.mediaBox, "/MediaBox", false);
    result.text = text.bytes();
    result.scaleContent = ContentWrapper::scaleContent(geometry.contentFactors());
    return result;
}

std::string letterPageWith(const std::string& mediaBoxEntry) {
    std::string page = kLetterPage;
    const std::string old = "/MediaBox [0 0 612 792]";
    return page.replace(page.find(old), old.size(), mediaBoxEntry);
}

TEST(Geometry, EveryOptionCombinationGivesItsMediaBoxAndMatrix) {
    struct Case {
        std::vector<const char*> options;
        const char* mediaBox;
        const char* matrix;
    };
    const Case cases[] = {
        {{}, "[ 0.000000 0.000000 612.000000 792.000000 ]", "1.00 0 0 1.00"},
        {{"-scale200"}, "[ 0.000000 0.000000 1224.000000 1584.000000 ]", "2.00 0 0 2.00"},
        {{"-scalex200", "-scaley150"}, "[ 0.000000 0.000000 1224.000000 1188.000000 ]", "2.00 0 0 1.50"},
        {{"-pagesize", "0,0,1000,500"}, "[ 0.000000 0.000000 1000.000000 500.000000 ]", "1.63 0 0 0.63"},
        {{"-pagesize", "0,0,1000,500", "-con"}, "[ 0.000000 0.000000 1000.000000 500.000000 ]", "0.63 0 0 0.63"},
        // The y margin is (500 - 792 * 500 / 792) / 2: a rounding residue just above 0, so "%f" writes y1 as -0.
        {{"-pagesize", "0,0,1000,500", "-con", "-center"}, "[ -306.818182 -0.000000 693.181818 500.000000 ]",
         "0.63 0 0 0.63"},
        {{"-noscale", "-pagesize", "0,0,1234,1234", "-con", "-center", "-scale100"},
         "[ -311.000000 -221.000000 923.000000 1013.000000 ]", "1.00 0 0 1.00"},
        {{"-pagesize", "0,0,1234,1234", "-noscale"}, "[ 0.000000 0.000000 612.000000 792.000000 ]", "1.00 0 0 1.00"},
        {{"-offsetx10", "-offsety-20"}, "[ 10.000000 -20.000000 622.000000 772.000000 ]", "1.00 0 0 1.00"},
        {{"-scale50", "-offsetx10"}, "[ 10.000000 0.000000 316.000000 396.000000 ]", "0.50 0 0 0.50"},
    };
    for (const Case& c : cases) {
        std::string label;
        for (const char* option : c.options) label += std::string(option) + " ";
        const RewriteResult result = rewriteLetterPage(c.options);
        EXPECT_EQ(result.text, letterPageWith(std::string("/MediaBox ") + c.mediaBox + "\n")) << label;
        EXPECT_EQ(result.scaleContent, std::string("q\n") + c.matrix + " 0 0 cm\n") << label;
    }
}

TEST(Geometry, NoScaleCentringPutsEachBoxOnTheTargetPageByItsOwnSize) {
    PageRecord record = letterRecord();
    record.cropBox = {100, 100, 500, 700};
    const ResizeSettings settings =
        settingsFor({"-noscale", "-pagesize", "0,0,1000,1000", "-con", "-center"}, record);
    const PageGeometry geometry(settings, 4);
    ObjectText text(std::string("4 0 obj << /CropBox [100 100 500 700] /MediaBox [0 0 612 792] >> endobj"));
    geometry.rewriteBox(text, record.mediaBox, "/MediaBox", false);
    geometry.rewriteBox(text, record.cropBox, "/CropBox", true);
    EXPECT_EQ(text.bytes(),
              "4 0 obj << /CropBox [ -300.000000 -200.000000 700.000000 800.000000 ]\n"
              " /MediaBox [ -194.000000 -104.000000 806.000000 896.000000 ]\n"
              " >> endobj");
    // The record's boxes become the target page.
    EXPECT_DOUBLE_EQ(record.cropBox.x1, 0);
    EXPECT_DOUBLE_EQ(record.cropBox.x2, 1000);
    EXPECT_DOUBLE_EQ(record.mediaBox.y2, 1000);
}

TEST(Geometry, AbsentBoxesAreInsertedOnlyForMediaBoxAndInheritedCropBox) {
    PageRecord record = letterRecord();
    record.mediaBox = record.cropBox = record.trimBox = {0, 0, 595, 842};  // from the parent
    record.hasCropBox = true;
    const ResizeSettings settings = settingsFor({"-scale200"}, record);
    const PageGeometry geometry(settings, 4);
    ObjectText text(std::string("4 0 obj\n<</Type /Page /Parent 2 0 R>>\nendobj\n"));
    geometry.rewriteBox(text, record.mediaBox, "/MediaBox", false);
    geometry.rewriteBox(text, record.cropBox, "/CropBox", record.hasCropBox);
    geometry.rewriteBox(text, record.trimBox, "/TrimBox", false);
    EXPECT_EQ(text.bytes(),
              "4 0 obj\n<<\n/CropBox [ 0.000000 0.000000 1190.000000 1684.000000 ]\n"
              "\n/MediaBox [ 0.000000 0.000000 1190.000000 1684.000000 ]\n"
              "/Type /Page /Parent 2 0 R>>\nendobj\n");

    ObjectText noCrop(std::string("4 0 obj\n<</Type /Page>>\nendobj\n"));
    geometry.rewriteBox(noCrop, record.cropBox, "/CropBox", false);
    geometry.rewriteBox(noCrop, record.artBox, "/ArtBox", false);
    EXPECT_EQ(noCrop.bytes(), "4 0 obj\n<</Type /Page>>\nendobj\n");
}

TEST(Geometry, OnlyThePagesOwnBoxEntryIsReplacedWhateverItsValue) {
    PageRecord record = letterRecord();
    const ResizeSettings settings = settingsFor({"-scale50"}, record);
    const PageGeometry geometry(settings, 4);
    const std::string nested = "/PieceInfo << /Data << /MediaBox [1 1 1 1] >> >> /Annots [<< /MediaBox 3 >>] ";
    const std::string newBox = "/MediaBox [ 0.000000 0.000000 306.000000 396.000000 ]\n";

    ObjectText own(std::string("4 0 obj << ") + nested + "/MediaBox [0 0 612 792]/Rotate 90 >> endobj");
    geometry.rewriteBox(own, record.mediaBox, "/MediaBox", false);
    EXPECT_EQ(own.bytes(), "4 0 obj << " + nested + newBox + "/Rotate 90 >> endobj");

    ObjectText byReference(std::string("4 0 obj << /MediaBox 12 0 R\r/Rotate 90 >> endobj"));
    geometry.rewriteBox(byReference, record.mediaBox, "/MediaBox", false);
    EXPECT_EQ(byReference.bytes(), "4 0 obj << " + newBox + "\r/Rotate 90 >> endobj");

    // Nested entries do not count: the page's own box is absent and gets inserted.
    ObjectText onlyNested(std::string("4 0 obj << ") + nested + ">> endobj");
    geometry.rewriteBox(onlyNested, record.mediaBox, "/MediaBox", false);
    EXPECT_EQ(onlyNested.bytes(), "4 0 obj <<\n" + newBox + " " + nested + ">> endobj");

    // An array that lost its "]" is replaced up to the dictionary's end, which stays.
    ObjectText unclosed(std::string("4 0 obj << /MediaBox [0 0 612 792 >> endobj"));
    geometry.rewriteBox(unclosed, record.mediaBox, "/MediaBox", false);
    EXPECT_EQ(unclosed.bytes(), "4 0 obj << " + newBox + ">> endobj");
}

TEST(Geometry, NonFiniteNumbersAreNeverWritten) {
    ResizeSettings settings;
    settings.pageScaleX = std::numeric_limits<double>::infinity();
    EXPECT_THROW(PageGeometry(settings, 4), CPdfException);
    settings.pageScaleX = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(PageGeometry(settings, 4), CPdfException);

    settings.pageScaleX = 200;
    const PageGeometry geometry(settings, 4);
    PageBox huge{0, 0, std::numeric_limits<double>::max(), 792};
    ObjectText text{std::string(kLetterPage)};
    try {
        geometry.rewriteBox(text, huge, "/MediaBox", false);
        FAIL() << "an overflowing box was written";
    } catch (const CPdfException& error) {
        EXPECT_NE(std::string(error.getMessage()).find("page object 4"), std::string::npos) << error.getMessage();
    }
    EXPECT_EQ(text.bytes(), kLetterPage);
}

}  // namespace
