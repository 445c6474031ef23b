#include "cli/OptionParser.h"

#include <cstdio>
#include <cstring>

#include "cli/BatchList.h"
#include "cli/Messages.h"
#include "cli/PaperSizes.h"
#include "cli/ScanfReader.h"
#include "pdf/objects/PdfException.h"

namespace {

constexpr int inputFileIndex = 1;
constexpr int outputFileIndex = 2;
constexpr int firstOptionIndex = 3;
constexpr int reportInputIndex = 2;  // after the report option
constexpr int pageSizeValues = 4;

constexpr char paperNameError[] = "wrong -page parameter, paper name not found.\n";
constexpr char pageSizeError[] = "wrong -pagesize parameter\n";
constexpr char passwordError[] = "wrong -password parameter: the password must follow it\n";
constexpr char constrainWarning[] =
    "Can't constrain proportions if page size not set! e.g. use -pagesize 0,0,800,600\n";
constexpr char centerWarning[] =
    "Can't center if not using constrained proportions, use -con option to constrain proportions\n";

bool isWord(const char* argument, const char* word) {
    return std::strcmp(argument, word) == 0;
}

// "prefix%lf": the argument starts with the prefix and a number follows it.
bool readPrefixedNumber(const char* argument, const char* prefix, double& value) {
    CScanfReader reader(argument);
    return reader.literal(prefix) && reader.number(value);
}

// "%lf,%lf,%lf,%lf"; the settings change only when all four numbers are there.
bool readPageSize(const char* text, double pageSize[pageSizeValues]) {
    CScanfReader reader(text);
    double values[pageSizeValues];
    for (int i = 0; i < pageSizeValues; ++i) {
        if (i > 0 && !reader.literal(",")) {
            return false;
        }
        if (!reader.number(values[i])) {
            return false;
        }
    }
    for (int i = 0; i < pageSizeValues; ++i) {
        pageSize[i] = values[i];
    }
    return true;
}

void applyPaperName(const char* name, bool landscape, ResizeSettings& settings) {
    // Nothing left to name a paper is the same mistake as naming an unknown one.
    if (name == nullptr) {
        throw CPdfException(paperNameError);
    }
    settings.paperName = name;
    if (!findPaperSize(name, landscape, settings.pageSize)) {
        throw CPdfException(paperNameError);
    }
}

void applyPageSize(const char* text, ResizeSettings& settings) {
    if (text == nullptr || !readPageSize(text, settings.pageSize)) {
        throw CPdfException(pageSizeError);
    }
}

// Applies the first rule that matches `argument`; `next` is the argument after it, or null.
// Returns true when the rule consumed `next`.
bool applyOption(const char* argument, const char* next, ResizeSettings& settings) {
    double number = 0;
    if (isWord(argument, "-con")) {
        settings.constrainProportions = true;
    } else if (isWord(argument, "-center")) {
        settings.center = true;
    } else if (isWord(argument, "-sodd")) {
        settings.oddPagesOnly = true;
    } else if (isWord(argument, "-seven")) {
        settings.evenPagesOnly = true;
    } else if (readPrefixedNumber(argument, "-scalex", number)) {
        settings.scaleX = number;
    } else if (readPrefixedNumber(argument, "-scaley", number)) {
        settings.scaleY = number;
    } else if (readPrefixedNumber(argument, "-scale", number)) {
        settings.scale = number;
        settings.scaleX = number;
        settings.scaleY = number;
    } else if (readPrefixedNumber(argument, "-offsetx", number)) {
        settings.offsetX = number;
    } else if (readPrefixedNumber(argument, "-offsety", number)) {
        settings.offsetY = number;
    } else if (isWord(argument, "-page")) {
        applyPaperName(next, false, settings);
        return true;
    } else if (isWord(argument, "-pageL")) {
        applyPaperName(next, true, settings);
        return true;
    } else if (isWord(argument, "-noscale")) {
        settings.noScale = true;
    } else if (isWord(argument, "-pagesize")) {
        applyPageSize(next, settings);
        return true;
    } else if (isWord(argument, passwordOption)) {
        if (next == nullptr) throw CPdfException(passwordError);
        settings.password = next;
        return true;
    } else if (isWord(argument, "-incremental")) {
        settings.incremental = true;
    } else if (isWord(argument, "-visible")) {
        settings.visible = true;
    } else if (isWord(argument, "-noenlarge")) {
        settings.noEnlarge = true;
    } else if (isWord(argument, "-keepsize")) {
        settings.keepSize = true;
    } else if (isWord(argument, keepGoingOption)) {
        // The batch driver's option: nothing for the job itself.
    } else if (std::strncmp(argument, "-s", 2) == 0) {
        settings.pageRanges = argument;
    } else {
        // Still ignored, but a mistyped option must not pass in silence.
        std::printf("Warning: option '%s' not recognised, ignored\n", argument);
    }
    return false;
}

void checkCombinations(ResizeSettings& settings) {
    if (settings.constrainProportions && !settings.hasPageSize()) {
        settings.constrainProportions = false;
        // The page itself is what -keepsize centres in: that needs no target.
        if (!settings.keepSize) settings.center = false;
        std::fputs(constrainWarning, stdout);
    }
    if (settings.center && !settings.constrainProportions && !settings.keepSize) {
        settings.center = false;
        std::fputs(centerWarning, stdout);
    }
}

void parseOptionList(int argumentCount, const char* const* arguments, int firstIndex, ResizeSettings& settings) {
    for (int index = firstIndex; index < argumentCount; ++index) {
        const char* next = index + 1 < argumentCount ? arguments[index + 1] : nullptr;
        if (applyOption(arguments[index], next, settings)) {
            ++index;
        }
    }
    checkCombinations(settings);
}

}  // namespace

void parseOptions(int argumentCount, const char* const* arguments, std::string& inputFileName,
                  std::string& outputFileName, ResizeSettings& settings) {
    if (argumentCount <= outputFileIndex) {
        throw CPdfException(missingOutputFileMessage);
    }
    inputFileName = arguments[inputFileIndex];
    outputFileName = arguments[outputFileIndex];
    parseOptionList(argumentCount, arguments, firstOptionIndex, settings);
}

void parseReportOptions(int argumentCount, const char* const* arguments, std::string& inputFileName,
                        ResizeSettings& settings) {
    if (argumentCount <= reportInputIndex) {
        throw CPdfException(missingReportInputMessage);
    }
    inputFileName = arguments[reportInputIndex];
    parseOptionList(argumentCount, arguments, reportInputIndex + 1, settings);
}
