// Damaged copies of generated files (truncated; bytes changed in the newest cross-reference section, the trailer and
// object headers, from fixed seeds) end cleanly, and qpdf accepts an output whenever it accepts the input.

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <random>

#include "tests/integration/Jobs.h"
#include "tests/support/GeneratedPdfs.h"

namespace {

// Bytes that make damage a reader meets: digits change offsets and numbers, the others break tokens.
const char kOverwrites[] = "0159 \n<>[]/Rfn(";

struct Mutant {
    std::string file, description, bytes;
};

std::vector<Mutant> mutantsOf(const std::string& file, const std::string& original, uint32_t seed) {
    std::mt19937 random(seed);
    auto draw = [&random](size_t low, size_t high) { return std::uniform_int_distribution<size_t>(low, high)(random); };
    std::vector<Mutant> mutants;
    const size_t size = original.size();
    for (const size_t length : {size / 8, size / 3, size / 2, size * 3 / 4, size - 64, size - 20, size - 7, size - 1})
        mutants.push_back({file, "truncated to " + std::to_string(length) + " bytes", original.substr(0, length)});
    auto change = [&](const std::string& where, size_t at) {
        Mutant mutant{file, where + ": byte " + std::to_string(at), original};
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
    const bool checkWithQpdf = haveTool("qpdf");
    if (!checkWithQpdf) std::fprintf(stderr, "qpdf not found: outputs are not checked with it\n");
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
        return problem.empty() ? problem : mutant.file + ", " + mutant.description + ": " + problem;
    });
    EXPECT_TRUE(finished > 0 && refused > 0) << finished << " finished, " << refused << " refused";
    for (const std::string& problem : problems) ADD_FAILURE() << problem;
}

}  // namespace
