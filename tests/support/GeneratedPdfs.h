#pragma once
// PDF files made at test time, so that the whole-program checks need no files from elsewhere: one document
// with every feature the program touches (inherited boxes and rotation, rotated and landscape pages, a
// contents array, link and stamp annotations, tiling and shading patterns, an outline, metadata, Info),
// written in each layout the builder knows, and qpdf's rewrites of it (object streams, linearized, QDF,
// encrypted with RC4 40 and 128 bits, AES-128 and AES-256).

#include <string>
#include <vector>

// The rich document's page count, and the names of all generated files in a fixed order.
constexpr long kGeneratedPages = 5;
const std::vector<std::string>& generatedNames();

// The named file's path, made on first use in a folder that lasts as long as the test program; empty
// when it comes from qpdf and qpdf is not installed. Throws std::invalid_argument for an unknown name.
std::string generatedPdf(const std::string& name);

// The name as a test name can have it: letters, digits and underscores.
std::string testNameOf(std::string name);
