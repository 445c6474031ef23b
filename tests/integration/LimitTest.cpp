// Hostile files that aim at memory, the stack or time: each must end the real program with status 1,
// one message and no output file, and it must not change its input. A generous per-run time limit
// turns a hang into a failure instead of a blocked test run.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

constexpr const char* kRunLimit = "timeout 60 ";
constexpr int kStatusFailure = 1;
constexpr const char* kDone = "\nDone.\n";

struct Outcome {
    int status = -1;
    std::string console;
    bool outputExists = false;
    bool inputUnchanged = false;
    std::vector<std::string> folderEntries;
};

Outcome runProgram(const std::string& input, const std::string& options = "-page a4 -con -center") {
    TempDir dir;
    const std::string in = dir.file("in.pdf");
    const std::string out = dir.file("out.pdf");
    writeFile(in, input);
    const CommandResult result =
        runCommand(std::string(kRunLimit) + QUILLMOR_BINARY + " " + shellQuote(in) + " " + shellQuote(out) + " " + options);
    Outcome outcome;
    outcome.status = result.status;
    outcome.console = result.output;
    outcome.outputExists = std::filesystem::exists(out);
    outcome.inputUnchanged = readFile(in) == input;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        outcome.folderEntries.push_back(entry.path().filename().string());
    }
    return outcome;
}

// The run failed cleanly with `message` and left nothing behind.
void expectRefused(const std::string& input, const std::string& message) {
    const Outcome outcome = runProgram(input);
    EXPECT_EQ(outcome.status, kStatusFailure) << outcome.console;
    EXPECT_NE(outcome.console.find(message), std::string::npos) << outcome.console;
    EXPECT_EQ(outcome.console.find(kDone), std::string::npos) << outcome.console;
    EXPECT_FALSE(outcome.outputExists);
    EXPECT_EQ(outcome.folderEntries, std::vector<std::string>{"in.pdf"});
    EXPECT_TRUE(outcome.inputUnchanged);
}

void expectResized(const std::string& input) {
    const Outcome outcome = runProgram(input);
    EXPECT_EQ(outcome.status, 0) << outcome.console;
    EXPECT_NE(outcome.console.find(kDone), std::string::npos) << outcome.console;
    EXPECT_TRUE(outcome.outputExists);
    EXPECT_TRUE(outcome.inputUnchanged);
}

// The number after the last "startxref".
uint32_t lastStartXRef(const std::string& pdf) {
    const size_t at = pdf.rfind("startxref");
    if (at == std::string::npos) throw std::runtime_error("no startxref");
    return static_cast<uint32_t>(std::stoul(pdf.substr(at + 9)));
}

// Classic empty sections, each naming the one before it, appended to `base` (no leading junk).
std::string withEmptySections(std::string pdf, int sections) {
    uint32_t previous = lastStartXRef(pdf);
    for (int i = 0; i < sections; ++i) {
        const size_t here = pdf.size();
        pdf += "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 6 /Root 1 0 R /Prev " + std::to_string(previous) +
               " >>\nstartxref\n" + std::to_string(here) + "\n%%EOF\n";
        previous = static_cast<uint32_t>(here);
    }
    return pdf;
}

// zlib data that inflates to `prefix` followed by `fill` bytes of spaces, made block by block so
// that the inflated bytes never exist here.
std::string deflateWithFill(const std::string& prefix, uint64_t fill) {
    constexpr size_t kBlock = size_t{1} << 20;
    constexpr int kFastLevel = 1;
    constexpr int kWindowBits = 15;
    constexpr int kMemoryLevel = 9;
    z_stream stream{};
    if (deflateInit2(&stream, kFastLevel, Z_DEFLATED, kWindowBits, kMemoryLevel, Z_RLE) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string compressed;
    std::vector<unsigned char> out(kBlock);
    const std::string spaces(kBlock, ' ');
    auto feed = [&](const std::string& bytes, size_t length, int flush) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        stream.avail_in = static_cast<uInt>(length);
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, flush);
            compressed.append(reinterpret_cast<const char*>(out.data()), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    feed(prefix, prefix.size(), Z_NO_FLUSH);
    for (uint64_t left = fill; left > 0;) {
        const size_t length = static_cast<size_t>(std::min<uint64_t>(left, kBlock));
        left -= length;
        feed(spaces, length, left == 0 ? Z_FINISH : Z_NO_FLUSH);
    }
    deflateEnd(&stream);
    return compressed;
}

// A file whose page tree root (object 5) lies in object stream 6, which inflates to `fill` more
// bytes after it. The cross-reference stream is written here: the builder compresses members itself.
std::string objectStreamBomb(uint64_t fill) {
    const std::string header = "5 0 ";
    const std::string data = deflateWithFill(header + "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", fill);
    std::vector<std::pair<int, std::string>> objects = {
        {1, "<< /Type /Catalog /Pages 5 0 R >>"},
        {3, "<< /Type /Page /Parent 5 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>"},
        {4, "<< /Length 3 >>\nstream\nq Q\nendstream"},
        {6, "<< /Type /ObjStm /N 1 /First " + std::to_string(header.size()) + " /Filter /FlateDecode /Length " +
                std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream"},
    };
    std::string pdf = "%PDF-1.5\n";
    std::vector<uint32_t> offsets(8, 0);
    for (const auto& object : objects) {
        offsets[static_cast<size_t>(object.first)] = static_cast<uint32_t>(pdf.size());
        pdf += std::to_string(object.first) + " 0 obj\n" + object.second + "\nendobj\n";
    }
    const uint32_t xrefAt = static_cast<uint32_t>(pdf.size());
    // Rows of widths 1 4 2: object 5 is the first member of stream 6, object 7 is this stream.
    std::string rows;
    auto row = [&rows](uint8_t type, uint32_t field2, uint16_t field3) {
        rows += static_cast<char>(type);
        for (int shift = 24; shift >= 0; shift -= 8) rows += static_cast<char>(field2 >> shift & 0xFF);
        rows += static_cast<char>(field3 >> 8);
        rows += static_cast<char>(field3 & 0xFF);
    };
    for (int number = 0; number < 8; ++number) {
        if (number == 5) {
            row(2, 6, 0);
        } else if (number == 7) {
            row(1, xrefAt, 0);
        } else if (offsets[static_cast<size_t>(number)] != 0) {
            row(1, offsets[static_cast<size_t>(number)], 0);
        } else {
            row(0, 0, 0xFFFF);
        }
    }
    pdf += "7 0 obj\n<< /Type /XRef /Size 8 /W [1 4 2] /Root 1 0 R /Length " + std::to_string(rows.size()) +
           " >>\nstream\n" + rows + "\nendstream\nendobj\nstartxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
    return pdf;
}

PdfBuilder onePageBuilder(const std::string& pagesBody) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, pagesBody);
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>");
    builder.addStream(4, "", "q Q");
    builder.setTrailer("/Root 1 0 R");
    return builder;
}

TEST(Limits, DecompressionBombInAnObjectStreamIsRefused) {
    constexpr uint64_t kOneGigabyte = uint64_t{1} << 30;
    expectRefused(objectStreamBomb(kOneGigabyte), "Object stream too large");
    // The same layout with a little fill is a sound file: the refusal comes from the size alone.
    expectResized(objectStreamBomb(1000));
}

TEST(Limits, DeepNestingIsRefusedWhereverTheParserMeetsIt) {
    constexpr int kDepth = 100000;
    const std::string arrays = std::string(kDepth, '[') + std::string(kDepth, ']');
    std::string dictionaries;
    for (int i = 0; i < kDepth; ++i) dictionaries += "<</A ";
    for (int i = 0; i < kDepth; ++i) dictionaries += ">>";
    const char* message = "nested too deeply";
    for (const std::string& deep : {arrays, dictionaries}) {
        SCOPED_TRACE(deep.substr(0, 8));
        expectRefused(buildSimpleDocument(1, "/Deep " + deep), message);
        // Never closed: the end of the file comes first.
        expectRefused(buildSimpleDocument(1, "/Deep " + deep.substr(0, deep.size() / 2)), message);
        PdfBuilder trailerNesting = onePageBuilder("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        trailerNesting.setTrailer("/Root 1 0 R /Deep " + deep);
        expectRefused(trailerNesting.build(), message);
    }
}

TEST(Limits, PageTreesThatContainThemselvesAreRefused) {
    const char* message = "Page tree refers back to one of its own ancestors";
    expectRefused(onePageBuilder("<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 1 >>").build(), message);
    PdfBuilder twoNodes = onePageBuilder("<< /Type /Pages /Kids [5 0 R] /Count 1 >>");
    twoNodes.addObject(5, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 2 0 R] /Count 1 >>");
    expectRefused(twoNodes.build(), message);
}

TEST(Limits, SharedPageTreeNodesCannotMultiplyTheWork) {
    // Each of 40 levels lists the next one twice: 2^40 leaves if every path were walked.
    constexpr int kLevels = 40;
    PdfBuilder builder = onePageBuilder("<< /Type /Pages /Kids [10 0 R 10 0 R] /Count 1 >>");
    for (int level = 0; level < kLevels; ++level) {
        const std::string kid = level == kLevels - 1 ? "3 0 R" : std::to_string(11 + level) + " 0 R";
        builder.addObject(10 + level, "<< /Type /Pages /Kids [" + kid + " " + kid + "] /Count 1 >>");
    }
    const Outcome outcome = runProgram(builder.build());
    EXPECT_EQ(outcome.status, kStatusFailure) << outcome.console;
    EXPECT_FALSE(outcome.outputExists);
}

TEST(Limits, LongPrevChainsAreRefusedAndShortOnesRead) {
    const std::string base = buildSimpleDocument(1);
    expectRefused(withEmptySections(base, 100000), "Too many cross-reference sections");
    expectResized(withEmptySections(base, 200));
}

TEST(Limits, ObjectsWithoutEndobjDoNotEachSearchTheRestOfTheFile) {
    // Left out of the output one by one; searched naively, 300,000 of them read the file 300,000 times.
    constexpr int kObjects = 300000;
    constexpr int kFirstLoose = 5;
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    auto add = [&](int number, const std::string& body, bool ended) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(number) + " 0 obj\n" + body + (ended ? "\nendobj\n" : "\n");
    };
    add(1, "<< /Type /Catalog /Pages 2 0 R >>", true);
    add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", true);
    add(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>", true);
    add(4, "<< /Length 3 >>\nstream\nq Q\nendstream", true);
    for (int number = kFirstLoose; number < kFirstLoose + kObjects; ++number) add(number, "[1 2]", false);
    const size_t xrefAt = pdf.size();
    const size_t size = offsets.size() + 1;
    pdf += "xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n";
    char row[32];
    for (const size_t offset : offsets) {
        std::snprintf(row, sizeof row, "%010zu 00000 n \n", offset);
        pdf += row;
    }
    pdf += "trailer\n<< /Size " + std::to_string(size) + " /Root 1 0 R >>\nstartxref\n" + std::to_string(xrefAt) +
           "\n%%EOF\n";
    expectResized(pdf);
}

TEST(Limits, PageCountBeyondTheFileIsRefused) {
    expectRefused(onePageBuilder("<< /Type /Pages /Kids [3 0 R] /Count 2000000000 >>").build(),
                  "Count of 2000000000 pages");
}

// One large object that many others point at is parsed once; many large objects pointed at in turn
// end with a message once the reads outgrow the file.
TEST(Limits, ObjectsReferredToFromEverywhereStayWithinTheirCost) {
    constexpr int kItems = 20000;
    constexpr size_t kTextBytes = 20000;
    constexpr int kFirstItem = 100;
    // Long texts cost little to parse even in a sanitizer build; their number makes the cost.
    const std::string text(kTextBytes, 'a');
    auto outlineDocument = [&](int destinations) {
        PdfBuilder builder;
        builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R >>");
        builder.addObject(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>");
        builder.addStream(4, "", "q Q");
        builder.addObject(5, "<< /Type /Outlines /First " + std::to_string(kFirstItem) + " 0 R >>");
        for (int d = 0; d < destinations; ++d) builder.addObject(10 + d, "[3 0 R /XYZ (" + text + ")]");
        for (int i = 0; i < kItems; ++i) {
            const int number = kFirstItem + i;
            std::string item = "<< /Title (x) /Parent 5 0 R /Dest " + std::to_string(10 + i % destinations) + " 0 R";
            if (i + 1 < kItems) item += " /Next " + std::to_string(number + 1) + " 0 R";
            builder.addObject(number, item + " >>");
        }
        builder.setTrailer("/Root 1 0 R");
        return builder.build();
    };
    expectResized(outlineDocument(1));
    expectRefused(outlineDocument(20), "PDF file refers to its objects too often to be read");
}

}  // namespace
