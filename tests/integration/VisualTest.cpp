// Renders pages of generated files, and of corpus files when there are any, before and after a resize
// with mutool and compares the pixels: what the program writes must look like the input, scaled, and
// centred where it was asked to centre. Encrypted inputs must also stay encrypted the same way, open
// with the empty password and keep their strings.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/Renders.h"
#include "tests/support/GeneratedPdfs.h"

namespace {

// Rounding of page sizes to whole pixels, plus anti-aliased edges.
constexpr int kPixelTolerance = 3;
// The content matrix carries its factor with two decimals, while the margins that centre the page
// use the exact one: each edge of the content may sit up to this share of the page's size away.
constexpr double kFactorRounding = 0.005;

constexpr double kA4Width = 595;
constexpr double kA4Height = 842;

struct InkBox {
    int left, right, top, bottom;  // rows and columns of paper around the ink
};

InkBox inkBox(const Image& image) {
    int minX = image.width, maxX = -1, minY = image.height, maxY = -1;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y) >= kPaper) continue;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    return {minX, image.width - 1 - maxX, minY, image.height - 1 - maxY};
}

std::string qpdfShows(const std::string& what, const std::string& pdf) {
    return runCommand("qpdf --show-" + what + " " + shellQuote(pdf)).output;
}

// The Info dictionary's object number, from the trailer qpdf shows, or "".
std::string infoNumber(const std::string& pdf) {
    const std::string trailer = qpdfShows("object=trailer", pdf);
    std::smatch match;
    return std::regex_search(trailer, match, std::regex("/Info (\\d+) 0 R")) ? match[1].str() : "";
}

// The pages checked after -scale200, those checked fitted to A4 (pages without a CropBox, whose
// rendering is their MediaBox) and whether the file must stay encrypted the same way.
struct Sample {
    const char* file;  // a generated file's name, or a corpus file's
    const char* what;
    std::vector<int> doubled, centred;
    bool encrypted = false;
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.file; }

const std::vector<Sample> kGeneratedSamples = {
    {"classic", "text, patterns, inherited box, rotation, a stamp and a CropBox", {1, 2, 3, 4, 5}, {1, 2, 3, 4}},
    {"xref-stream", "a page in an object stream", {3}, {3}},
    {"incremental", "content and rotation changed by updates", {1, 4}, {1, 4}},
    {"junk-crlf", "junk before the header, CR LF line ends", {2}, {2}},
    {"qpdf-linearized", "linearized", {2}, {2}},
    {"qpdf-rc4-40", "RC4 40 bits", {1}, {}, true},
    {"qpdf-rc4-128", "RC4 128 bits", {2}, {}, true},
    {"qpdf-rc4-128-clear-metadata", "RC4 crypt filter, plain metadata", {3}, {}, true},
    {"qpdf-aes-128", "AES-128", {5}, {}, true},
    {"qpdf-aes-128-object-streams", "AES-128, object streams", {4}, {}, true},
};

const std::vector<Sample> kCorpusSamples = {
    {"pdfcpu__pkg_testdata_go.pdf", "tiling patterns", {1}, {1}},
    {"pdfcpu__pkg_samples_signatures_adbe.x509.rsa_sha1_sample01.pdf", "tiling patterns", {1}, {1}},
    {"py-pdf__009-pdflatex-geotopo_GeoTopo-komprimiert.pdf", "shading and tiling patterns, object streams", {56, 13},
     {56, 13}},
    {"pdfcpu__pkg_testdata_VectorApple.pdf", "smooth shading", {1}, {1}},
    {"pdfcpu__pkg_samples_annotations_FreeTextAnnotation.pdf", "an annotation with its appearance", {1}, {1}},
    // Viewers draw these from their points, which must follow the content.
    // Its line has no width of its own: the default one point is not scaled with the page.
    {"pdfcpu__pkg_samples_annotations_InkAnnotation.pdf", "an ink annotation without appearance", {}, {1}},
    {"pdfcpu__pkg_samples_annotations_LineAnnotation.pdf", "a line annotation without appearance", {1}, {1}},
    {"pdfcpu__pkg_samples_annotations_PolygonAnnotation.pdf", "a polygon annotation without appearance", {1}, {1}},
    {"pdfcpu__pkg_samples_form_demo_french.pdf", "form fields", {1}, {}},
    {"pdfcpu__pkg_samples_basic_ResourceDictInheritanceDemo.pdf", "inherited resources", {1}, {1}},
    {"pdfcpu__pkg_samples_resize_resizeToA4L.pdf", "landscape", {1}, {1}},
    {"py-pdf__004-pdflatex-4-pages_pdflatex-4-pages.pdf", "text", {1}, {1}},
    {"qpdf__qpdf_qtest_qpdf_minimal-rotated.pdf", "a rotated page", {1}, {1}},
    {"qpdf__qpdf_qtest_qpdf_inherited-rotate.pdf", "inherited rotation", {1}, {1}},
    {"py-pdf__015-arabic_habibi-rotated.pdf", "rotated text", {1}, {1}},
    // Every encrypted file the program opens; those it cannot are in the corpus test's failures.
    {"qpdf__qpdf_qtest_qpdf_enc-R2_V1.pdf", "RC4 40 bits", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_enc-R2_V1_O_master.pdf", "RC4 40 bits, owner password", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2.pdf", "RC4 128 bits", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2_O_master.pdf", "RC4 128 bits, owner password", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_V4.pdf", "RC4 crypt filter", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_V4-clearmeta.pdf", "RC4 crypt filter, plain metadata", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_V4-aes.pdf", "AES-128", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_V4-aes-clearmeta.pdf", "AES-128, plain metadata", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_metadata-crypt-filter.pdf", "a metadata crypt filter", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_encrypted-with-images.pdf", "encrypted images", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_leading-junk.pdf", "encrypted, junk before the header", {1}, {}, true},
    {"qpdf__qpdf_qtest_qpdf_minimal-signed-restricted.pdf", "encrypted and signed", {1}, {}, true},
};

// Opens with the empty password, and strings such as those of the document information read the same.
void expectEncryptedTheSameWay(const TempDir& dir, const std::string& input, const std::string& output) {
    EXPECT_EQ(qpdfShows("encryption", output), qpdfShows("encryption", input));
    const CommandResult decrypt =
        runCommand("qpdf --password= --decrypt " + shellQuote(output) + " " + shellQuote(dir.file("plain.pdf")));
    EXPECT_TRUE(decrypt.status == 0 || decrypt.status == kQpdfWarnings) << decrypt.output;
    const std::string info = infoNumber(input);
    if (info.empty()) return;
    EXPECT_EQ(infoNumber(output), info);
    EXPECT_EQ(qpdfShows("object=" + info, output), qpdfShows("object=" + info, input));
}

void expectFittedPageCentredOnA4(const TempDir& dir, const std::string& input, const std::string& output, int page) {
    const Image before = render(dir, input, kFullResolution, page, "before");
    const Image after = render(dir, output, kFullResolution, page, "after");
    ASSERT_GT(before.width, 0);
    ASSERT_GT(after.width, 0);
    // Rotation turns the page after the boxes are set: compare in the rendered orientation.
    const bool turned = (after.width > after.height) != (kA4Width > kA4Height);
    const double width = turned ? kA4Height : kA4Width;
    const double height = turned ? kA4Width : kA4Height;
    EXPECT_NEAR(after.width, width, kPixelTolerance);
    EXPECT_NEAR(after.height, height, kPixelTolerance);
    const InkBox in = inkBox(before), out = inkBox(after);
    ASSERT_LT(in.left, before.width) << "a blank page proves nothing";
    ASSERT_LT(out.left, after.width) << "the content is lost";
    // The content shrinks or grows by the smaller factor and sits in the middle: the difference
    // between opposite margins is the input's, scaled; the free space splits evenly.
    const double factor = std::min(width / before.width, height / before.height);
    const double tolerance = kPixelTolerance + 2 * kFactorRounding * std::max(width, height);
    EXPECT_NEAR(out.left - out.right, factor * (in.left - in.right), tolerance);
    EXPECT_NEAR(out.top - out.bottom, factor * (in.top - in.bottom), tolerance);
    EXPECT_NEAR(after.width - out.left - out.right, factor * (before.width - in.left - in.right), tolerance);
}

// Each job runs once per file, whatever number of its pages are looked at.
void expectLooksLikeTheInput(const Sample& sample, const std::string& input) {
    SCOPED_TRACE(std::string(sample.file) + ": " + sample.what);
    TempDir dir;
    const std::string doubled = resized(input, dir, "doubled", "-scale200");
    for (const int page : sample.doubled) {
        SCOPED_TRACE("doubled page " + std::to_string(page));
        expectDoubledPageLooksLikeTheInput(dir, input, doubled, page);
    }
    if (sample.encrypted) expectEncryptedTheSameWay(dir, input, doubled);
    if (sample.centred.empty()) return;
    const std::string fitted = resized(input, dir, "fitted", "-page a4 -con -center");
    for (const int page : sample.centred) {
        SCOPED_TRACE("page " + std::to_string(page) + " on A4");
        expectFittedPageCentredOnA4(dir, input, fitted, page);
    }
}

class Visual : public ::testing::TestWithParam<Sample> {};

TEST_P(Visual, PagesLookLikeTheInputScaledAndCentred) {
    if (!haveTool("mutool") || !haveTool("qpdf")) GTEST_SKIP() << "mutool and qpdf are needed";
    expectLooksLikeTheInput(GetParam(), generatedPdf(GetParam().file));
}

INSTANTIATE_TEST_SUITE_P(Generated, Visual, ::testing::ValuesIn(kGeneratedSamples),
                         [](const testing::TestParamInfo<Sample>& info) { return testNameOf(info.param.file); });

TEST(CorpusVisual, EverySampleLooksLikeTheInputScaledAndCentred) {
    SKIP_WITHOUT_CORPUS();
    if (!haveTool("mutool") || !haveTool("qpdf")) GTEST_SKIP() << "mutool and qpdf are needed";
    for (const Sample& sample : kCorpusSamples) expectLooksLikeTheInput(sample, corpusFolder() + "/" + sample.file);
}

}  // namespace
