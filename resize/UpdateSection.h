#pragma once

#include <cstdint>
#include <string>

#include "pdf/xref/PdfXRef.h"

class OutputWriter;

// The end of an incremental update after an input's own bytes: a cross-reference section that
// lists only the objects the job wrote, in the form of the input's newest section (a table after
// a table or a hybrid file, a stream after a stream), then the trailer, whose /Prev names that
// section, startxref and %%EOF.
class UpdateSection {
public:
    struct Trailer {
        uint32_t inputSize = 0;   // the input trailer's /Size
        ObjectRef root;
        ObjectRef info;           // number 0: none
        std::string extraKeys;    // /Encrypt and /ID as the input has them, each on its own line
        uint32_t previous = 0;    // the input's startxref
    };

    static void write(OutputWriter& output, NewestSection::Form form, const Trailer& trailer);

private:
    static std::string trailerKeys(const OutputWriter& output, const Trailer& trailer);
    static void writeTable(OutputWriter& output, const Trailer& trailer);
    static void writeStream(OutputWriter& output, const Trailer& trailer);
};
