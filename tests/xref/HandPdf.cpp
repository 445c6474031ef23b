#include "tests/xref/HandPdf.h"

#include <cstdio>

void HandPdf::object(int number, const std::string& body, int generation) {
    offsets_[number] = position();
    bytes_ += std::to_string(number) + " " + std::to_string(generation) + " obj\n" + body + "\nendobj\n";
}

void HandPdf::stream(int number, const std::string& dictEntries, const std::string& data) {
    object(number, "<< " + dictEntries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                       "\nendstream");
}

std::string HandPdf::finish(uint32_t xrefPosition) const {
    return bytes_ + "startxref\n" + std::to_string(xrefPosition) + "\n%%EOF\n";
}

std::string tableRow(uint32_t offset, uint32_t generation, char type) {
    char row[24];
    std::snprintf(row, sizeof row, "%010u %05u %c \n", offset, generation, type);
    return row;
}

std::string field(uint64_t value, int width) {
    std::string bytes(static_cast<size_t>(width), '\0');
    for (int i = width - 1; i >= 0; --i, value >>= 8) bytes[static_cast<size_t>(i)] = static_cast<char>(value & 0xFF);
    return bytes;
}
