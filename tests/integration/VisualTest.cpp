// Renders pages before and after a resize with mutool and compares the pixels: what the program
// writes must look like the input, scaled, and centred where it was asked to centre.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TestTools.h"

namespace {

constexpr int kFullResolution = 72;  // one pixel per point
constexpr int kHalfResolution = 36;
// A gray level at or above this counts as paper, below it as ink.
constexpr int kPaper = 250;
constexpr int kWhite = 255;

// A -scale200 page drawn at half the resolution puts every point of the content on the same
// device pixel as the input drawn at full resolution, so the two renderings agree exactly except
// where a value the program writes with two decimals (an annotation rectangle) moves an edge by
// less than a pixel. Measured on these pages the difference stays below 0.06 gray levels on
// average and below 1.2% of the page's ink. A lost, misplaced or wrongly scaled element changes
// at least as much as the ink it has (a shift, twice as much), far beyond both limits.
constexpr double kMaxMeanDifference = 0.5;
constexpr double kMaxDifferenceShareOfInk = 0.05;
// Rounding of page sizes to whole pixels, plus anti-aliased edges.
constexpr int kPixelTolerance = 3;
// The content matrix carries its factor with two decimals, while the margins that centre the page
// use the exact one: each edge of the content may sit up to this share of the page's size away.
constexpr double kFactorRounding = 0.005;

constexpr double kA4Width = 595;
constexpr double kA4Height = 842;

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> gray;

    int at(int x, int y) const { return gray[static_cast<size_t>(y) * width + x]; }
};

// A binary PGM ("P5") as mutool writes it: the magic, width, height and maximum on their own lines.
Image readPgm(const std::string& path) {
    const std::string bytes = readFile(path);
    Image image;
    size_t position = 0;
    std::vector<long> fields;
    while (fields.size() < 4 && position < bytes.size()) {
        const size_t end = bytes.find_first_of(" \n", position);
        if (end == std::string::npos) break;
        const std::string field = bytes.substr(position, end - position);
        position = end + 1;
        if (field.empty()) continue;
        fields.push_back(field == "P5" ? 5 : std::strtol(field.c_str(), nullptr, 10));
    }
    if (fields.size() < 4 || fields[0] != 5) return image;
    image.width = static_cast<int>(fields[1]);
    image.height = static_cast<int>(fields[2]);
    const size_t size = static_cast<size_t>(image.width) * image.height;
    if (bytes.size() - position < size) return Image();
    image.gray.assign(bytes.begin() + static_cast<long>(position), bytes.begin() + static_cast<long>(position + size));
    return image;
}

Image render(const TempDir& dir, const std::string& pdf, int resolution, int page, const std::string& name) {
    const std::string pgm = dir.file(name + ".pgm");
    const CommandResult draw = runCommand("mutool draw -q -r " + std::to_string(resolution) + " -c gray -o " +
                                          shellQuote(pgm) + " " + shellQuote(pdf) + " " + std::to_string(page));
    if (draw.status != 0) return Image();
    return readPgm(pgm);
}

bool resize(const std::string& input, const std::string& output, const std::string& options) {
    return runCommand(shellQuote(QUILLMOR_BINARY) + " " + shellQuote(input) + " " + shellQuote(output) + " " + options)
               .status == 0;
}

struct InkBox {
    int left = 0;    // paper columns left of the ink
    int right = 0;   // paper columns right of it
    int top = 0;
    int bottom = 0;
    bool found = false;
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
    InkBox box;
    if (maxX < 0) return box;
    box = InkBox{minX, image.width - 1 - maxX, minY, image.height - 1 - maxY, true};
    return box;
}

struct Sample {
    const char* file;
    int page;
    const char* what;
    bool showsWholeMediaBox;  // no CropBox inside the MediaBox: the rendering is the MediaBox
};

const Sample kSamples[] = {
    {"pdfcpu__pkg_testdata_go.pdf", 1, "tiling patterns", true},
    {"pdfcpu__pkg_samples_signatures_adbe.x509.rsa_sha1_sample01.pdf", 1, "tiling patterns", true},
    {"py-pdf__009-pdflatex-geotopo_GeoTopo-komprimiert.pdf", 56, "shading patterns", true},
    {"py-pdf__009-pdflatex-geotopo_GeoTopo-komprimiert.pdf", 13, "a tiling pattern, objects in object streams", true},
    {"pdfcpu__pkg_testdata_VectorApple.pdf", 1, "smooth shading", true},
    {"pdfcpu__pkg_samples_annotations_FreeTextAnnotation.pdf", 1, "an annotation with its appearance", true},
    {"pdfcpu__pkg_samples_form_demo_french.pdf", 1, "form fields", false},
    {"pdfcpu__pkg_samples_basic_ResourceDictInheritanceDemo.pdf", 1, "inherited resources", true},
    {"pdfcpu__pkg_samples_resize_resizeToA4L.pdf", 1, "landscape", true},
    {"py-pdf__004-pdflatex-4-pages_pdflatex-4-pages.pdf", 1, "text", true},
    {"qpdf__qpdf_qtest_qpdf_minimal-rotated.pdf", 1, "a rotated page", true},
    {"qpdf__qpdf_qtest_qpdf_inherited-rotate.pdf", 1, "inherited rotation", true},
    {"py-pdf__015-arabic_habibi-rotated.pdf", 1, "rotated text", true},
};

class Visual : public ::testing::TestWithParam<Sample> {
protected:
    void SetUp() override {
        if (!haveTool("mutool")) GTEST_SKIP() << "mutool is not installed";
    }

    std::string input() const { return std::string(QUILLMOR_CORPUS_DIR) + "/" + GetParam().file; }

    TempDir dir;
};

class Centring : public Visual {};

TEST_P(Visual, DoubledPageAtHalfResolutionLooksLikeTheInput) {
    const std::string output = dir.file("scaled.pdf");
    ASSERT_TRUE(resize(input(), output, "-scale200"));
    const Image before = render(dir, input(), kFullResolution, GetParam().page, "before");
    const Image after = render(dir, output, kHalfResolution, GetParam().page, "after");
    ASSERT_GT(before.width, 0);
    ASSERT_EQ(after.width, before.width);
    ASSERT_EQ(after.height, before.height);

    double difference = 0;
    double ink = 0;
    for (size_t i = 0; i < before.gray.size(); ++i) {
        difference += std::abs(before.gray[i] - after.gray[i]);
        ink += kWhite - before.gray[i];
    }
    ASSERT_GT(ink, 0) << "a blank page proves nothing";
    EXPECT_LT(difference / before.gray.size(), kMaxMeanDifference) << GetParam().what;
    EXPECT_LT(difference / ink, kMaxDifferenceShareOfInk) << GetParam().what;
}

TEST_P(Centring, FittedPageIsCentredOnA4) {
    const std::string output = dir.file("a4.pdf");
    ASSERT_TRUE(resize(input(), output, "-page a4 -con -center"));
    const Image before = render(dir, input(), kFullResolution, GetParam().page, "before");
    const Image after = render(dir, output, kFullResolution, GetParam().page, "after");
    ASSERT_GT(before.width, 0);
    ASSERT_GT(after.width, 0);

    // Rotation turns the page after the boxes are set: compare in the rendered orientation.
    const bool turned = (after.width > after.height) != (kA4Width > kA4Height);
    const double width = turned ? kA4Height : kA4Width;
    const double height = turned ? kA4Width : kA4Height;
    EXPECT_NEAR(after.width, width, kPixelTolerance);
    EXPECT_NEAR(after.height, height, kPixelTolerance);

    const InkBox in = inkBox(before);
    const InkBox out = inkBox(after);
    ASSERT_TRUE(in.found && out.found);
    // The content shrinks or grows by the smaller factor and sits in the middle: the difference
    // between opposite margins is the input's, scaled; the free space splits evenly.
    const double factor = std::min(width / before.width, height / before.height);
    const double tolerance = kPixelTolerance + 2 * kFactorRounding * std::max(width, height);
    EXPECT_NEAR(out.left - out.right, factor * (in.left - in.right), tolerance) << GetParam().what;
    EXPECT_NEAR(out.top - out.bottom, factor * (in.top - in.bottom), tolerance) << GetParam().what;
    const double inkWidth = before.width - in.left - in.right;
    EXPECT_NEAR(after.width - out.left - out.right, factor * inkWidth, tolerance) << GetParam().what;
}

std::string sampleName(const testing::TestParamInfo<Sample>& info) {
    return std::to_string(info.index) + "_page" + std::to_string(info.param.page);
}

std::vector<Sample> centringSamples() {
    std::vector<Sample> samples;
    for (const Sample& sample : kSamples) {
        if (sample.showsWholeMediaBox) samples.push_back(sample);
    }
    return samples;
}

INSTANTIATE_TEST_SUITE_P(Corpus, Visual, ::testing::ValuesIn(kSamples), sampleName);
INSTANTIATE_TEST_SUITE_P(Corpus, Centring, ::testing::ValuesIn(centringSamples()), sampleName);

}  // namespace
