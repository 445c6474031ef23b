#include "cli/PageReport.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/AlignedColumns.h"
#include "cli/PaperSizes.h"
#include "resize/PageGeometry.h"
#include "resize/PageScale.h"
#include "resize/PageView.h"
#include "resize/QuillmorHandler.h"

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kPointsPerInch = 72;
constexpr double kMillimetresPerPoint = kMillimetresPerInch / kPointsPerInch;
// A page within this many points of a paper's size is that paper.
constexpr double kPaperTolerance = 1;
// Decimals of the numbers shown: those of a box as files write them, sizes, factors.
constexpr int kBoxDecimals = 4;
constexpr int kPointDecimals = 2;
constexpr int kMillimetreDecimals = 1;
constexpr int kFactorDecimals = 4;
constexpr char kNone[] = "-";

// The columns, in order; the paper's name, which may hold a blank, comes last.
enum Column : size_t {
    kPage, kMediaBox, kCropBox, kRotate, kUserUnit, kSeenPoints, kSeenMillimetres, kSelected, kBoxFactors,
    kContentFactors, kNewPoints, kPaper, kColumnCount
};
const std::vector<std::string> kHeader = {"page",     "mediabox", "cropbox",     "rotate",          "userunit",
                                          "seen-pt",  "seen-mm",  "selected",    "box-factors",     "content-factors",
                                          "new-pt",   "paper"};

// The number with at most `decimals` decimals and no trailing zeros ("612", "595.28", "0.5").
std::string number(double value, int decimals) {
    // A file may give any number: the text is as long as the number needs.
    const int length = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    std::string result(static_cast<size_t>(length), '\0');
    std::snprintf(&result[0], result.size() + 1, "%.*f", decimals, value);
    if (result.find('.') != std::string::npos) {
        result.erase(result.find_last_not_of('0') + 1);
        if (result.back() == '.') result.pop_back();
    }
    return result == "-0" ? "0" : result;
}

std::string pair(double first, double second, int decimals, const char* separator) {
    return number(first, decimals) + separator + number(second, decimals);
}

std::string boxText(const PageBox& box) {
    return pair(box.x1, box.y1, kBoxDecimals, ",") + "," + pair(box.x2, box.y2, kBoxDecimals, ",");
}

std::string seenSize(const PageView& view) { return pair(view.width(), view.height(), kPointDecimals, "x"); }

std::vector<std::string> pageRow(size_t index, const PageRecord& record, const ResizeSettings& settings) {
    std::vector<std::string> row(kColumnCount, kNone);
    row[kPage] = std::to_string(index + 1);
    // A page the tree gives as a direct dictionary has no record of its own, and is never resized.
    if (!record.filled) return row;
    const PageView view(record);
    row[kMediaBox] = boxText(record.mediaBox);
    if (record.hasCropBox) row[kCropBox] = boxText(record.cropBox);
    row[kRotate] = std::to_string(static_cast<int>(view.rotation()));
    if (view.userUnit() != 1) row[kUserUnit] = number(view.userUnit(), kBoxDecimals);
    row[kSeenPoints] = seenSize(view);
    row[kSeenMillimetres] =
        pair(view.width() * kMillimetresPerPoint, view.height() * kMillimetresPerPoint, kMillimetreDecimals, "x");
    const std::string paper = paperNameOf(view.width(), view.height(), kPaperTolerance);
    if (!paper.empty()) row[kPaper] = paper;
    const bool selected = record.selected && unresizableReason(settings, record).empty();
    row[kSelected] = selected ? "yes" : "no";
    if (!selected) return row;
    const PageTransform transform = pageTransformOf(settings, record);
    row[kBoxFactors] = pair(transform.boxFactors.x, transform.boxFactors.y, kFactorDecimals, ",");
    row[kContentFactors] = pair(transform.contentFactors.x, transform.contentFactors.y, kFactorDecimals, ",");
    // The boxes the rewrite would write, seen as the page then is.
    const PageGeometry geometry(settings, transform, record.mediaBox, record.objectNumber);
    PageRecord resized = record;
    PageBox box = record.mediaBox;
    resized.mediaBox = geometry.resizeBox(box);
    box = record.cropBox;
    resized.cropBox = geometry.resizeBox(box);
    row[kNewPoints] = seenSize(PageView(resized));
    return row;
}

// "pages: 5, sizes as seen: 2 (612x792: 3, 792x612: 2)", the sizes in the order they first come.
std::string summary(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::pair<std::string, size_t>> sizes;
    for (const std::vector<std::string>& row : rows) {
        const std::string& size = row[kSeenPoints];
        if (size == kNone) continue;
        bool counted = false;
        for (auto& [known, count] : sizes) {
            if (known == size) counted = ++count > 0;
        }
        if (!counted) sizes.emplace_back(size, 1);
    }
    std::string text = "pages: " + std::to_string(rows.size()) + ", sizes as seen: " + std::to_string(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        text += (i == 0 ? " (" : ", ") + sizes[i].first + ": " + std::to_string(sizes[i].second);
    }
    return text + (sizes.empty() ? "\n" : ")\n");
}

}  // namespace

void printPageReport(JobRequest job) {
    const ResizeSettings settings = job.settings;
    const std::vector<PageRecord> records = CQuillmorHandler(std::move(job)).surveyPages();
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < records.size(); ++i) rows.push_back(pageRow(i, records[i], settings));
    AlignedColumns table;
    table.addRow(kHeader);
    for (const std::vector<std::string>& row : rows) table.addRow(row);
    std::fputs(("\n" + table.text() + summary(rows)).c_str(), stdout);
}
