#pragma once

#include <string>
#include <vector>

// Rows of cells printed as plain columns: each column as wide as its widest cell, two spaces
// apart, the last one unpadded. Cells hold no blanks except in the last column, so that awk's
// fields are the columns.
class AlignedColumns {
public:
    void addRow(std::vector<std::string> cells);
    // The rows, one a line, each ended by "\n".
    std::string text() const;

private:
    std::vector<std::vector<std::string>> rows_;
};
