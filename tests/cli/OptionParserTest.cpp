#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>

#include "cli/OptionParser.h"
#include "cli/ScanfReader.h"
#include "tests/cli/CliTestTools.h"

namespace {

constexpr char constrainWarning[] =
    "Can't constrain proportions if page size not set! e.g. use -pagesize 0,0,800,600\n";
constexpr char centerWarning[] =
    "Can't center if not using constrained proportions, use -con option to constrain proportions\n";
constexpr char paperNameError[] = "wrong -page parameter, paper name not found.\n";
constexpr char pageSizeError[] = "wrong -pagesize parameter\n";

using Rectangle = std::array<double, 4>;

struct Parsed {
    std::string input;
    std::string output;
    ResizeSettings settings;
    std::string printed;
};

// Parses "a.pdf b.pdf" followed by the options.
Parsed parseWith(std::initializer_list<std::string> options) {
    std::initializer_list<std::string> files = {"a.pdf", "b.pdf"};
    std::vector<std::string> all(files);
    all.insert(all.end(), options.begin(), options.end());
    Parsed parsed;
    std::vector<const char*> arguments{"quillmor"};
    for (const std::string& text : all) {
        arguments.push_back(text.c_str());
    }
    parsed.printed = capturedOutput([&] {
        parseOptions(static_cast<int>(arguments.size()), arguments.data(), parsed.input, parsed.output,
                     parsed.settings);
    });
    return parsed;
}

std::string parseError(std::initializer_list<std::string> options) {
    return thrownMessage([&] { parseWith(options); });
}

Rectangle pageSizeOf(const ResizeSettings& settings) {
    return {settings.pageSize[0], settings.pageSize[1], settings.pageSize[2], settings.pageSize[3]};
}

void expectDefaultScales(const ResizeSettings& settings) {
    EXPECT_EQ(settings.scale, 100);
    EXPECT_EQ(settings.scaleX, 100);
    EXPECT_EQ(settings.scaleY, 100);
}

TEST(OptionParser, FileNamesAndDefaults) {
    const Parsed parsed = parseWith({});
    EXPECT_EQ(parsed.input, "a.pdf");
    EXPECT_EQ(parsed.output, "b.pdf");
    expectDefaultScales(parsed.settings);
    EXPECT_FALSE(parsed.settings.hasPageSize());
    EXPECT_EQ(parsed.printed, "");
}

TEST(OptionParser, TheFirstTwoArgumentsAreAlwaysFileNames) {
    Parsed parsed;
    ArgumentList arguments{"-scale50", "a.pdf", "b.pdf"};
    parsed.printed = capturedOutput(
        [&] { parseOptions(arguments.count(), arguments.data(), parsed.input, parsed.output, parsed.settings); });
    EXPECT_EQ(parsed.input, "-scale50");
    EXPECT_EQ(parsed.output, "a.pdf");
    expectDefaultScales(parsed.settings);
    EXPECT_EQ(parsed.settings.pageRanges, "");
    EXPECT_EQ(parsed.printed, "");
}

TEST(OptionParser, MissingOutputFileNameIsAnError) {
    ArgumentList arguments{"a.pdf"};
    std::string input;
    std::string output;
    ResizeSettings settings;
    const std::string message =
        thrownMessage([&] { parseOptions(arguments.count(), arguments.data(), input, output, settings); });
    EXPECT_NE(message.find("output file name is missing"), std::string::npos) << message;
}

TEST(OptionParser, ScaleOptionsAndTheirOrder) {
    const ResizeSettings both = parseWith({"-scale50"}).settings;
    EXPECT_EQ(both.scale, 50);
    EXPECT_EQ(both.scaleX, 50);
    EXPECT_EQ(both.scaleY, 50);

    const ResizeSettings axisLast = parseWith({"-scale150", "-scalex200"}).settings;
    EXPECT_EQ(axisLast.scale, 150);
    EXPECT_EQ(axisLast.scaleX, 200);
    EXPECT_EQ(axisLast.scaleY, 150);

    const ResizeSettings bothLast = parseWith({"-scalex200", "-scaley30", "-scale150"}).settings;
    EXPECT_EQ(bothLast.scale, 150);
    EXPECT_EQ(bothLast.scaleX, 150);
    EXPECT_EQ(bothLast.scaleY, 150);

    const ResizeSettings yOnly = parseWith({"-scaley75.5"}).settings;
    EXPECT_EQ(yOnly.scale, 100);
    EXPECT_EQ(yOnly.scaleX, 100);
    EXPECT_EQ(yOnly.scaleY, 75.5);
}

TEST(OptionParser, NumbersAreReadLikeScanf) {
    EXPECT_EQ(parseWith({"-scalex200abc"}).settings.scaleX, 200);
    EXPECT_EQ(parseWith({"-offsetx-36"}).settings.offsetX, -36);
    EXPECT_EQ(parseWith({"-offsety+1.5e1"}).settings.offsetY, 15);
    EXPECT_EQ(parseWith({"-scale.5"}).settings.scale, 0.5);
    EXPECT_EQ(parseWith({"-scale7."}).settings.scale, 7);
    EXPECT_EQ(parseWith({"-scale 40"}).settings.scale, 40);  // white space before a number is skipped
    EXPECT_EQ(parseWith({"-scale12e"}).settings.scale, 12);  // an exponent needs digits
    EXPECT_EQ(parseWith({"-scale12e-1x"}).settings.scale, 1.2);
    EXPECT_EQ(parseWith({"-offsetx5", "-offsetx-2.25"}).settings.offsetX, -2.25);
}

TEST(OptionParser, NumberRuleWithoutNumberFallsToPageSelection) {
    for (const char* argument : {"-scale", "-scalex", "-scaley", "-scalexyz", "-scale-", "-scale.", "-scalee5",
                                 "-scaleinf", "-scalenan", "-scale1e999"}) {
        const Parsed parsed = parseWith({argument});
        EXPECT_EQ(parsed.settings.pageRanges, argument);
        expectDefaultScales(parsed.settings);
        EXPECT_EQ(parsed.printed, "") << argument;
    }
    // "-offset" does not start with "-s": without a number it matches nothing.
    const ResizeSettings offset = parseWith({"-offsetx", "-offsety-"}).settings;
    EXPECT_EQ(offset.pageRanges, "");
    EXPECT_EQ(offset.offsetX, 0);
    EXPECT_EQ(offset.offsetY, 0);
}

TEST(OptionParser, ExactWordsAndPageSelection) {
    const ResizeSettings flags = parseWith({"-sodd", "-seven", "-noscale"}).settings;
    EXPECT_TRUE(flags.oddPagesOnly);
    EXPECT_TRUE(flags.evenPagesOnly);
    EXPECT_TRUE(flags.noScale);
    EXPECT_EQ(flags.pageRanges, "");

    const ResizeSettings ranges = parseWith({"-s1,3-4", "-soddx", "-s2"}).settings;
    EXPECT_EQ(ranges.pageRanges, "-s2");
    EXPECT_FALSE(ranges.oddPagesOnly);
    EXPECT_EQ(parseWith({"-sodd", "-s1-3"}).settings.pageRanges, "-s1-3");
    EXPECT_EQ(parseWith({"-s"}).settings.pageRanges, "-s");

    // Case matters and unknown arguments pass without a word.
    const Parsed ignored = parseWith({"-Con", "-CENTER", "-Scale50", "-foo", "x.pdf", "", "-", "-S1"});
    EXPECT_FALSE(ignored.settings.constrainProportions);
    EXPECT_FALSE(ignored.settings.center);
    expectDefaultScales(ignored.settings);
    EXPECT_EQ(ignored.settings.pageRanges, "");
    EXPECT_EQ(ignored.printed, "");
}

TEST(OptionParser, PaperNames) {
    const ResizeSettings portrait = parseWith({"-page", "A4"}).settings;
    EXPECT_EQ(pageSizeOf(portrait), (Rectangle{0, 0, 595, 842}));
    EXPECT_EQ(portrait.paperName, "A4");
    EXPECT_EQ(pageSizeOf(parseWith({"-page", "a4"}).settings), (Rectangle{0, 0, 595, 842}));
    const ResizeSettings landscape = parseWith({"-pageL", "letter"}).settings;
    EXPECT_EQ(pageSizeOf(landscape), (Rectangle{0, 0, 792, 612}));
    EXPECT_EQ(landscape.paperName, "letter");

    EXPECT_EQ(parseError({"-page", "a4x"}), paperNameError);
    EXPECT_EQ(parseError({"-pageL", "A"}), paperNameError);
    // An empty name finds the table's first empty row: a success that sets no page size.
    const ResizeSettings empty = parseWith({"-page", "a3", "-page", ""}).settings;
    EXPECT_FALSE(empty.hasPageSize());
    EXPECT_EQ(empty.paperName, "");
}

TEST(OptionParser, PageSizeText) {
    EXPECT_EQ(pageSizeOf(parseWith({"-pagesize", "0,0,842,1191"}).settings), (Rectangle{0, 0, 842, 1191}));
    EXPECT_EQ(pageSizeOf(parseWith({"-pagesize", "-10.5,0,1e3,2E2junk"}).settings), (Rectangle{-10.5, 0, 1000, 200}));
    EXPECT_EQ(pageSizeOf(parseWith({"-pagesize", "1, 2,\t3, 4"}).settings), (Rectangle{1, 2, 3, 4}));
    for (const char* text : {"0,0,842", "0,0,842,", "1 ,2,3,4", "1;2;3;4", "", "a,b,c,d", "1,2,3,1e999"}) {
        EXPECT_EQ(parseError({"-pagesize", text}), pageSizeError) << '"' << text << '"';
    }
}

TEST(OptionParser, LaterPageSizeOptionWins) {
    EXPECT_EQ(pageSizeOf(parseWith({"-page", "a4", "-pagesize", "0,0,10,20"}).settings), (Rectangle{0, 0, 10, 20}));
    EXPECT_EQ(pageSizeOf(parseWith({"-pagesize", "0,0,10,20", "-pageL", "a5"}).settings), (Rectangle{0, 0, 595, 420}));
}

TEST(OptionParser, ValueTakingOptionsConsumeTheNextArgument) {
    // The consumed argument is a value, never an option of its own.
    EXPECT_EQ(parseError({"-page", "-con"}), paperNameError);
    EXPECT_EQ(parseError({"-pagesize", "-scale50"}), pageSizeError);
    const ResizeSettings after = parseWith({"-pagesize", "0,0,10,20", "-con", "-page", "a4", "-s2"}).settings;
    EXPECT_TRUE(after.constrainProportions);
    EXPECT_EQ(after.pageRanges, "-s2");
}

TEST(OptionParser, ValueTakingOptionAsTheLastArgument) {
    EXPECT_EQ(parseError({"-page"}), paperNameError);
    EXPECT_EQ(parseError({"-scale50", "-pageL"}), paperNameError);
    EXPECT_EQ(parseError({"-pagesize"}), pageSizeError);
}

TEST(OptionParser, CombinationWarnings) {
    const Parsed fitted = parseWith({"-center", "-con", "-page", "a4"});
    EXPECT_TRUE(fitted.settings.constrainProportions);
    EXPECT_TRUE(fitted.settings.center);
    EXPECT_EQ(fitted.printed, "");

    const Parsed constrainOnly = parseWith({"-con"});
    EXPECT_FALSE(constrainOnly.settings.constrainProportions);
    EXPECT_EQ(constrainOnly.printed, constrainWarning);

    const Parsed centerOnly = parseWith({"-center", "-pagesize", "0,0,5,5"});
    EXPECT_FALSE(centerOnly.settings.center);
    EXPECT_EQ(centerOnly.printed, centerWarning);

    // Clearing both flags with the first warning leaves nothing for the second.
    const Parsed both = parseWith({"-con", "-center"});
    EXPECT_FALSE(both.settings.constrainProportions);
    EXPECT_FALSE(both.settings.center);
    EXPECT_EQ(both.printed, constrainWarning);

    // A page size of four zeros is no page size.
    EXPECT_EQ(parseWith({"-con", "-pagesize", "0,0,0,0"}).printed, constrainWarning);
}

TEST(ScanfReader, LiteralsAndNumbersMoveOnlyWhenTheyMatch) {
    CScanfReader reader("12.5,x -3");
    double value = 0;
    EXPECT_FALSE(reader.literal(","));
    ASSERT_TRUE(reader.number(value));
    EXPECT_EQ(value, 12.5);
    EXPECT_FALSE(reader.literal(",y"));
    EXPECT_TRUE(reader.literal(","));
    EXPECT_FALSE(reader.number(value));
    EXPECT_EQ(value, 12.5);
    EXPECT_TRUE(reader.literal("x"));
    ASSERT_TRUE(reader.number(value));
    EXPECT_EQ(value, -3);
    EXPECT_FALSE(reader.number(value));
    EXPECT_TRUE(reader.literal(""));
}

}  // namespace
