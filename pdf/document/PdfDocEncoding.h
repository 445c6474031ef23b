#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The Unicode code point of one PDFDocEncoding byte; 0 for the codes the encoding leaves
// undefined (and for the control codes below 24).
uint32_t pdfDocEncodingToUnicode(uint8_t code);

// A text string's code points: UTF-16BE after an FE FF mark (code units taken one by one,
// surrogates not combined), otherwise PDFDocEncoding byte by byte.
std::vector<uint32_t> decodeTextString(const std::string& bytes);
