#pragma once

#include <string>

// The bytes of examples/sample.pdf: two US Letter pages with a heading, some
// text, coloured shapes that make scaling visible, and a link annotation on the
// first page. Classic cross-reference table, uncompressed content.
std::string buildSampleDocument();
