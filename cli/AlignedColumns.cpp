#include "cli/AlignedColumns.h"

#include <algorithm>

namespace {

constexpr char kColumnGap[] = "  ";

}  // namespace

void AlignedColumns::addRow(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }

std::string AlignedColumns::text() const {
    std::vector<size_t> widths;
    for (const std::vector<std::string>& row : rows_) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::string text;
    for (const std::vector<std::string>& row : rows_) {
        for (size_t i = 0; i < row.size(); ++i) {
            text += row[i];
            if (i + 1 < row.size()) text += std::string(widths[i] - row[i].size(), ' ') + kColumnGap;
        }
        text += '\n';
    }
    return text;
}
