#include "tests/support/PdfBuilder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <stdexcept>

#include "tests/support/TestTools.h"

namespace {

constexpr uint64_t kFreeHeadGeneration = 65535;
constexpr int kPngUpPredictor = 12;
constexpr size_t kHeaderSearchLength = 1024;

using Row = std::array<uint64_t, 3>;  // type, then the two fields

// Runs of consecutive object numbers, as (first, count) pairs.
std::vector<std::pair<int, int>> runsOf(const std::map<int, Row>& rows) {
    std::vector<std::pair<int, int>> runs;
    for (const auto& row : rows) {
        if (!runs.empty() && runs.back().first + runs.back().second == row.first) ++runs.back().second;
        else runs.emplace_back(row.first, 1);
    }
    return runs;
}

std::string objectHeader(int number, int generation, const std::string& eol) {
    return std::to_string(number) + " " + std::to_string(generation) + " obj" + eol;
}

std::string streamObject(int number, int generation, const std::string& dictEntries, const std::string& data,
                         bool compress, const std::string& eol, const std::string& filterEntries = "") {
    const std::string stored = compress ? deflateBytes(data) : data;
    const std::string dict = "<<" + (dictEntries.empty() ? "" : " " + dictEntries) + " /Length " +
                             std::to_string(stored.size()) + (compress ? " /Filter /FlateDecode" : "") +
                             (filterEntries.empty() ? "" : " " + filterEntries) + " >>";
    // "stream" is followed by CR LF or LF, never a lone CR.
    return objectHeader(number, generation, eol) + dict + eol + "stream" + (eol == "\r" ? "\r\n" : eol) + stored +
           eol + "endstream" + eol + "endobj" + eol;
}

// Big-endian in `width` bytes; bytes beyond the eighth are 0.
void appendField(std::string& out, uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out += static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0);
}

std::string pngUpRows(const std::string& raw, size_t columns) {
    std::string encoded, previous(columns, '\0');
    for (size_t start = 0; start < raw.size(); start += columns) {
        encoded += '\2';  // the Up filter
        for (size_t i = 0; i < columns; ++i) encoded += static_cast<char>(raw[start + i] - previous[i]);
        previous = raw.substr(start, columns);
    }
    return encoded;
}

// The number after the last `keyword`, or -1.
int64_t numberAfterLast(const std::string& text, const std::string& keyword) {
    const size_t at = text.rfind(keyword);
    if (at == std::string::npos) return -1;
    const size_t digit = text.find_first_not_of(" \t\r\n\f", at + keyword.size());
    return digit < text.size() && std::isdigit(static_cast<unsigned char>(text[digit]))
               ? std::strtoll(text.c_str() + digit, nullptr, 10) : -1;
}

}  // namespace

std::string PdfBuilder::build(const Options& options) const {
    std::string out = junk_ + header_;
    writeSection(out, static_cast<uint32_t>(junk_.size()), 0, -1, options);
    return out;
}

std::string PdfBuilder::appendUpdate(const std::string& base, const Options& options) const {
    const size_t header = base.substr(0, kHeaderSearchLength).find("%PDF-");
    const int64_t previous = numberAfterLast(base, "startxref");
    if (previous < 0) throw std::invalid_argument("appendUpdate: the base has no startxref");
    std::string out = base;
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += options.eol;
    writeSection(out, header == std::string::npos ? 0 : static_cast<uint32_t>(header),
                 static_cast<uint32_t>(std::max<int64_t>(numberAfterLast(base, "/Size"), 0)), previous, options);
    return out;
}

void PdfBuilder::writeSection(std::string& out, uint32_t headerPos, uint32_t minimumSize, int64_t previous,
                              const Options& options) const {
    const std::string& eol = options.eol;
    const bool wantStream = options.xrefStream || options.hybrid;
    if ((!objectStreams_.empty() || !compressedEntries_.empty()) && !wantStream)
        throw std::invalid_argument("objects in object streams need a cross-reference stream");

    // The bytes of every top-level object, object streams included.
    std::map<int, std::pair<int, std::string>> written;  // generation, bytes
    std::map<int, Row> tableRows, streamRows;  // streamRows: compressed objects (hybrid: the /XRefStm stream)
    for (const auto& [stream, plan] : objectStreams_) {
        std::string pairs, bodies;
        for (size_t index = 0; index < plan.first.size(); ++index) {
            const int member = plan.first[index];
            pairs += (pairs.empty() ? "" : " ") + std::to_string(member) + " " + std::to_string(bodies.size());
            bodies += objects_.at(member).body + eol;  // plain objects of generation 0
            streamRows[member] = Row{2, static_cast<uint64_t>(stream), index};
        }
        pairs += eol;
        const std::string dict = "/Type /ObjStm /N " + std::to_string(plan.first.size()) + " /First " +
                                 std::to_string(pairs.size());
        written[stream] = {0, streamObject(stream, 0, dict, pairs + bodies, plan.second, eol)};
    }
    for (const auto& [number, source] : objects_) {
        if (streamRows.count(number)) continue;
        std::string bytes = source.body;
        if (source.form == Source::Form::stream)
            bytes = streamObject(number, source.generation, source.body, source.data, source.compress, eol);
        else if (source.form == Source::Form::plain)
            bytes = objectHeader(number, source.generation, eol) + source.body + eol + "endobj" + eol;
        written[number] = {source.generation, bytes};
    }
    offsets_.clear();
    if (previous < 0) tableRows[0] = Row{0, 0, kFreeHeadGeneration};
    for (const auto& [number, object] : written) {
        offsets_[number] = static_cast<uint32_t>(out.size() - headerPos);
        tableRows[number] = Row{1, offsets_[number], static_cast<uint64_t>(object.first)};
        out += object.second;
    }
    for (const auto& [number, place] : compressedEntries_) {
        streamRows[number] = Row{2, static_cast<uint64_t>(place.first), static_cast<uint64_t>(place.second)};
        minimumSize = std::max<uint32_t>(minimumSize, static_cast<uint32_t>(number) + 1);
    }

    int highest = static_cast<int>(minimumSize) - 1;
    if (!written.empty()) highest = std::max(highest, written.rbegin()->first);
    if (!streamRows.empty()) highest = std::max(highest, std::prev(streamRows.end())->first);
    const int xrefStreamNumber = highest + 1;
    const int size = wantStream ? xrefStreamNumber + 1 : highest + 1;
    const std::string sizeEntry = "/Size " + std::to_string(size);
    const std::string prevEntry = previous >= 0 ? " /Prev " + std::to_string(previous) : "";
    const std::string trailer = trailer_.empty() ? "" : " " + trailer_;

    // A cross-reference stream: in hybrid mode only the compressed objects, else everything.
    uint32_t streamOffset = 0;
    if (wantStream) {
        streamOffset = offsets_[xrefStreamNumber] = static_cast<uint32_t>(out.size() - headerPos);
        std::map<int, Row> rows = streamRows;
        if (!options.hybrid) {
            rows.insert(tableRows.begin(), tableRows.end());
            rows[xrefStreamNumber] = Row{1, streamOffset, 0};
        }
        std::string data;
        for (const auto& row : rows)
            for (int k = 0; k < 3; ++k) appendField(data, row.second[k], options.widths[k]);
        std::string dict = "/Type /XRef " + sizeEntry + " /W [" + std::to_string(options.widths[0]) + " " +
                           std::to_string(options.widths[1]) + " " + std::to_string(options.widths[2]) + "]";
        std::string index;
        for (const auto& [first, count] : runsOf(rows))
            index += (index.empty() ? "" : " ") + std::to_string(first) + " " + std::to_string(count);
        if (index != "0 " + std::to_string(size)) dict += " /Index [" + index + "]";
        if (!options.hybrid) dict += trailer + prevEntry;
        std::string decodeParms;
        if (options.xrefPredictor) {
            const int columns = std::accumulate(options.widths.begin(), options.widths.begin() + 3, 0);
            data = pngUpRows(data, static_cast<size_t>(columns));
            decodeParms = "/DecodeParms << /Predictor " + std::to_string(kPngUpPredictor) + " /Columns " +
                          std::to_string(columns) + " >>";
        }
        out += streamObject(xrefStreamNumber, 0, dict, data, true, eol, decodeParms);
        if (!options.hybrid) {
            out += "startxref" + eol + std::to_string(streamOffset) + eol + "%%EOF" + eol;
            return;
        }
        tableRows[xrefStreamNumber] = Row{1, streamOffset, 0};
    }

    const uint32_t tableOffset = static_cast<uint32_t>(out.size() - headerPos);
    out += "xref" + eol;
    const std::string rowEnd = eol.size() == 2 ? eol : " " + eol;  // a 20-byte row ends in two bytes
    for (const auto& run : runsOf(tableRows)) {
        out += std::to_string(run.first) + " " + std::to_string(run.second) + eol;
        for (int number = run.first; number < run.first + run.second; ++number) {
            const Row& row = tableRows.at(number);
            char line[32];
            std::snprintf(line, sizeof line, "%010llu %05llu %c", static_cast<unsigned long long>(row[1]),
                          static_cast<unsigned long long>(row[2]), row[0] == 0 ? 'f' : 'n');
            out += line + rowEnd;
        }
    }
    out += "trailer" + eol + "<< " + sizeEntry + trailer + prevEntry;
    if (options.hybrid) out += " /XRefStm " + std::to_string(streamOffset);
    out += " >>" + eol + "startxref" + eol + std::to_string(tableOffset) + eol + "%%EOF" + eol;
}

PdfBuilder simpleDocumentBuilder(int pageCount, const std::string& extraPageEntries, size_t contentBytes) {
    PdfBuilder builder;
    std::string kids;
    for (int page = 0; page < pageCount; ++page) {
        const int pageObject = 4 + 2 * page;
        kids += (page ? " " : "") + std::to_string(pageObject) + " 0 R";
        builder.addObject(pageObject, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << "
                                      "/F1 3 0 R >> >> /Contents " + std::to_string(pageObject + 1) + " 0 R" +
                                          (extraPageEntries.empty() ? "" : " " + extraPageEntries) + " >>");
        std::string content = "BT /F1 12 Tf 72 720 Td (Page " + std::to_string(page + 1) + ") Tj ET";
        for (int line = 0; content.size() < contentBytes; ++line)
            content += "\nBT 72 " + std::to_string(line % 700) + " Td (page " + std::to_string(page) + ") Tj ET";
        builder.addStream(pageObject + 1, "", content);
    }
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pageCount) + " >>");
    builder.addObject(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    builder.setTrailer("/Root 1 0 R");
    return builder;
}

std::string buildSimpleDocument(int pageCount, const std::string& extraPageEntries, size_t contentBytes) {
    return simpleDocumentBuilder(pageCount, extraPageEntries, contentBytes).build();
}
