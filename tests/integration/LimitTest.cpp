// Hostile files that aim at memory, the stack or time, and damaged copies of generated files, end the real program
// cleanly: with their status and message, or with an output qpdf accepts whenever it accepts the input.

#include <zlib.h>

#include <atomic>
#include <cctype>
#include <random>

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/xref/PdfXRef.h"
#include "tests/integration/Jobs.h"

namespace {

// zlib data that inflates to `prefix` and `fill` spaces, made a block at a time.
std::string deflateWithFill(const std::string& prefix, uint64_t fill) {
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, 15, 9, Z_RLE);
    const std::string spaces(1 << 20, ' ');
    std::string compressed, out(1 << 16, '\0');
    auto feed = [&](const std::string& bytes, uint64_t length, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        z.avail_in = static_cast<uInt>(length);
        do {
            z.next_out = reinterpret_cast<Bytef*>(&out[0]), z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, flush);
            compressed.append(out, 0, out.size() - z.avail_out);
        } while (z.avail_out == 0);
    };
    feed(prefix, prefix.size(), Z_NO_FLUSH);
    for (uint64_t left = fill; left > 0; left -= std::min<uint64_t>(left, spaces.size()))
        feed(spaces, std::min<uint64_t>(left, spaces.size()), left <= spaces.size() ? Z_FINISH : Z_NO_FLUSH);
    deflateEnd(&z);
    return compressed;
}

constexpr char kOnePage[] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";

// Catalog 1, page 3 with content 4 and, unless empty, the page tree root 2 of this body.
PdfBuilder onePageBuilder(const std::string& pagesBody) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    if (!pagesBody.empty()) builder.addObject(2, pagesBody);
    builder.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>");
    builder.addStream(4, "", "q Q");
    builder.setTrailer("/Root 1 0 R");
    return builder;
}

// The page tree root lies in object stream 6, which inflates to `fill` more bytes after it.
std::string objectStreamBomb(uint64_t fill) {
    const std::string data = deflateWithFill(std::string("2 0 ") + kOnePage, fill);
    PdfBuilder pdf = onePageBuilder("");
    pdf.addRawObject(6, "6 0 obj\n<< /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode /Length " +
                            std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream\nendobj\n");
    pdf.addCompressedEntry(2, 6, 0);
    PdfBuilder::Options options;
    options.xrefStream = true;
    return pdf.build(options);
}

std::string withEmptySections(std::string pdf, int sections) {
    std::string previous = std::to_string(std::stoul(pdf.substr(pdf.rfind("startxref") + 9)));
    for (int i = 0; i < sections; ++i) {
        const std::string here = std::to_string(pdf.size());
        pdf += "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 6 /Root 1 0 R /Prev " + previous +
               " >>\nstartxref\n" + here + "\n%%EOF\n";
        previous = here;
    }
    return pdf;
}

using Row = std::tuple<std::string, std::string, int, std::string>;  // what, bytes, status, message

constexpr int kItems = 20000, kFirstItem = 100;

// An outline of kItems items, each pointing at one of `destinations` long arrays.
std::string outlineDocument(int destinations) {
    const std::string text(20000, 'a');
    PdfBuilder builder = onePageBuilder(kOnePage);
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R >>");
    builder.addObject(5, "<< /Type /Outlines /First " + std::to_string(kFirstItem) + " 0 R >>");
    for (int d = 0; d < destinations; ++d) builder.addObject(10 + d, "[3 0 R /XYZ (" + text + ")]");
    for (int i = 0; i < kItems; ++i) {
        std::string item = "<< /Title (x) /Parent 5 0 R /Dest " + std::to_string(10 + i % destinations) + " 0 R";
        if (i + 1 < kItems) item += " /Next " + std::to_string(kFirstItem + i + 1) + " 0 R";
        builder.addObject(kFirstItem + i, item + " >>");
    }
    return builder.build();
}

// Where the same layout at a sane size is a sound file, it is resized: the refusal comes from the size alone.
TEST(Limits, HostileFilesEndWithTheirMessage) {
    constexpr int kDepth = 100000;
    std::string dictionaries;
    for (int i = 0; i < kDepth; ++i) dictionaries += "<</A ";
    dictionaries += std::string(2 * kDepth, '>');
    const std::string arrays = std::string(kDepth, '[') + std::string(kDepth, ']');
    const std::string ancestor = "Page tree refers back to one of its own ancestors";
    const std::string rebuilt = "rebuilt from the objects in the file";
    PdfBuilder twoNodes = onePageBuilder("<< /Type /Pages /Kids [5 0 R] /Count 2 >>");
    twoNodes.addObject(5, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 2 0 R] /Count 1 >>");
    // Each of 40 levels lists the next one twice: 2^40 pages if every path were walked.
    constexpr int kLevels = 40;
    PdfBuilder shared = onePageBuilder("<< /Type /Pages /Kids [10 0 R 10 0 R] /Count 3 >>");
    for (int level = 0; level < kLevels; ++level) {
        const std::string kid = level == kLevels - 1 ? "3 0 R" : std::to_string(11 + level) + " 0 R";
        shared.addObject(10 + level, "<< /Type /Pages /Kids [" + kid + " " + kid + "] /Count 1 >>");
    }
    // Searched naively, each of 300,000 objects without "endobj" would read the rest of the file.
    PdfBuilder loose = onePageBuilder(kOnePage);
    for (int number = 5; number < 300005; ++number) loose.addRawObject(number, std::to_string(number) + " 0 obj\n[1 2]\n");
    std::vector<Row> rows = {
        {"an object stream bomb", objectStreamBomb(uint64_t{1} << 30), 1, "Object stream too large"},
        {"a sane object stream", objectStreamBomb(1000), 0, "Done."},
        // The walk goes on until /Count pages are found, so these counts make it meet the repeated node.
        {"its own kid", onePageBuilder("<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 1 >>").build(), 1, ancestor},
        {"a kid that lists its parent", twoNodes.build(), 1, ancestor},
        {"shared nodes", shared.build(), 1, "Page tree is damaged: object 49 appears in it more than once"},
        // Refused as sections, a long chain leaves a table rebuilt from the objects.
        {"100,000 chained sections", withEmptySections(buildSimpleDocument(1), 100000), 0, rebuilt},
        {"200 chained sections", withEmptySections(buildSimpleDocument(1), 200), 0, "Done."},
        {"objects without endobj", loose.build(), 0, "Done."},
        {"a huge /Count", onePageBuilder("<< /Type /Pages /Kids [3 0 R] /Count 2000000000 >>").build(), 0, "Done."},
        // The job never reads the outline, whose 20,000 items share 20 long destinations.
        {"an outline", outlineDocument(20), 0, "Done."},
    };
    for (const std::string& deep : {arrays, dictionaries}) {
        rows.emplace_back(deep.substr(0, 2), buildSimpleDocument(1, "/Deep " + deep), 1, "nested too deeply");
        rows.emplace_back(deep.substr(0, 2) + " never closed",
                          buildSimpleDocument(1, "/Deep " + deep.substr(0, deep.size() / 2)), 1, "nested too deeply");
        // A trailer that cannot be read gives way to one rebuilt from the objects.
        PdfBuilder trailerNesting = onePageBuilder(kOnePage);
        trailerNesting.setTrailer("/Root 1 0 R /Deep " + deep);
        rows.emplace_back(deep.substr(0, 2) + " in the trailer", trailerNesting.build(), 0, rebuilt);
    }
    for (const std::string& problem : judgeInParallel(rows.size(), [&](size_t i, const std::string& folder) {
             const auto& [what, bytes, status, message] = rows[i];
             writeFile(folder + "/in.pdf", bytes);
             const Job job = runJob(folder + "/in.pdf", folder, "-page a4 -con -center");
             const bool ok = job.run.status == status && job.run.output.find(message) != std::string::npos;
             return job.problem.empty() && ok ? "" : what + ": " + std::to_string(job.run.status) + job.run.output;
         })) {
        ADD_FAILURE() << problem;
    }
}

// One large object many others point at is parsed once; many, pointed at in turn, end with a message.
TEST(Limits, ReadingObjectsReferredToFromEverywhereStaysWithinItsCost) {
    for (const int destinations : {1, 20}) {
        TempDir dir;
        writeFile(dir.file("in.pdf"), outlineDocument(destinations));
        CPdfDocument document;
        document.open(dir.file("in.pdf").c_str(), nullptr, nullptr);
        std::string error;
        try {
            for (int i = 0; i < kItems; ++i) {
                CPdfElement item, destination;
                document.getXRef()->fetch(kFirstItem + i, 0, item);
                item.getDictionary()->lookup("Dest", destination);
            }
        } catch (const CPdfException& exception) { error = exception.getMessage(); }
        EXPECT_EQ(error, destinations == 1 ? "" : "PDF file refers to its objects too often to be read");
    }
}

// Bytes that make damage a reader meets: digits change offsets and numbers, the others break tokens.
const char kOverwrites[] = "0159 \n<>[]/Rfn(";

struct Mutant {
    std::string description, bytes;
};

std::vector<Mutant> mutantsOf(const std::string& file, const std::string& original, uint32_t seed) {
    std::mt19937 random(seed);
    auto draw = [&random](size_t low, size_t high) { return std::uniform_int_distribution<size_t>(low, high)(random); };
    std::vector<Mutant> mutants;
    const size_t size = original.size();
    for (const size_t length : {size / 8, size / 3, size / 2, size * 3 / 4, size - 64, size - 20, size - 7, size - 1})
        mutants.push_back({file + " truncated to " + std::to_string(length) + " bytes", original.substr(0, length)});
    auto change = [&](const std::string& where, size_t at) {
        Mutant mutant{file + ", " + where + ": byte " + std::to_string(at), original};
        char& byte = mutant.bytes[at];
        if (draw(0, 1) == 0) {
            byte = static_cast<char>(byte ^ draw(1, 255));
        } else {  // writing a byte over itself would be no damage at all
            const size_t pick = draw(0, sizeof kOverwrites - 2);
            byte = kOverwrites[kOverwrites[pick] == byte ? (pick + 1) % (sizeof kOverwrites - 1) : pick];
        }
        mutants.push_back(mutant);
        mutants.back().description += " set to " + std::to_string(static_cast<uint8_t>(byte));
    };
    auto changes = [&](const std::string& where, size_t begin, size_t end, int count) {
        for (int i = 0; i < count && begin < end; ++i) change(where, draw(begin, end - 1));
    };
    const size_t tail = original.rfind("startxref");
    const size_t xref = original.find("%PDF-") + std::strtoul(original.c_str() + tail + 9, nullptr, 10);
    changes("cross-reference", xref, tail, 8);
    const size_t trailer = original.rfind("trailer", tail);
    const bool classic = trailer != std::string::npos && trailer >= xref;
    changes("trailer", classic ? trailer : xref, classic ? tail : original.find("stream", xref), 5);
    std::vector<size_t> headers;
    for (size_t at = original.find(" obj"); at != std::string::npos; at = original.find(" obj", at + 1)) {
        size_t begin = at;
        while (begin > 0 && (std::isdigit(static_cast<unsigned char>(original[begin - 1])) || original[begin - 1] == ' '))
            --begin;
        if (begin < at) headers.push_back(begin);
    }
    for (int i = 0; i < 6 && !headers.empty(); ++i) {
        const size_t begin = headers[draw(0, headers.size() - 1)];
        change("object header", draw(begin, original.find(" obj", begin) + 3));
    }
    return mutants;
}

TEST(Mutation, DamagedGeneratedFilesEndCleanly) {
    const bool checkWithQpdf = haveTool("qpdf");  // without it, the outputs are not checked
    std::vector<Mutant> mutants;
    uint32_t seed = 1;
    for (const std::string& name : generatedNames()) {
        const std::string path = generatedPdf(name);
        if (path.empty()) continue;  // made by qpdf, which is missing
        for (Mutant& mutant : mutantsOf(name, readFile(path), ++seed)) mutants.push_back(std::move(mutant));
    }
    std::atomic<size_t> finished{0}, refused{0};
    const auto problems = judgeInParallel(mutants.size(), [&](size_t i, const std::string& folder) {
        const Mutant& mutant = mutants[i];
        const std::string in = folder + "/in.pdf";
        writeFile(in, mutant.bytes);
        const Job job = runJob(in, folder, "-page a4 -con -center");
        std::string problem = job.problem;
        if (problem.empty()) ++(job.run.status == 0 ? finished : refused);
        // Objects are copied as they stand: an error qpdf also finds in the damaged input is inherited.
        if (problem.empty() && job.run.status == 0 && checkWithQpdf &&
            runCommand("qpdf --check " + shellQuote(job.output)).status == kQpdfErrors &&
            runCommand("qpdf --check " + shellQuote(in)).status != kQpdfErrors)
            problem = "qpdf rejects the output of a file it accepts";
        return problem.empty() ? problem : mutant.description + ": " + problem;
    });
    EXPECT_TRUE(finished > 0 && refused > 0) << finished << " finished, " << refused << " refused";
    for (const std::string& problem : problems) ADD_FAILURE() << problem;
}

}  // namespace
