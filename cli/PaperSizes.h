#pragma once

#include <string>

// Sets pageSize to 0, 0, width, height (landscape: height, width) of the named paper and
// returns true; false, changing nothing, when the name is not in the table.
bool findPaperSize(const char* name, bool landscape, double pageSize[4]);

// The paper a page of `width` × `height` points is, within `tolerance` points: the name that -page
// takes ("a4"), or that -pageL takes followed by " landscape"; empty when it is none. A size that is
// one paper upright and another turned is the upright one.
std::string paperNameOf(double width, double height, double tolerance);
