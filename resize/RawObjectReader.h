#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pdf/xref/PdfXRef.h"

class CInputFile;
class OutputWriter;

// Index of the last byte of the first occurrence of `pattern` wholly inside [start, end); 0 when none.
size_t findBytes(const char* buffer, size_t start, size_t end, const char* pattern, size_t patternLength);

// The number after the first occurrence of `key`, and whether " 0 R" follows it; 0 when absent.
uint32_t findKeyNumber(const char* bytes, size_t length, const char* key, bool& isReference);

// Raw access to the input's objects by number, through the job's own handle on the input.
class RawObjectReader {
public:
    // `headerStart` is the position of "%PDF-" in the file, added to every entry offset.
    RawObjectReader(CInputFile& file, CPdfXRef& xref, uint32_t headerStart);

    // The object's bytes from its header through the byte after "endobj" (rebuilt with a
    // " 0 obj\r" header for objects in object streams); false when it cannot be read.
    bool readRawObject(uint32_t objectNumber, std::string& out);

    // File offset of the last byte of the first occurrence of `pattern` at or after `start`; 0 when none.
    uint32_t findBytesInFile(uint32_t start, const char* pattern, size_t patternLength);

    // Writes the input's bytes before its first object (from the header on).
    void copyHeader(OutputWriter& output);

private:
    CInputFile& file_;
    CPdfXRef& xref_;
    uint32_t headerStart_;
};
