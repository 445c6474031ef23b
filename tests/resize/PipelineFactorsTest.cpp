#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "cli/OptionParser.h"
#include "pdf/objects/PdfException.h"
#include "resize/PageScale.h"

namespace {

ResizeSettings settingsFor(std::vector<const char*> options) {
    std::vector<const char*> arguments = {"quillmor", "in.pdf", "out.pdf"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    ResizeSettings settings;
    std::string input;
    std::string output;
    parseOptions(static_cast<int>(arguments.size()), arguments.data(), input, output, settings);
    return settings;
}

PageRecord pageOf(double x1, double y1, double x2, double y2) {
    PageRecord record;
    record.mediaBox = PageBox{x1, y1, x2, y2};
    return record;
}

struct Factors {
    double x;
    double y;
};

Factors factorsFor(const std::vector<const char*>& options, const PageRecord& page) {
    ResizeSettings settings = settingsFor(options);
    setPageScale(settings, page, 1);
    return {settings.pageScaleX, settings.pageScaleY};
}

TEST(PipelineFactors, FollowTheScaleOptionsWithoutAPageSize) {
    const PageRecord a4 = pageOf(0, 0, 595, 842);
    const struct {
        std::vector<const char*> options;
        double x;
        double y;
    } cases[] = {
        {{}, 100, 100},
        {{"-scale50"}, 50, 50},
        {{"-scalex200", "-scaley150"}, 200, 150},
        {{"-noscale", "-scale150"}, 150, 150},  // -noscale holds only while the scale is 100
        {{"-noscale", "-scalex150"}, 100, 100},
    };
    for (const auto& c : cases) {
        const Factors factors = factorsFor(c.options, a4);
        EXPECT_DOUBLE_EQ(factors.x, c.x) << testing::PrintToString(c.options);
        EXPECT_DOUBLE_EQ(factors.y, c.y) << testing::PrintToString(c.options);
    }
}

TEST(PipelineFactors, FitTheMediaBoxsUpperRightCornerToThePageSize) {
    const Factors a3 = factorsFor({"-pagesize", "0,0,842,1191"}, pageOf(0, 0, 595, 842));
    EXPECT_NEAR(a3.x, 141.51, 0.005);
    EXPECT_NEAR(a3.y, 141.45, 0.005);

    // The corner, not the size: a box that starts at 100, 100 gives the same factors.
    const Factors shifted = factorsFor({"-pagesize", "0,0,842,1191"}, pageOf(100, 100, 595, 842));
    EXPECT_DOUBLE_EQ(shifted.x, a3.x);
    EXPECT_DOUBLE_EQ(shifted.y, a3.y);

    // The x1 and y1 of the page size take no part either; the scale options give way.
    const Factors offsetTarget = factorsFor({"-scale50", "-pagesize", "500,500,842,1191"}, pageOf(0, 0, 595, 842));
    EXPECT_DOUBLE_EQ(offsetTarget.x, a3.x);

    const Factors rotated = factorsFor({"-pagesize", "0,0,792,612"}, pageOf(0, 0, 612, 792));
    EXPECT_NEAR(rotated.x, 129.411765, 1e-6);
    EXPECT_NEAR(rotated.y, 77.272727, 1e-6);

    const Factors unscaled = factorsFor({"-noscale", "-pagesize", "0,0,842,1191", "-scale50"}, pageOf(0, 0, 595, 842));
    EXPECT_DOUBLE_EQ(unscaled.x, 100);
    EXPECT_DOUBLE_EQ(unscaled.y, 100);
}

TEST(PipelineFactors, NameThePageWhoseFactorIsNotFinite) {
    ResizeSettings fit = settingsFor({"-pagesize", "0,0,842,1191"});
    try {
        setPageScale(fit, pageOf(0, 0, 595, 0), 7);
        FAIL() << "a MediaBox with y2 0 gave factors " << fit.pageScaleX << ", " << fit.pageScaleY;
    } catch (const CPdfException& error) {
        const std::string message = error.getMessage();
        EXPECT_NE(message.find("Page 7 "), std::string::npos) << message;
        EXPECT_NE(message.find("MediaBox"), std::string::npos) << message;
    }

    ResizeSettings unscaled = settingsFor({"-noscale", "-pagesize", "0,0,842,1191"});
    EXPECT_NO_THROW(setPageScale(unscaled, pageOf(0, 0, 0, 0), 1));

    // The option parser takes no infinite scale, but the check must not depend on it.
    ResizeSettings infinite;
    infinite.scaleX = std::numeric_limits<double>::infinity();
    EXPECT_THROW(setPageScale(infinite, pageOf(0, 0, 595, 842), 1), CPdfException);
}

}  // namespace
