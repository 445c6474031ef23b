#pragma once

#include <string>

// The bytes of examples/sample.pdf: two US Letter pages with a heading, text, coloured shapes that make
// scaling visible and a link on the first page; a classic table, uncompressed content.
std::string buildSampleDocument();
