#pragma once
// One document with every feature the program touches, made at test time in each layout the builder
// knows and as qpdf rewrites it (object streams, linearized, QDF, RC4 and AES encrypted).

#include <string>
#include <vector>

constexpr long kGeneratedPages = 5;
const std::vector<std::string>& generatedNames();  // in a fixed order
// The named file's path, made on first use; empty when it needs qpdf and qpdf is missing.
std::string generatedPdf(const std::string& name);
std::string testNameOf(std::string name);  // letters, digits and underscores
