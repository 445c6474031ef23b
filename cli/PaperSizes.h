#pragma once

// Sets pageSize to 0, 0, width, height (landscape: height, width) of the named paper and
// returns true; false, changing nothing, when the name is not in the table.
bool findPaperSize(const char* name, bool landscape, double pageSize[4]);
