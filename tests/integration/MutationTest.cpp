// Damaged copies of real files: truncations, and single bytes flipped or overwritten in the
// cross-reference section, the trailer and the object headers. The real program must either finish
// with an output that qpdf accepts, or fail with status 1, one message and no file left behind; it
// must never change its input, crash or hang. The mutants come from fixed seeds, so every run sees
// the same ones.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestTools.h"

namespace {

constexpr const char* kRunLimit = "timeout 20 ";
constexpr int kStatusFailure = 1;
// qpdf --check: 0 is clean, 2 means errors, 3 warnings only.
constexpr int kQpdfErrors = 2;
constexpr unsigned kWorkers = 2;
constexpr const char* kDone = "\nDone.\n";
constexpr const char* kUnexpected = "Unexpected exception";
// The banner ends with an empty line; what follows it is the job's own text.
constexpr const char* kBannerEnd = "\r\n\r\n";

constexpr int kTruncations = 8;
constexpr int kCrossReferenceMutations = 8;
constexpr int kTrailerMutations = 5;
constexpr int kHeaderMutations = 6;

// Varied producers and layouts: classic tables, cross-reference streams, object streams,
// incremental updates, a hybrid file, linearized files, encryption, junk before the header.
const char* const kFiles[] = {
    "qpdf__qpdf_qtest_qpdf_minimal.pdf",
    "qpdf__qpdf_qtest_qpdf_object-stream.pdf",
    "qpdf__qpdf_qtest_qpdf_incremental-2.pdf",
    "qpdf__qpdf_qtest_qpdf_good19.pdf",
    "qpdf__qpdf_qtest_qpdf_hybrid-xref.pdf",
    "qpdf__qpdf_qtest_qpdf_short-id-linearized.pdf",
    "qpdf__qpdf_qtest_qpdf_enc-R2_V1.pdf",
    "qpdf__qpdf_qtest_qpdf_leading-junk.pdf",
    "pdfcpu__pkg_samples_resize_resizeToA4L.pdf",
    "py-pdf__024-annotations_annotated_pdf.pdf",
    "py-pdf__004-pdflatex-4-pages_pdflatex-4-pages.pdf",
    "py-pdf__016-libre-office-link_libre-office-link.pdf",
};

// Bytes that make damage a reader meets: digits change offsets and numbers, the others break tokens.
const char kOverwrites[] = "0159 \n<>[]/Rfn(";

struct Mutant {
    std::string description;
    std::string bytes;
};

struct Region {
    size_t begin;
    size_t end;
    bool empty() const { return end <= begin; }
};

class MutantMaker {
public:
    MutantMaker(const std::string& original, uint32_t seed) : original_(original), random_(seed) {}

    std::vector<Mutant> make() {
        std::vector<Mutant> mutants;
        addTruncations(mutants);
        const Region tail = tailRegion();
        const Region xref = crossReferenceRegion(tail);
        addChanges(mutants, "cross-reference", xref, kCrossReferenceMutations);
        addChanges(mutants, "trailer", trailerRegion(xref, tail), kTrailerMutations);
        addHeaderChanges(mutants);
        return mutants;
    }

private:
    void addTruncations(std::vector<Mutant>& mutants) {
        const size_t size = original_.size();
        // Spread over the file and close to its end, where the sections and "startxref" are.
        const size_t lengths[kTruncations] = {size / 8, size / 3, size / 2, size * 3 / 4,
                                              size > 64 ? size - 64 : 0, size > 20 ? size - 20 : 0,
                                              size > 7 ? size - 7 : 0, size - 1};
        for (const size_t length : lengths) {
            mutants.push_back({"truncated to " + std::to_string(length) + " bytes", original_.substr(0, length)});
        }
    }

    // From the last "startxref" to the end.
    Region tailRegion() const {
        const size_t at = original_.rfind("startxref");
        return at == std::string::npos ? Region{0, 0} : Region{at, original_.size()};
    }

    // The newest section: from where "startxref" points (counted from the header) to "startxref".
    Region crossReferenceRegion(const Region& tail) const {
        if (tail.empty()) return {0, 0};
        const size_t header = original_.find("%PDF-");
        size_t digits = tail.begin + 9;
        while (digits < original_.size() && std::isspace(static_cast<unsigned char>(original_[digits]))) ++digits;
        size_t offset = 0;
        for (; digits < original_.size() && std::isdigit(static_cast<unsigned char>(original_[digits])); ++digits) {
            offset = offset * 10 + static_cast<size_t>(original_[digits] - '0');
        }
        const size_t begin = (header == std::string::npos ? 0 : header) + offset;
        return begin < tail.begin ? Region{begin, tail.begin} : Region{0, 0};
    }

    // The classic trailer when there is one; otherwise the cross-reference stream's dictionary.
    Region trailerRegion(const Region& xref, const Region& tail) const {
        const size_t trailer = original_.rfind("trailer", tail.begin);
        if (trailer != std::string::npos && trailer >= xref.begin) return {trailer, tail.begin};
        const size_t stream = original_.find("stream", xref.begin);
        if (!xref.empty() && stream != std::string::npos && stream < xref.end) return {xref.begin, stream};
        return tail;
    }

    // A byte at a random place of the region, flipped or overwritten.
    void addChanges(std::vector<Mutant>& mutants, const std::string& where, const Region& region, int count) {
        if (region.empty()) return;
        std::uniform_int_distribution<size_t> position(region.begin, region.end - 1);
        for (int i = 0; i < count; ++i) mutants.push_back(changeAt(position(random_), where));
    }

    // The object headers "n g obj": a byte among the number, the generation and the keyword.
    void addHeaderChanges(std::vector<Mutant>& mutants) {
        std::vector<size_t> headers;
        for (size_t at = original_.find(" obj"); at != std::string::npos; at = original_.find(" obj", at + 1)) {
            size_t begin = at;
            while (begin > 0 && (std::isdigit(static_cast<unsigned char>(original_[begin - 1])) ||
                                 original_[begin - 1] == ' ')) {
                --begin;
            }
            if (begin < at) headers.push_back(begin);
        }
        if (headers.empty()) return;
        std::uniform_int_distribution<size_t> pick(0, headers.size() - 1);
        for (int i = 0; i < kHeaderMutations; ++i) {
            const size_t begin = headers[pick(random_)];
            const size_t keywordEnd = std::min(original_.find(" obj", begin) + 4, original_.size());
            std::uniform_int_distribution<size_t> position(begin, keywordEnd - 1);
            mutants.push_back(changeAt(position(random_), "object header"));
        }
    }

    Mutant changeAt(size_t at, const std::string& where) {
        Mutant mutant{"", original_};
        std::uniform_int_distribution<int> coin(0, 1);
        if (coin(random_) == 0) {
            std::uniform_int_distribution<int> mask(1, 255);
            const int bits = mask(random_);
            mutant.bytes[at] = static_cast<char>(static_cast<unsigned char>(mutant.bytes[at]) ^ bits);
            mutant.description = where + ": byte " + std::to_string(at) + " flipped by " + std::to_string(bits);
        } else {
            std::uniform_int_distribution<size_t> choice(0, sizeof kOverwrites - 2);
            size_t pick = choice(random_);
            // Writing a byte over itself would be no damage at all.
            if (kOverwrites[pick] == mutant.bytes[at]) pick = (pick + 1) % (sizeof kOverwrites - 1);
            const char replacement = kOverwrites[pick];
            mutant.bytes[at] = replacement;
            mutant.description = where + ": byte " + std::to_string(at) + " set to " +
                                 std::to_string(static_cast<int>(static_cast<unsigned char>(replacement)));
        }
        return mutant;
    }

    const std::string& original_;
    std::mt19937 random_;
};

enum class Ending { finished, refused, broken };

struct Verdict {
    Ending ending;
    std::string problem;
};

Verdict broken(const std::string& problem) { return {Ending::broken, problem}; }

// How the run on one mutant ended, and what went wrong if anything did.
Verdict judge(const Mutant& mutant, bool checkWithQpdf) {
    TempDir dir;
    const std::string in = dir.file("in.pdf");
    const std::string out = dir.file("out.pdf");
    writeFile(in, mutant.bytes);
    const CommandResult run = runCommand(std::string(kRunLimit) + QUILLMOR_BINARY + " " + shellQuote(in) + " " +
                                         shellQuote(out) + " -page a4 -con -center");
    if (readFile(in) != mutant.bytes) return broken("the input file changed");
    const bool outputExists = std::filesystem::exists(out);
    const auto listing = std::filesystem::directory_iterator(dir.path());
    const auto entries = std::distance(begin(listing), end(listing));
    if (run.output.find(kUnexpected) != std::string::npos) return broken("an unexpected exception: " + run.output);
    if (run.status == kStatusFailure) {
        if (outputExists || entries != 1) return broken("a failed job left a file behind");
        if (run.output.find(kDone) != std::string::npos) return broken("status 1 after \"Done.\"");
        const size_t bannerEnd = run.output.find(kBannerEnd);
        const std::string message = bannerEnd == std::string::npos ? "" : run.output.substr(bannerEnd + 4);
        if (message.find_first_not_of(" \r\n") == std::string::npos) return broken("status 1 without a message");
        return {Ending::refused, ""};
    }
    if (run.status != 0) return broken("status " + std::to_string(run.status) + ": " + run.output);
    if (!outputExists || entries != 2) return broken("a finished job without exactly its output file");
    if (run.output.find(kDone) == std::string::npos) return broken("status 0 without \"Done.\"");
    const Verdict finished{Ending::finished, ""};
    if (!checkWithQpdf) return finished;
    const CommandResult check = runCommand("qpdf --check " + shellQuote(out));
    if (check.status != kQpdfErrors) return finished;
    // Objects are copied as they stand: an error qpdf also finds in the damaged input is inherited.
    const CommandResult inputCheck = runCommand("qpdf --check " + shellQuote(in));
    if (inputCheck.status == kQpdfErrors) return finished;
    return broken("qpdf rejects the output of a file it accepts: " + check.output);
}

struct Finding {
    std::string file;
    std::string mutant;
    std::string problem;
};

TEST(Mutation, DamagedFilesEndCleanly) {
    const bool checkWithQpdf = haveTool("qpdf");
    if (!checkWithQpdf) std::fprintf(stderr, "qpdf not found: outputs are not checked with it\n");
    std::vector<std::pair<std::string, Mutant>> work;
    uint32_t seed = 1;
    int filesFound = 0;
    for (const char* name : kFiles) {
        const std::string path = std::string(QUILLMOR_CORPUS_DIR) + "/" + name;
        ++seed;
        if (!std::filesystem::exists(path)) continue;
        ++filesFound;
        const std::string original = readFile(path);
        for (Mutant& mutant : MutantMaker(original, seed).make()) work.emplace_back(name, std::move(mutant));
    }
    if (filesFound == 0) GTEST_SKIP() << "the corpus is not there";

    std::mutex lock;
    size_t next = 0;
    std::vector<Finding> findings;
    size_t finishedCount = 0;
    size_t refusedCount = 0;
    auto worker = [&]() {
        for (;;) {
            size_t index;
            {
                const std::lock_guard<std::mutex> guard(lock);
                if (next == work.size()) return;
                index = next++;
            }
            const Verdict verdict = judge(work[index].second, checkWithQpdf);
            const std::lock_guard<std::mutex> guard(lock);
            if (verdict.ending == Ending::finished) ++finishedCount;
            if (verdict.ending == Ending::refused) ++refusedCount;
            if (verdict.ending == Ending::broken) {
                findings.push_back({work[index].first, work[index].second.description, verdict.problem});
            }
        }
    };
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < kWorkers; ++i) threads.emplace_back(worker);
    for (std::thread& thread : threads) thread.join();

    // Damage that readers shrug off and damage that stops them both occur among the mutants.
    EXPECT_GT(finishedCount, 0u);
    EXPECT_GT(refusedCount, 0u);
    std::fprintf(stderr, "%zu mutants: %zu finished, %zu refused, %zu broken\n", work.size(), finishedCount,
                 refusedCount, findings.size());
    for (const Finding& finding : findings) {
        ADD_FAILURE() << finding.file << ", " << finding.mutant << ": " << finding.problem;
    }
}

// The mutants themselves: each differs from its original where it says, and the same seed gives
// the same mutants.
TEST(Mutation, MutantsAreDeterministicAndDamageTheNamedPlaces) {
    const std::string objects = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";
    const std::string file = objects + "xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \ntrailer\n"
                                       "<< /Size 2 /Root 1 0 R >>\nstartxref\n" + std::to_string(objects.size()) +
                             "\n%%EOF\n";
    const std::vector<Mutant> first = MutantMaker(file, 7).make();
    const std::vector<Mutant> second = MutantMaker(file, 7).make();
    ASSERT_EQ(first.size(), second.size());
    const size_t xrefBegin = objects.size();
    const size_t trailerBegin = file.find("trailer");
    const size_t tailBegin = file.find("startxref");
    for (size_t i = 0; i < first.size(); ++i) {
        SCOPED_TRACE(first[i].description);
        EXPECT_EQ(first[i].bytes, second[i].bytes);
        EXPECT_NE(first[i].bytes, file);
        if (first[i].description.rfind("truncated", 0) == 0) {
            EXPECT_EQ(file.compare(0, first[i].bytes.size(), first[i].bytes), 0);
            continue;
        }
        ASSERT_EQ(first[i].bytes.size(), file.size());
        const auto differs = std::mismatch(file.begin(), file.end(), first[i].bytes.begin());
        const size_t at = static_cast<size_t>(differs.first - file.begin());
        if (first[i].description.rfind("cross-reference", 0) == 0) {
            EXPECT_GE(at, xrefBegin);
            EXPECT_LT(at, tailBegin);
        } else if (first[i].description.rfind("trailer", 0) == 0) {
            EXPECT_GE(at, trailerBegin);
            EXPECT_LT(at, tailBegin);
        } else {
            EXPECT_GE(at, file.find("1 0 obj"));
            EXPECT_LT(at, file.find("<<"));
        }
    }
}

}  // namespace
