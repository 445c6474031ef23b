#include "resize/UpdateSection.h"

#include <algorithm>
#include <vector>

#include "resize/NumberFormat.h"
#include "resize/OutputWriter.h"

namespace {

// Bytes of a cross-reference stream row: the type, a 4-byte offset (outputs stay below 2 GB),
// a 2-byte generation.
constexpr int kTypeBytes = 1;
constexpr int kOffsetBytes = 4;
constexpr int kGenerationBytes = 2;
constexpr char kInUse = 1;
constexpr unsigned kByteBits = 8;

struct Run {
    uint32_t first;
    uint32_t count;
};

std::vector<Run> writtenRuns(const OutputWriter& output) {
    std::vector<Run> runs;
    for (uint32_t number = 1; number < output.tableSize(); ++number) {
        if (!output.row(number).written) continue;
        if (!runs.empty() && runs.back().first + runs.back().count == number) {
            ++runs.back().count;
        } else {
            runs.push_back(Run{number, 1});
        }
    }
    return runs;
}

void appendBigEndian(std::string& bytes, uint32_t value, int width) {
    for (int i = width - 1; i >= 0; --i) bytes += static_cast<char>((value >> (kByteBits * i)) & 0xFF);
}

std::string reference(ObjectRef ref) { return formatInteger(ref.number) + " " + formatInteger(ref.generation) + " R"; }

}  // namespace

void UpdateSection::write(OutputWriter& output, NewestSection::Form form, const Trailer& trailer) {
    // After a hybrid file, readers reach the compressed objects through /Prev: a table will do.
    if (form == NewestSection::Form::stream) {
        writeStream(output, trailer);
    } else {
        writeTable(output, trailer);
    }
}

std::string UpdateSection::trailerKeys(const OutputWriter& output, const Trailer& trailer) {
    const uint32_t size = std::max<uint32_t>(trailer.inputSize, static_cast<uint32_t>(output.tableSize()));
    std::string keys = "/Size " + formatInteger(size) + "\n/Root " + reference(trailer.root) + "\n";
    if (trailer.info.number != 0) keys += "/Info " + reference(trailer.info) + "\n";
    keys += trailer.extraKeys;
    keys += "/Prev " + formatInteger(trailer.previous) + "\n";
    return keys;
}

void UpdateSection::writeTable(OutputWriter& output, const Trailer& trailer) {
    const uint32_t start = output.position();
    std::string section = "xref\n";
    for (const Run& run : writtenRuns(output)) {
        section += formatInteger(run.first) + " " + formatInteger(run.count) + "\r";
        for (uint32_t number = run.first; number < run.first + run.count; ++number) {
            const OutputEntry& entry = output.row(number);
            section += formatXRefOffset(entry.offset) + " " + formatGeneration(entry.generation) + " n \r";
        }
    }
    section += "trailer\n<<\n" + trailerKeys(output, trailer) + ">>\nstartxref\n" + formatInteger(start) + "\n%%EOF";
    output.write(section);
}

void UpdateSection::writeStream(OutputWriter& output, const Trailer& trailer) {
    // The section is an object itself, listed in its own rows.
    const uint32_t start = output.position();
    const uint32_t number = output.appendOutputEntry(OutputEntry{start, 0, true});
    std::string index;
    std::string rows;
    for (const Run& run : writtenRuns(output)) {
        index += " " + formatInteger(run.first) + " " + formatInteger(run.count);
        for (uint32_t row = run.first; row < run.first + run.count; ++row) {
            const OutputEntry& entry = output.row(row);
            rows += kInUse;
            appendBigEndian(rows, entry.offset, kOffsetBytes);
            appendBigEndian(rows, entry.generation, kGenerationBytes);
        }
    }
    std::string object = formatInteger(number) + " 0 obj\n<<\n/Type /XRef\n" + trailerKeys(output, trailer);
    object += "/W [ " + formatInteger(kTypeBytes) + " " + formatInteger(kOffsetBytes) + " " +
              formatInteger(kGenerationBytes) + " ]\n/Index [" + index + " ]\n/Length " +
              formatInteger(static_cast<int64_t>(rows.size())) + " >>\nstream\n";
    output.write(object);
    output.write(rows);
    output.write("\nendstream\nendobj\nstartxref\n" + formatInteger(start) + "\n%%EOF");
}
