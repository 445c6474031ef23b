#include "cli/PaperSizes.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr int paperFieldWidth = 10;
constexpr int paperTableRows = 100;
// Where findPaperSize puts the paper's width and height (its upper-right corner).
constexpr int sizeWidthIndex = 2;
constexpr int sizeHeightIndex = 3;

// Kept as fixed text fields so that the table reads like the printed list; the unused rows stay
// empty, which is why an empty name finds a row of zeros.
struct PaperSize {
    char name[paperFieldWidth];
    char width[paperFieldWidth];
    char height[paperFieldWidth];
};

constexpr PaperSize paperTable[paperTableRows] = {
    {"4A0", "4768", "6741"},    {"2A0", "3370", "4768"},  {"A0", "2384", "3370"},
    {"A1", "1684", "2384"},     {"A2", "1190", "1684"},   {"A3", "842", "1190"},
    {"A4", "595", "842"},       {"A5", "420", "595"},     {"A6", "298", "420"},
    {"A7", "209", "298"},       {"A8", "147", "210"},     {"A9", "105", "147"},
    {"A10", "74", "105"},       {"B0", "2835", "4008"},   {"B1", "2004", "2835"},
    {"B2", "1417", "2004"},     {"B3", "1001", "1417"},   {"B4", "709", "1001"},
    {"B5", "499", "709"},       {"B6", "354", "499"},     {"B7", "249", "354"},
    {"B8", "176", "249"},       {"B9", "125", "176"},     {"B10", "88", "125"},
    {"C2", "1837", "578"},      {"C3", "578", "919"},     {"C4", "919", "649"},
    {"C5", "649", "459"},       {"C6", "459", "323"},     {"D0", "3090", "2186"},
    {"SRA0", "3628", "2551"},   {"SRA1", "2551", "1814"}, {"SRA2", "1814", "1276"},
    {"SRA3", "1276", "907"},    {"SRA4", "907", "638"},   {"RA0", "3458", "2438"},
    {"RA1", "2438", "1729"},    {"RA2", "1729", "1219"},  {"Letter", "612", "792"},
    {"Legal", "612", "1008"},   {"Ledger", "792", "1224"}, {"Tabloid", "1224", "792"},
    {"Executive", "522", "756"}, {"ANSIC", "1584", "1224"}, {"ANSID", "2448", "1584"},
    {"ANSIE", "3168", "2448"},
};

// Only A to Z are folded: the names are ASCII and the result must not depend on the locale.
char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringAsciiCase(const char* name, const char* field) {
    for (; *name != '\0' && *field != '\0'; ++name, ++field) {
        if (foldAscii(*name) != foldAscii(*field)) {
            return false;
        }
    }
    return *name == '\0' && *field == '\0';
}

// The fields hold plain digits (or nothing), so the conversion is the same in every locale.
double fieldValue(const char* field) {
    return std::strtod(field, nullptr);
}

}  // namespace

bool findPaperSize(const char* name, bool landscape, double pageSize[4]) {
    if (name == nullptr) {
        return false;
    }
    for (const PaperSize& row : paperTable) {
        if (!equalsIgnoringAsciiCase(name, row.name)) {
            continue;
        }
        const double width = fieldValue(row.width);
        const double height = fieldValue(row.height);
        pageSize[0] = 0;
        pageSize[1] = 0;
        pageSize[2] = landscape ? height : width;
        pageSize[3] = landscape ? width : height;
        return true;
    }
    return false;
}

std::string paperNameOf(double width, double height, double tolerance) {
    for (const bool landscape : {false, true}) {
        for (const PaperSize& row : paperTable) {
            if (row.name[0] == '\0') break;
            double size[4];
            findPaperSize(row.name, landscape, size);
            if (std::fabs(size[sizeWidthIndex] - width) > tolerance ||
                std::fabs(size[sizeHeightIndex] - height) > tolerance) {
                continue;
            }
            std::string name;
            for (const char* c = row.name; *c != '\0'; ++c) name += foldAscii(*c);
            return landscape ? name + " landscape" : name;
        }
    }
    return std::string();
}
