// Pages of generated files, and of corpus files when there are any, drawn by mutool before and after a resize:
// they look like the input scaled and placed as asked; encrypted inputs, with and without their password, stay
// encrypted the same way.

#include <cstdio>

#include "tests/integration/Jobs.h"

namespace {

// Compared in blocks with the input drawn at twice the detail, a placed page differs at anti-aliased edges only:
// measured, below 0.6% of the ink on the generated figures; the figures moved by 3 points differ by 3.2% or more,
// a frame the CropBox hid by 15% or more.
constexpr double kMaxFigureDifference = 0.015;

constexpr int kEncryptedResolution = 30;
constexpr double kA4Width = 595;
constexpr double kA4Height = 842;

// Rounding of page sizes to whole pixels, plus anti-aliased edges; the content matrix's two decimals move an
// edge by up to kFactorRounding of the page's size.
constexpr int kPixelTolerance = 3;
constexpr double kFactorRounding = 0.005;

struct InkBox {
    int left, right, top, bottom;  // rows and columns of paper around the ink
};

InkBox inkBox(const Image& image) {
    InkBox box{image.width, image.width, image.height, image.height};
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y) < kPaper) box = {std::min(box.left, x), std::min(box.right, image.width - 1 - x),
                                                std::min(box.top, y), std::min(box.bottom, image.height - 1 - y)};
        }
    }
    return box;
}

std::string qpdfShows(const std::string& what, const std::string& pdf) {
    return runCommand("qpdf --show-" + what + " " + shellQuote(pdf)).output;
}


// The pages checked after -scale200 and fitted to A4 (pages without a CropBox), and whether the file must stay
// encrypted the same way.
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
    {"pdfcpu__pkg_testdata_VectorApple.pdf", "smooth shading", {1}, {1}},
    // Drawn from its points; its line has no width of its own: the default one point is not scaled with the page.
    {"pdfcpu__pkg_samples_annotations_InkAnnotation.pdf", "an ink annotation without appearance", {}, {1}},
    {"qpdf__qpdf_qtest_qpdf_inherited-rotate.pdf", "inherited rotation", {1}, {1}},
    {"qpdf__qpdf_qtest_qpdf_metadata-crypt-filter.pdf", "a metadata crypt filter", {1}, {}, true},
};

// qpdf finds no more fault in the output than in the input, the same cipher, and the strings of the document
// information (copied encrypted as they stand) the same.
void expectEncryptedTheSameWay(const std::string& input, const std::string& output, const std::string& password = "") {
    const auto shows = [&](const std::string& what, const std::string& pdf) {
        return runCommand("qpdf --password=" + shellQuote(password) + " " + what + " " + shellQuote(pdf));
    };
    EXPECT_EQ(shows("--check", output).status, shows("--check", input).status);
    EXPECT_EQ(shows("--show-encryption", output).output, shows("--show-encryption", input).output);
    std::smatch info;
    const std::string trailer = shows("--show-object=trailer", input).output;
    if (!std::regex_search(trailer, info, std::regex("/Info (\\d+) 0 R"))) return;
    EXPECT_EQ(shows("--show-object=" + info[1].str(), output).output, shows("--show-object=" + info[1].str(), input).output);
}

// Each page shows an asymmetric figure and a frame along its MediaBox's edge, which an inset CropBox hides:
// a turned, mirrored, shifted or uncut page shows in the pixels.
struct SeenPage {
    const char* entries;  // the page's own entries; the figure is drawn on its MediaBox
    double x0, y0, width, height;
    bool inTurnedNode = false;  // the child of a node that gives /Rotate 90 and a CropBox
};

const std::vector<SeenPage> kSeenPages = {
    {"", 0, 0, 400, 300}, {"/Rotate 90", 100, 50, 400, 300}, {"/CropBox [48 36 352 264] /Rotate 270", 0, 0, 400, 300},
    {"", 0, 0, 400, 300, true}, {"/UserUnit 2 /Rotate 90", 0, 0, 200, 150}};

// Rectangles as shares of the MediaBox (x, y, width, height) and their gray: none alike, none symmetric.
constexpr double kFigure[][5] = {{0.1, 0.1, 0.3, 0.2, 0}, {0.7, 0.45, 0.15, 0.45, 0}, {0.45, 0.7, 0.08, 0.1, 0},
                                 {0.2, 0.5, 0.2, 0.1, 0.5}};

std::string seenPagesPdf(const std::vector<SeenPage>& pages) {
    PdfBuilder builder;
    std::string kids;
    int number = 10;
    for (const SeenPage& page : pages) {
        const double x = page.x0, y = page.y0, w = page.width, h = page.height;
        std::ostringstream figure, entries;
        for (const auto& r : kFigure) {
            figure << r[4] << " g " << x + r[0] * w << ' ' << y + r[1] * h << ' ' << r[2] * w << ' ' << r[3] * h << " re f ";
        }
        figure << "0 G 6 w " << x + 3 << ' ' << y + 3 << ' ' << w - 6 << ' ' << h - 6 << " re S";
        entries << "<< /Type /Page /MediaBox [" << x << ' ' << y << ' ' << x + w << ' ' << y + h << "] " << page.entries
                << " /Contents " << number + 1 << " 0 R /Parent " << (page.inTurnedNode ? 3 : 2) << " 0 R >>";
        builder.addObject(number, entries.str());
        builder.addStream(number + 1, "", figure.str());
        const std::string reference = std::to_string(number) + " 0 R ";
        if (page.inTurnedNode) {
            builder.addObject(3, "<< /Type /Pages /Parent 2 0 R /Kids [" + reference +
                                     "] /Count 1 /Rotate 90 /CropBox [40 30 300 270] >>");
        }
        kids += page.inTurnedNode ? "3 0 R " : reference;
        number += 2;
    }
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    builder.setTrailer("/Root 1 0 R");
    return builder.build();
}

// What the options ask of a page as seen: the rules written the simple way, on screen axes.
struct SeenOptions {
    const char* options;
    double targetWidth = 0, targetHeight = 0;  // 0: no target, the factors below apply
    double factorX = 1, factorY = 1;
    bool constrain = false, center = false, noScale = false, noEnlarge = false, keepSize = false;
    double offsetX = 0, offsetY = 0;
    bool twoDecimalMatrix = false;  // the content is drawn with its factor rounded, placed with the exact one
};

Placement placementOf(const SeenOptions& o, double width, double height) {
    Placement p{width * o.factorX, height * o.factorY, o.factorX, o.factorY, 0, 0};
    if (o.targetWidth > 0) {
        p = {o.targetWidth, o.targetHeight, o.targetWidth / width, o.targetHeight / height, 0, 0};
        if (o.constrain) p.factorX = p.factorY = std::min(p.factorX, p.factorY);
        if (o.noScale) p.factorX = p.factorY = 1;
    }
    if (o.noEnlarge) {
        p.factorX = std::min(p.factorX, 1.0), p.factorY = std::min(p.factorY, 1.0);
        p.pageWidth = std::min(p.pageWidth, width), p.pageHeight = std::min(p.pageHeight, height);
    }
    if (o.keepSize) p.pageWidth = width, p.pageHeight = height;
    if (o.center) {
        p.left = (p.pageWidth - width * p.factorX) / 2;
        p.bottom = (p.pageHeight - height * p.factorY) / 2;
    }
    p.left -= o.offsetX;
    p.bottom -= o.offsetY;
    const auto twoDecimals = [](double factor) {  // as the matrix is written
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", factor);
        return std::atof(text);
    };
    if (o.twoDecimalMatrix) p.factorX = twoDecimals(p.factorX), p.factorY = twoDecimals(p.factorY);
    return p;
}

const SeenOptions kA4Fit{"-page a4 -con -center", kA4Width, kA4Height, 1, 1, true, true};

const std::vector<SeenOptions> kSeenOptionSets = {
    kA4Fit, {"-pagesize 0,0,500,500", 500, 500}, {"-scalex200 -scaley100", 0, 0, 2, 1},
    {"-noscale -page a4 -center", kA4Width, kA4Height, 1, 1, false, false, true},
    {"-page a4 -con -center -offsetx30 -offsety-20", kA4Width, kA4Height, 1, 1, true, true, false, false, false,
     30, -20},
    {"-scale90 -keepsize -center", 0, 0, 0.9, 0.9, false, true, false, false, true},
};

// Every page and option set, each output page drawn against its input page drawn at twice the detail.
void expectSeenPagesPlaced(const std::string& input, const std::vector<int>& pages,
                           const std::vector<SeenOptions>& optionSets, const std::string& extra, double maxShareOfInk) {
    TempDir dir;
    int run = 0;
    for (const SeenOptions& options : optionSets) {
        const std::string output = succeeded(input, dir, "run" + std::to_string(run++), extra + options.options).output;
        for (const int page : pages) {
            SCOPED_TRACE(extra + options.options + ", page " + std::to_string(page));
            const Image before = render(input, 2 * kFullResolution, page);
            const Image after = render(output, kFullResolution, page);
            expectPlacedLikeTheInput(before, 2, after, placementOf(options, before.width / 2.0, before.height / 2.0),
                                     maxShareOfInk);
        }
    }
}

TEST(VisibleVisual, PagesAsSeenAreFittedScaledAndPlaced) {
    if (!haveTool("mutool")) GTEST_SKIP() << "mutool is needed";
    TempDir dir;
    const std::string input = dir.file("seen.pdf");
    writeFile(input, seenPagesPdf(kSeenPages));
    expectSeenPagesPlaced(input, {1, 2, 3, 4, 5}, kSeenOptionSets, "-visible ", kMaxFigureDifference);
}

// Scaled by the smaller factor and in the middle: opposite margins differ by the input's difference, scaled.
void expectFittedPageCentredOnA4(const std::string& input, const std::string& output, int page) {
    const Image before = render(input, kFullResolution, page), after = render(output, kFullResolution, page);
    const InkBox in = inkBox(before), out = inkBox(after);
    ASSERT_LT(in.left, before.width) << "a blank page proves nothing";
    ASSERT_LT(out.left, after.width) << "the content is lost";
    // Rotation turns the page after the boxes are set: compare in the rendered orientation.
    const bool turned = after.width > after.height;
    const double width = turned ? kA4Height : kA4Width, height = turned ? kA4Width : kA4Height;
    const double factor = std::min(width / before.width, height / before.height);
    const double tolerance = kPixelTolerance + 2 * kFactorRounding * std::max(width, height);
    EXPECT_NEAR(after.width, width, kPixelTolerance);
    EXPECT_NEAR(after.height, height, kPixelTolerance);
    EXPECT_NEAR(out.left - out.right, factor * (in.left - in.right), tolerance);
    EXPECT_NEAR(out.top - out.bottom, factor * (in.top - in.bottom), tolerance);
    EXPECT_NEAR(after.width - out.left - out.right, factor * (before.width - in.left - in.right), tolerance);
}

// Each job runs once per file, whatever number of its pages are looked at.
void expectLooksLikeTheInput(const Sample& sample, const std::string& input) {
    SCOPED_TRACE(std::string(sample.file) + ": " + sample.what);
    TempDir dir;
    const std::string doubled = succeeded(input, dir, "doubled", "-scale200").output;
    for (const int page : sample.doubled) {
        SCOPED_TRACE("doubled page " + std::to_string(page));
        expectDoubledPageLooksLikeTheInput(input, doubled, page);
    }
    if (sample.encrypted) expectEncryptedTheSameWay(input, doubled);
    if (sample.centred.empty()) return;
    const std::string fitted = succeeded(input, dir, "fitted", kA4Fit.options).output;
    for (const int page : sample.centred) {
        SCOPED_TRACE("page " + std::to_string(page) + " on A4");
        expectFittedPageCentredOnA4(input, fitted, page);
    }
}

class Visual : public ::testing::TestWithParam<Sample> {};

TEST_P(Visual, PagesLookLikeTheInputScaledAndCentred) {
    if (!haveTool("mutool") || !haveTool("qpdf")) GTEST_SKIP() << "mutool and qpdf are needed";
    expectLooksLikeTheInput(GetParam(), generatedPdf(GetParam().file));
}

INSTANTIATE_TEST_SUITE_P(Generated, Visual, ::testing::ValuesIn(kGeneratedSamples),
                         [](const testing::TestParamInfo<Sample>& info) { return testNameOf(info.param.file); });

// -noenlarge: a page that fits on A4 is copied as it stands, one larger than A4 comes out fitted, one larger
// on one side only shrinks to A4's width or height, keeps its other side and is centred in what it keeps.
TEST(NoEnlargeVisual, OnlyOversizedPagesShrink) {
    if (!haveTool("mutool") || !haveTool("qpdf")) GTEST_SKIP() << "mutool and qpdf are needed";
    const std::vector<SeenPage> pages = {{"", 0, 0, 842, 1191}, kSeenPages[0], {"", 0, 0, 1000, 300}, kSeenPages[2]};
    TempDir dir;
    writeFile(dir.file("mixed.pdf"), seenPagesPdf(pages));
    SeenOptions noEnlarge = kA4Fit;
    noEnlarge.options = "-noenlarge -page a4 -con -center";
    noEnlarge.noEnlarge = noEnlarge.twoDecimalMatrix = true;
    expectSeenPagesPlaced(dir.file("mixed.pdf"), {1, 2, 3, 4}, {noEnlarge}, "", kMaxFigureDifference);
    const std::string capped = succeeded(dir.file("mixed.pdf"), dir, "capped", noEnlarge.options).output;
    for (const char* fitting : {"12", "16"}) {
        const std::string object = std::string("object=") + fitting;
        EXPECT_EQ(qpdfShows(object, capped), qpdfShows(object, dir.file("mixed.pdf"))) << "copied as it stands";
    }
    // Nothing to change anywhere: not one new object.
    writeFile(dir.file("small.pdf"), seenPagesPdf({kSeenPages[0], kSeenPages[2]}));
    const std::string small = succeeded(dir.file("small.pdf"), dir, "small", noEnlarge.options).output;
    EXPECT_EQ(qpdfShows("xref", small), qpdfShows("xref", dir.file("small.pdf")));
}

// Corpus samples: scaled and centred.
TEST(CorpusVisual, SamplesLookScaledAndCentred) {
    SKIP_WITHOUT_CORPUS();
    if (!haveTool("mutool") || !haveTool("qpdf")) GTEST_SKIP() << "mutool and qpdf are needed";
    for (const Sample& sample : kCorpusSamples) expectLooksLikeTheInput(sample, corpusFolder() + "/" + sample.file);
}

// The whole output of `input` drawn by mutool.
std::vector<Image> resizedPixels(const std::string& input, const std::string& password = "") {
    TempDir dir;
    const std::string given = password.empty() ? "" : " -password " + password;
    const Job job = succeeded(input, dir, "out", kA4Fit.options + given);
    EXPECT_TRUE(password.empty() || job.run.output.find(password) == std::string::npos) << job.run.output;
    expectEncryptedTheSameWay(input, job.output, password);
    return drawPages(job.output, kEncryptedResolution, "", password);
}

TEST(Encryption, ResizesWithThePasswordKeepsTheCipherAndRefusesWithoutIt) {
    if (!haveTool("qpdf") || !haveTool("mutool")) GTEST_SKIP() << "qpdf and mutool are needed";
    const std::string plain = generatedPdf("classic");
    const std::vector<Image> expected = resizedPixels(plain);
    ASSERT_FALSE(expected.empty());
    const std::pair<const char*, const char*> rows[] = {  // qpdf's encryption, the password given
        {"'' owner-Pw 256", ""}, {"'' owner-Pw 256 --force-R5", ""}, {"user-Pw owner-Pw 256", "user-Pw"},
        {"user-Pw owner-Pw 256 --force-R5", "owner-Pw"}, {"user-Pw owner-Pw 128 --use-aes=y", "owner-Pw"}};
    for (const auto& [encrypt, password] : rows) {
        SCOPED_TRACE(encrypt);
        TempDir dir;
        const std::string input = dir.file("in.pdf");
        ASSERT_EQ(runCommand("qpdf --object-streams=generate --encrypt " + std::string(encrypt) + " -- " +
                             shellQuote(plain) + " " + shellQuote(input)).status, 0);
        EXPECT_TRUE(resizedPixels(input, password) == expected);
        if (*password == '\0') continue;
        for (const std::string& given : {std::string(), " -password wrong" + std::string(password)}) {
            TempDir refusedDir;  // the job's own checks: status 1 with a message and no output
            const Job refused = runJob(input, refusedDir.path(), kA4Fit.options + given);
            EXPECT_EQ(refused.problem + std::to_string(refused.run.status), "1") << given;
            EXPECT_NE(refused.run.output.find("Encrypted PDF file needs a password to be opened"), std::string::npos);
            EXPECT_EQ(refused.run.output.find(password), std::string::npos) << refused.run.output;
        }
    }
}

// An RC4 dictionary without its Length: the 40 bits the standard gives fail, the 128 bits meant open it.
TEST(Encryption, AMissingKeyLengthFallsBackTo128Bits) {
    if (!haveTool("qpdf") || !haveTool("mutool")) GTEST_SKIP() << "qpdf and mutool are needed";
    const std::string plain = generatedPdf("classic");
    TempDir dir;
    ASSERT_EQ(runCommand("qpdf --allow-weak-crypto --encrypt '' owner 128 --use-aes=n -- " + shellQuote(plain) + " " +
                         shellQuote(dir.file("rc4.pdf"))).status, 0);
    std::string bytes = readFile(dir.file("rc4.pdf"));
    const size_t handler = bytes.find("/Filter /Standard");
    const size_t length = bytes.find("/Length 128", bytes.rfind("<<", handler));
    ASSERT_LT(length, bytes.find(">>", handler)) << "the encryption dictionary gives its Length";
    bytes.replace(length, 7, "/Lengtx");  // same size: every offset stays right
    writeFile(dir.file("in.pdf"), bytes);
    // mutool keeps to the 40 bits and opens neither the input nor the output: qpdf decrypts them.
    const Job job = succeeded(dir.file("in.pdf"), dir, "out", kA4Fit.options);
    const CommandResult decrypted =
        runCommand("qpdf --decrypt " + shellQuote(job.output) + " " + shellQuote(dir.file("plain.pdf")));
    EXPECT_TRUE(decrypted.status == 0 || decrypted.status == kQpdfWarnings) << decrypted.output;
    const std::vector<Image> pages = drawPages(dir.file("plain.pdf"), kEncryptedResolution);
    EXPECT_TRUE(!pages.empty() && pages == resizedPixels(plain)) << "decrypted, it shows the plain document's output";
}

}  // namespace
