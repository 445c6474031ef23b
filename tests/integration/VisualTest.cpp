// Renders pages of generated files, and of corpus files when there are any, before and after a resize
// with mutool and compares the pixels: what the program writes must look like the input, scaled, and
// centred where it was asked to centre. Encrypted inputs must also stay encrypted the same way, open
// with the empty password and keep their strings.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/Jobs.h"
#include "tests/support/GeneratedPdfs.h"

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
    std::string gray;

    int at(int x, int y) const { return static_cast<unsigned char>(gray[static_cast<size_t>(y) * width + x]); }
};

// The page drawn by mutool in gray, read back from its binary PGM: "P5", width, height, maximum, pixels.
Image render(const TempDir& dir, const std::string& pdf, int resolution, int page, const std::string& name) {
    const std::string pgm = dir.file(name + ".pgm");
    Image image;
    if (runCommand("mutool draw -q -r " + std::to_string(resolution) + " -c gray -o " + shellQuote(pgm) + " " +
                   shellQuote(pdf) + " " + std::to_string(page))
            .status != 0) {
        return image;
    }
    std::istringstream in(readFile(pgm));
    std::string magic;
    int maximum = 0;
    in >> magic >> image.width >> image.height >> maximum;
    in.get();  // the one white-space byte before the pixels
    image.gray.assign(std::istreambuf_iterator<char>(in), {});
    if (magic != "P5" || image.gray.size() != static_cast<size_t>(image.width) * image.height) return Image();
    return image;
}

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

enum Kind { plain, encrypted, centred };

struct Sample {
    const char* file;  // a generated file's name, or a corpus file's
    int page;
    const char* what;
    Kind kind;  // centred: also checked on A4, for it has no CropBox and the rendering is its MediaBox
    bool corpus = true;
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.file << ", page " << sample.page; }

const std::vector<Sample> kGeneratedSamples = {
    {"classic", 1, "text and shapes", centred, false},
    {"classic", 2, "tiling and shading patterns", centred, false},
    {"classic", 3, "inherited landscape box and rotation", centred, false},
    {"classic", 4, "a rotated page, two content streams", centred, false},
    {"classic", 5, "a stamp with its appearance, a CropBox", plain, false},
    {"xref-stream", 3, "a page in an object stream", centred, false},
    {"incremental", 1, "content replaced by an update", centred, false},
    {"incremental", 4, "rotation changed by an update", centred, false},
    {"junk-crlf", 2, "junk before the header, CR LF line ends", centred, false},
    {"qpdf-linearized", 2, "linearized", centred, false},
    {"qpdf-rc4-40", 1, "RC4 40 bits", encrypted, false},
    {"qpdf-rc4-128", 2, "RC4 128 bits", encrypted, false},
    {"qpdf-rc4-128-clear-metadata", 3, "RC4 crypt filter, plain metadata", encrypted, false},
    {"qpdf-aes-128", 5, "AES-128", encrypted, false},
    {"qpdf-aes-128-object-streams", 4, "AES-128, object streams", encrypted, false},
};

const std::vector<Sample> kCorpusSamples = {
    {"pdfcpu__pkg_testdata_go.pdf", 1, "tiling patterns", centred},
    {"pdfcpu__pkg_samples_signatures_adbe.x509.rsa_sha1_sample01.pdf", 1, "tiling patterns", centred},
    {"py-pdf__009-pdflatex-geotopo_GeoTopo-komprimiert.pdf", 56, "shading patterns", centred},
    {"py-pdf__009-pdflatex-geotopo_GeoTopo-komprimiert.pdf", 13, "a tiling pattern, objects in object streams", centred},
    {"pdfcpu__pkg_testdata_VectorApple.pdf", 1, "smooth shading", centred},
    {"pdfcpu__pkg_samples_annotations_FreeTextAnnotation.pdf", 1, "an annotation with its appearance", centred},
    {"pdfcpu__pkg_samples_form_demo_french.pdf", 1, "form fields", plain},
    {"pdfcpu__pkg_samples_basic_ResourceDictInheritanceDemo.pdf", 1, "inherited resources", centred},
    {"pdfcpu__pkg_samples_resize_resizeToA4L.pdf", 1, "landscape", centred},
    {"py-pdf__004-pdflatex-4-pages_pdflatex-4-pages.pdf", 1, "text", centred},
    {"qpdf__qpdf_qtest_qpdf_minimal-rotated.pdf", 1, "a rotated page", centred},
    {"qpdf__qpdf_qtest_qpdf_inherited-rotate.pdf", 1, "inherited rotation", centred},
    {"py-pdf__015-arabic_habibi-rotated.pdf", 1, "rotated text", centred},
    // Every encrypted file the program opens; those it cannot are in the corpus test's failures.
    {"qpdf__qpdf_qtest_qpdf_enc-R2_V1.pdf", 1, "RC4 40 bits", encrypted},
    {"qpdf__qpdf_qtest_qpdf_enc-R2_V1_O_master.pdf", 1, "RC4 40 bits, owner password", encrypted},
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2.pdf", 1, "RC4 128 bits", encrypted},
    {"qpdf__qpdf_qtest_qpdf_enc-R3_V2_O_master.pdf", 1, "RC4 128 bits, owner password", encrypted},
    {"qpdf__qpdf_qtest_qpdf_V4.pdf", 1, "RC4 crypt filter", encrypted},
    {"qpdf__qpdf_qtest_qpdf_V4-clearmeta.pdf", 1, "RC4 crypt filter, plain metadata", encrypted},
    {"qpdf__qpdf_qtest_qpdf_V4-aes.pdf", 1, "AES-128", encrypted},
    {"qpdf__qpdf_qtest_qpdf_V4-aes-clearmeta.pdf", 1, "AES-128, plain metadata", encrypted},
    {"qpdf__qpdf_qtest_qpdf_metadata-crypt-filter.pdf", 1, "a metadata crypt filter", encrypted},
    {"qpdf__qpdf_qtest_qpdf_encrypted-with-images.pdf", 1, "encrypted images", encrypted},
    {"qpdf__qpdf_qtest_qpdf_leading-junk.pdf", 1, "encrypted, junk before the header", encrypted},
    {"qpdf__qpdf_qtest_qpdf_minimal-signed-restricted.pdf", 1, "encrypted and signed", encrypted},
};

// The output of the job in `dir`; the test fails where the job did.
std::string resized(const std::string& input, const TempDir& dir, const std::string& options) {
    const Job job = runJob(input, dir.path(), options);
    EXPECT_EQ(job.problem, "");
    EXPECT_EQ(job.run.status, 0) << job.run.output;
    return job.output;
}

std::string inputOf(const Sample& sample) {
    return sample.corpus ? corpusFolder() + "/" + sample.file : generatedPdf(sample.file);
}

void expectDoubledPageLooksLikeTheInput(const Sample& sample) {
    TempDir dir;
    const std::string input = inputOf(sample), output = resized(input, dir, "-scale200");
    const Image before = render(dir, input, kFullResolution, sample.page, "before");
    const Image after = render(dir, output, kHalfResolution, sample.page, "after");
    ASSERT_GT(before.width, 0);
    ASSERT_EQ(after.width, before.width);
    ASSERT_EQ(after.height, before.height);

    double difference = 0;
    double ink = 0;
    for (size_t i = 0; i < before.gray.size(); ++i) {
        const int a = static_cast<unsigned char>(before.gray[i]);
        difference += std::abs(a - static_cast<unsigned char>(after.gray[i]));
        ink += kWhite - a;
    }
    ASSERT_GT(ink, 0) << "a blank page proves nothing";
    EXPECT_LT(difference / before.gray.size(), kMaxMeanDifference) << sample.what;
    EXPECT_LT(difference / ink, kMaxDifferenceShareOfInk) << sample.what;
    if (sample.kind != encrypted) return;

    EXPECT_EQ(qpdfShows("encryption", output), qpdfShows("encryption", input));
    const CommandResult decrypt =
        runCommand("qpdf --password= --decrypt " + shellQuote(output) + " " + shellQuote(dir.file("plain.pdf")));
    EXPECT_TRUE(decrypt.status == 0 || decrypt.status == kQpdfWarnings) << decrypt.output;
    // Strings, such as those of the document information, read the same through qpdf.
    const std::string info = infoNumber(input);
    if (info.empty()) return;
    EXPECT_EQ(infoNumber(output), info);
    EXPECT_EQ(qpdfShows("object=" + info, output), qpdfShows("object=" + info, input));
}

void expectFittedPageCentredOnA4(const Sample& sample) {
    TempDir dir;
    const std::string input = inputOf(sample), output = resized(input, dir, "-page a4 -con -center");
    const Image before = render(dir, input, kFullResolution, sample.page, "before");
    const Image after = render(dir, output, kFullResolution, sample.page, "after");
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
    ASSERT_LT(in.left, before.width) << "a blank page proves nothing";
    ASSERT_LT(out.left, after.width) << "the content is lost";
    // The content shrinks or grows by the smaller factor and sits in the middle: the difference
    // between opposite margins is the input's, scaled; the free space splits evenly.
    const double factor = std::min(width / before.width, height / before.height);
    const double tolerance = kPixelTolerance + 2 * kFactorRounding * std::max(width, height);
    EXPECT_NEAR(out.left - out.right, factor * (in.left - in.right), tolerance) << sample.what;
    EXPECT_NEAR(out.top - out.bottom, factor * (in.top - in.bottom), tolerance) << sample.what;
    const double inkWidth = before.width - in.left - in.right;
    EXPECT_NEAR(after.width - out.left - out.right, factor * inkWidth, tolerance) << sample.what;
}

class Visual : public ::testing::TestWithParam<Sample> {
protected:
    void SetUp() override {
        if (!haveTool("mutool") || !haveTool("qpdf")) GTEST_SKIP() << "mutool and qpdf are needed";
    }
};

class Centring : public Visual {};

TEST_P(Visual, DoubledPageAtHalfResolutionLooksLikeTheInput) { expectDoubledPageLooksLikeTheInput(GetParam()); }

TEST_P(Centring, FittedPageIsCentredOnA4) { expectFittedPageCentredOnA4(GetParam()); }

std::string sampleName(const testing::TestParamInfo<Sample>& info) {
    return std::to_string(info.index) + "_page" + std::to_string(info.param.page);
}

std::vector<Sample> centredOnes(const std::vector<Sample>& samples) {
    std::vector<Sample> chosen;
    std::copy_if(samples.begin(), samples.end(), std::back_inserter(chosen),
                 [](const Sample& sample) { return sample.kind == Kind::centred; });
    return chosen;
}

INSTANTIATE_TEST_SUITE_P(Generated, Visual, ::testing::ValuesIn(kGeneratedSamples), sampleName);
INSTANTIATE_TEST_SUITE_P(Generated, Centring, ::testing::ValuesIn(centredOnes(kGeneratedSamples)), sampleName);

TEST(CorpusVisual, EverySampleLooksLikeTheInputScaledAndCentred) {
    SKIP_WITHOUT_CORPUS();
    if (!haveTool("mutool") || !haveTool("qpdf")) GTEST_SKIP() << "mutool and qpdf are needed";
    for (const Sample& sample : kCorpusSamples) {
        SCOPED_TRACE(std::string(sample.file) + ", page " + std::to_string(sample.page));
        expectDoubledPageLooksLikeTheInput(sample);
        if (sample.kind == centred) expectFittedPageCentredOnA4(sample);
    }
}

}  // namespace
