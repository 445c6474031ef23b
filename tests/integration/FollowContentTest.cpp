// Every place on a page (annotation points, destinations of every holder, viewports, beads), read back with
// the project's reader, is the input's under the matrix of its page's new first content stream; a page that
// is not rewritten keeps its places and its object's bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/PageCollector.h"
#include "resize/RawObjectReader.h"
#include "tests/integration/Jobs.h"
#include "tests/support/PdfBuilder.h"

namespace {

constexpr double kAbsoluteTolerance = 0.02;  // points
constexpr double kRelativeTolerance = 0.005;
// Places follow the exact factors; the content matrix carries them with two decimals.
constexpr double kFactorRounding = 0.005;
constexpr int kMaxNesting = 32;

const char* const kKinds[] = {"Rect", "QuadPoints", "InkList", "Vertices", "L", "CL", "RD", "link destination",
                              "outline destination", "named destination", "OpenAction", "viewport BBox", "bead R"};

struct Coordinate {
    std::string kind;
    uint32_t page = 0, annotation = 0;  // the page object it follows; the annotation object holding it, if any
    bool x = true, distance = false;    // a distance (a margin) is scaled, never shifted
    double value = 0;
};

struct Matrix {
    double a = 1, d = 1, e = 0, f = 0;  // a 0 0 d e f
};

struct Places {
    bool ok = false;
    std::map<std::string, Coordinate> coordinates;  // by where they stand, the same key in input and output
    std::map<uint32_t, Matrix> rewritten;           // by page object
    std::map<uint32_t, std::string> pageBytes;
};

// A dictionary's entry and an array's element, or kindNone.
CPdfElement entry(const CPdfElement& dictionary, const char* key, bool resolve = true) {
    CPdfElement value;
    if (dictionary.is(kindDictionary) && resolve) dictionary.getDictionary()->lookup(key, value);
    if (dictionary.is(kindDictionary) && !resolve) dictionary.getDictionary()->lookupUnresolved(key, value);
    return value;
}
int32_t lengthOf(const CPdfElement& array) { return array.is(kindArray) ? array.getArray()->getLength() : 0; }
CPdfElement element(const CPdfElement& array, int32_t i) {
    CPdfElement value;
    array.getArray()->get(i, value);
    return value;
}
std::string keyOf(const CPdfElement& value, const std::string& where) {
    return value.is(kindReference) ? "obj" + std::to_string(value.getRefNumber()) : where;
}

class PlaceReader {
public:
    explicit PlaceReader(const std::string& path) {
        try {
            document_.open(path.c_str(), nullptr, nullptr);
            if (!document_.isOk()) return;
            xref_ = document_.getXRef();
            read();
            places.ok = true;
        } catch (const CPdfException&) {  // unreadable: not ok
        }
    }
    Places places;

private:
    void read() {
        RawObjectReader raw(*document_.getInputFile(), *xref_, xref_->getStart());
        const std::vector<PageRecord> records = PageCollector::collect(*xref_).records;
        for (size_t i = 0; i < records.size(); ++i) {
            if (!records[i].filled) continue;
            raw.readRawObject(records[i].objectNumber, places.pageBytes[records[i].objectNumber]);
            readPage(records[i].objectNumber, "page" + std::to_string(i));
        }
        const ObjectRef root = xref_->getRootRef();
        CPdfElement catalog;
        xref_->fetch(root.number, root.generation, catalog);
        destination(entry(catalog, "OpenAction"), "OpenAction", "open");
        action(entry(catalog, "OpenAction"), "OpenAction", "open", 0);
        outlineItems(entry(catalog, "Outlines"), "outline", 0);
        const CPdfElement dests = entry(catalog, "Dests");
        for (int32_t i = 0; dests.is(kindDictionary) && i < dests.getDictionary()->getLength(); ++i) {
            const std::string key = dests.getDictionary()->getKey(i);
            namedDestination(entry(dests, key.c_str()), "Dests/" + key);
        }
        nameTree(entry(entry(catalog, "Names"), "Dests"), "names", 0);
        const CPdfElement threads = entry(catalog, "Threads");
        for (int32_t i = 0; i < lengthOf(threads); ++i) beads(entry(element(threads, i), "F", false));
    }

    // Whether the reference was seen; marks it seen. Chains and trees may loop.
    bool seen(const CPdfElement& reference) {
        return reference.is(kindReference) && !visited_.insert(reference.getRefNumber()).second;
    }

    void numbers(const CPdfElement& array, const std::string& kind, uint32_t page, uint32_t annotation,
                 const std::string& where, bool box = false, bool distances = false) {
        std::vector<double> values;
        for (int32_t i = 0; i < lengthOf(array); ++i) {
            const CPdfElement value = element(array, i);
            if (!value.isNumber()) return;
            values.push_back(value.getNumber());
        }
        if (box && values.size() == 4) {  // a rectangle is the box of its corners, whichever two are given
            values = {std::min(values[0], values[2]), std::min(values[1], values[3]), std::max(values[0], values[2]),
                      std::max(values[1], values[3])};
        }
        for (size_t i = 0; i < values.size(); ++i)
            places.coordinates[where + "[" + std::to_string(i) + "]"] = {kind, page, annotation, i % 2 == 0, distances,
                                                                         values[i]};
    }

    void readPage(uint32_t number, const std::string& where) {
        CPdfElement page;
        xref_->fetch(static_cast<int32_t>(number), 0, page);
        const auto& entries = xref_->getEntries();
        if (!page.is(kindDictionary) && number < entries.size()) {
            xref_->fetch(static_cast<int32_t>(number), entries[number].generation, page);
        }
        if (!page.is(kindDictionary)) return;
        readMatrix(entry(page, "Contents"), number);
        const CPdfElement annotations = entry(page, "Annots"), viewports = entry(page, "VP");
        for (int32_t i = 0; i < lengthOf(annotations); ++i) {
            const CPdfElement& reference = annotations.getArray()->at(i);
            const uint32_t object = reference.is(kindReference) ? static_cast<uint32_t>(reference.getRefNumber()) : 0;
            readAnnotation(element(annotations, i), number, object, where + "/annot" + std::to_string(i));
        }
        for (int32_t i = 0; i < lengthOf(viewports); ++i) {
            numbers(entry(element(viewports, i), "BBox"), "viewport BBox", number, 0, where + "/VP" + std::to_string(i),
                    true);
        }
    }

    void readMatrix(const CPdfElement& contents, uint32_t page) {
        const CPdfElement first = lengthOf(contents) > 0 ? element(contents, 0) : CPdfElement();
        if (!first.is(kindStream)) return;
        std::string data;
        first.getStream()->reset();
        for (int c; data.size() < 128 && (c = first.getStream()->getChar()) != CPdfStream::kEnd;) data += char(c);
        // A page fitted as seen clips to where its visible box lands before the matrix.
        static const std::regex scale("q\n(?:\\S+ \\S+ \\S+ \\S+ re W n\n)?(\\S+) 0 0 (\\S+) (\\S+) (\\S+) cm\n");
        std::smatch m;
        if (std::regex_match(data, m, scale))
            places.rewritten[page] = {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])};
    }

    void readAnnotation(const CPdfElement& annotation, uint32_t page, uint32_t object, const std::string& where) {
        for (const char* key : {"Rect", "QuadPoints", "Vertices", "L", "CL", "RD"}) {
            const std::string name = key;
            numbers(entry(annotation, key), name, page, object, where + "/" + name, name == "Rect", name == "RD");
        }
        const CPdfElement ink = entry(annotation, "InkList"), act = entry(annotation, "A", false);
        for (int32_t i = 0; i < lengthOf(ink); ++i)
            numbers(element(ink, i), "InkList", page, object, where + "/InkList" + std::to_string(i));
        destination(entry(annotation, "Dest"), "link destination", where + "/Dest");
        if (!seen(act)) action(entry(annotation, "A"), "link destination", keyOf(act, where + "/A"), 0);
    }

    void destination(const CPdfElement& value, const std::string& kind, const std::string& where) {
        // The axis of each number after the page and the fit's name.
        static const std::map<std::string, std::string> kAxes = {{"XYZ", "xy"}, {"FitH", "y"}, {"FitBH", "y"},
                                                                 {"FitV", "x"}, {"FitBV", "x"}, {"FitR", "xyxy"}};
        if (lengthOf(value) < 2 || !value.getArray()->at(0).is(kindReference)) return;
        const CPdfArray& array = *value.getArray();
        const auto axes = array.at(1).is(kindName) ? kAxes.find(array.at(1).getName()) : kAxes.end();
        for (int32_t i = 2; axes != kAxes.end() && i < array.getLength() && i - 2 < int32_t(axes->second.size()); ++i) {
            if (!array.at(i).isNumber()) continue;
            places.coordinates[where + "[" + std::to_string(i) + "]"] = {
                kind, static_cast<uint32_t>(array.at(0).getRefNumber()), 0, axes->second[i - 2] == 'x', false,
                array.at(i).getNumber()};
        }
    }

    void action(const CPdfElement& value, const std::string& kind, const std::string& where, int depth) {
        if (!value.is(kindDictionary) || depth > kMaxNesting) return;
        const CPdfElement type = entry(value, "S");
        if (type.is(kindName) && std::string(type.getName()) == "GoTo") destination(entry(value, "D"), kind, where);
        const CPdfElement next = entry(value, "Next", false);
        if (seen(next)) return;
        const CPdfElement resolved = entry(value, "Next");
        action(resolved, kind, keyOf(next, where + "/Next"), depth + 1);
        for (int32_t i = 0; i < lengthOf(resolved); ++i) {
            const CPdfElement& reference = resolved.getArray()->at(i);
            if (!seen(reference)) {
                action(element(resolved, i), kind, keyOf(reference, where + "/Next" + std::to_string(i)), depth + 1);
            }
        }
    }

    // The dictionaries of a chain of references through `link`, each once.
    template <typename Visit>
    void chain(CPdfElement item, const char* link, Visit visit) {
        while (item.is(kindReference) && !seen(item)) {
            CPdfElement resolved;
            xref_->fetch(item.getRefNumber(), item.getRefGeneration(), resolved);
            if (!resolved.is(kindDictionary)) return;
            visit(resolved, item);
            item = entry(resolved, link, false);
        }
    }

    void outlineItems(const CPdfElement& parent, const std::string& where, int depth) {
        if (depth > kMaxNesting) return;
        chain(entry(parent, "First", false), "Next", [&](const CPdfElement& item, const CPdfElement& reference) {
            const std::string key = keyOf(reference, where);
            const CPdfElement act = entry(item, "A", false);
            destination(entry(item, "Dest"), "outline destination", key + "/Dest");
            if (!seen(act)) action(entry(item, "A"), "outline destination", keyOf(act, key + "/A"), 0);
            outlineItems(item, key, depth + 1);
        });
    }

    void namedDestination(const CPdfElement& value, const std::string& where) {
        destination(value, "named destination", where);
        destination(entry(value, "D"), "named destination", where + "/D");
    }

    void nameTree(const CPdfElement& node, const std::string& where, int depth) {
        if (!node.is(kindDictionary) || depth > kMaxNesting) return;
        const CPdfElement kids = entry(node, "Kids"), names = entry(node, "Names");
        for (int32_t i = 0; i < lengthOf(kids); ++i) {
            const CPdfElement& reference = kids.getArray()->at(i);
            if (!seen(reference)) nameTree(element(kids, i), keyOf(reference, where + std::to_string(i)), depth + 1);
        }
        for (int32_t i = 1; i < lengthOf(names); i += 2)
            namedDestination(element(names, i), where + "/names" + std::to_string(i));
    }

    void beads(const CPdfElement& first) {
        chain(first, "N", [&](const CPdfElement& bead, const CPdfElement& reference) {
            const CPdfElement page = entry(bead, "P", false);
            if (page.is(kindReference)) {
                numbers(entry(bead, "R"), "bead R", static_cast<uint32_t>(page.getRefNumber()), 0,
                        keyOf(reference, "") + "/R", true);
            }
        });
    }

    CPdfDocument document_;
    CPdfXRef* xref_ = nullptr;
    std::set<int32_t> visited_;
};

// The annotation objects a job named as following the first of the pages that list them.
std::set<uint32_t> leftToTheFirstPage(const std::string& console) {
    std::set<uint32_t> objects;
    static const std::regex line("annotation object (\\d+) is on pages resized differently");
    for (auto it = std::sregex_iterator(console.begin(), console.end(), line); it != std::sregex_iterator(); ++it)
        objects.insert(static_cast<uint32_t>(std::stoul((*it)[1])));
    return objects;
}

// What is wrong with the output's places, given the input's.
std::string judgePlaces(const Places& in, const Places& out, const std::string& console) {
    if (!out.ok) return "the output cannot be read";
    const std::set<uint32_t> excused = leftToTheFirstPage(console);
    for (const auto& [where, coordinate] : in.coordinates) {
        const auto found = out.coordinates.find(where);
        if (found == out.coordinates.end()) return where + " is gone";
        const double value = found->second.value;
        const auto matrix = out.rewritten.find(coordinate.page);
        if (matrix == out.rewritten.end()) {
            if (value != coordinate.value) return where + " of a page that is not rewritten changed";
            continue;
        }
        if (excused.count(coordinate.annotation) != 0) continue;
        const Matrix& m = matrix->second;
        const double expected = coordinate.value * (coordinate.x ? m.a : m.d) +
                                (coordinate.distance ? 0 : coordinate.x ? m.e : m.f);
        const double tolerance = kAbsoluteTolerance + kRelativeTolerance * std::fabs(expected) +
                                 kFactorRounding * std::fabs(coordinate.value);
        if (std::fabs(value - expected) > tolerance) {
            return where + " (" + coordinate.kind + ") is " + std::to_string(value) + ", not " +
                   std::to_string(expected) + " (" + std::to_string(coordinate.value) + " on the input)";
        }
    }
    for (const auto& [page, bytes] : in.pageBytes) {
        if (out.rewritten.count(page) == 0 && out.pageBytes.count(page) != 0 && out.pageBytes.at(page) != bytes) {
            return "page object " + std::to_string(page) + " is not rewritten, but changed";
        }
    }
    return "";
}

// Two pages of different sizes (so that -page a4 gives them different factors) with annotations of every
// kind that have no appearance of their own, and destinations in every holder; chains that loop.
std::string generatedFile() {
    PdfBuilder pdf;
    pdf.addObject(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 30 0 R /Dests 40 0 R /Names << /Dests 41 0 R >> "
                     "/OpenAction 45 0 R /Threads [46 0 R] /AcroForm << /Fields [16 0 R] >> >>");
    pdf.addObject(2, "<< /Type /Pages /Kids [3 0 R 8 0 R] /Count 2 /Resources << /Font << /F1 5 0 R >> >> >>");
    pdf.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
                     "/Annots [10 0 R 11 0 R 12 0 R 13 0 R 14 0 R 15 0 R 16 0 R] /VP [<< /BBox [0 0 612 400] >>] >>");
    pdf.addStream(4, "", "0 g BT /F1 18 Tf 72 696 Td (A highlighted line of text) Tj ET\n"
                         "0 0 0.8 rg BT /F1 14 Tf 72 604 Td (A link to the second page) Tj ET\n"
                         "0.6 g 72 180 468 20 re f\n");
    pdf.addObject(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    pdf.addObject(8, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 500] /Contents 9 0 R "
                     "/Annots [15 0 R 16 0 R 17 0 R] >>");
    pdf.addStream(9, "", "0 g BT /F1 18 Tf 40 440 Td (The second page) Tj ET 0.6 g 40 40 320 20 re f\n");
    pdf.addObject(10, "<< /Type /Annot /Subtype /Highlight /Rect [70 690 330 718] /C [1 0.9 0] "
                      "/QuadPoints [70 716 330 716 70 690 330 690] >>");
    pdf.addObject(11, "<< /Type /Annot /Subtype /Link /Rect [70 598 300 622] /Border [0 0 1] /C [0 0 1] "
                      "/QuadPoints [70 622 300 622 70 598 300 598] /Dest [8 0 R /XYZ 20 480 0] >>");
    pdf.addObject(12, "<< /Type /Annot /Subtype /Ink /Rect [90 290 260 360] /C [1 0 0] /BS << /W 3 >> "
                      "/InkList [[100 300 150 350 200 300 250 350]] >>");
    pdf.addObject(13, "<< /Type /Annot /Subtype /Polygon /Rect [290 290 410 410] /C [0 0 1] /BS << /W 3 >> "
                      "/Vertices [300 300 400 300 350 400] >>");
    pdf.addObject(14, "<< /Type /Annot /Subtype /Line /Rect [90 190 510 260] /C [0 0.6 0] /BS << /W 3 >> "
                      "/L [100 200 500 250] /A << /S /GoTo /D [3 0 R /FitR 50 50 300 300] /Next 19 0 R >> >>");
    pdf.addObject(15, "<< /Type /Annot /Subtype /Square /Rect [300 80 380 140] /RD [4 4 4 4] /C [1 0 1] "
                      "/BS << /W 3 >> >>");
    pdf.addObject(16, "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /Rect [40 460 200 480] >>");
    // Hidden: viewers would draw its text at the size its DA gives, which no resize changes.
    pdf.addObject(17, "<< /Type /Annot /Subtype /FreeText /F 2 /Rect [40 280 160 360] /DA (0 g /Helv 10 Tf) "
                      "/Contents (note) /CL [50 300 100 350 150 350] /RD [2 2 2 2] >>");
    pdf.addObject(19, "<< /S /GoTo /D [8 0 R /FitH 400] /Next 19 0 R >>");
    pdf.addObject(30, "<< /Type /Outlines /First 31 0 R /Last 32 0 R >>");
    pdf.addObject(31, "<< /Title (XYZ) /Parent 30 0 R /Dest [3 0 R /XYZ 72 700 0] /Next 32 0 R >>");
    pdf.addObject(32, "<< /Title (FitR) /Parent 30 0 R /Dest [8 0 R /FitR 10 10 200 200] /Next 31 0 R "
                      "/First 32 0 R /Last 32 0 R >>");
    pdf.addObject(40, "<< /here [3 0 R /FitBH 650] >>");
    pdf.addObject(41, "<< /Names [(n1) [8 0 R /XYZ null 300 null] (n2) << /D [3 0 R /FitV 100] >>] /Kids [41 0 R] >>");
    pdf.addObject(45, "[3 0 R /XYZ 0 792 1]");
    pdf.addObject(46, "<< /Type /Thread /F 47 0 R >>");
    pdf.addObject(47, "<< /Type /Bead /T 46 0 R /P 3 0 R /R [72 400 540 700] /N 47 0 R /V 47 0 R >>");
    pdf.setTrailer("/Root 1 0 R");
    return pdf.build();
}

// The integration option sets and a fit as seen, which moves the content as well as scaling it.
std::vector<OptionSet> setsWithVisible() {
    std::vector<OptionSet> sets(std::begin(kOptionSets), std::end(kOptionSets));
    sets.push_back({"VisibleA4", "-visible -page a4 -con -center"});
    return sets;
}

TEST(FollowContent, EveryPlaceOfAGeneratedFileFollowsItsPage) {
    TempDir dir;
    const std::string input = dir.file("in.pdf");
    writeFile(input, generatedFile());
    const Places in = PlaceReader(input).places;
    ASSERT_TRUE(in.ok);
    std::set<std::string> kinds;  // a kind never read would pass unchecked
    for (const auto& place : in.coordinates) kinds.insert(place.second.kind);
    EXPECT_EQ(kinds, std::set<std::string>(std::begin(kKinds), std::end(kKinds)));
    for (const OptionSet& set : setsWithVisible()) {
        SCOPED_TRACE(set.options);
        const Job job = succeeded(input, dir, set.name, set.options);
        const Places out = PlaceReader(job.output).places;
        EXPECT_EQ(judgePlaces(in, out, job.run.output), "");
        // The widget on both pages is named when the pages get different factors (or one stays); nothing else.
        const std::string options = set.options;
        const bool differ = options.rfind("-page", 0) == 0 || options.rfind("-visible -page", 0) == 0;
        EXPECT_EQ(leftToTheFirstPage(job.run.output), differ ? std::set<uint32_t>{16} : std::set<uint32_t>{});
        EXPECT_EQ(out.rewritten.size(), options.find("-s1") == std::string::npos ? 2u : 1u);
        // The second page lists the widget itself, and a copy of the square when the factors differ.
        const std::string& second = out.pageBytes.at(8);
        EXPECT_NE(second.find("16 0 R"), std::string::npos) << second;
        EXPECT_EQ(second.find("15 0 R") == std::string::npos, differ && out.rewritten.size() == 2) << second;
    }
}

// Viewers draw annotations without appearance streams from their points.
TEST(FollowContent, AnnotationsWithoutAppearanceLookTheSameScaled) {
    if (!haveTool("mutool")) GTEST_SKIP() << "mutool is needed";
    TempDir dir;
    writeFile(dir.file("in.pdf"), generatedFile());
    const std::string doubled = resized(dir.file("in.pdf"), dir, "doubled", "-scale200");
    for (const int page : {1, 2}) {
        SCOPED_TRACE("page " + std::to_string(page));
        expectDoubledPageLooksLikeTheInput(dir.file("in.pdf"), doubled, page);
    }
}

TEST(FollowContent, EveryPlaceOfTheCorpusFollowsItsPage) {
    SKIP_WITHOUT_CORPUS();
    std::vector<std::string> files;
    std::vector<Places> inputs;
    for (const std::string& path : corpusFiles()) {
        Places places = PlaceReader(path).places;
        if (!places.ok || places.coordinates.empty()) continue;
        files.push_back(path);
        inputs.push_back(std::move(places));
    }
    const std::vector<OptionSet> sets = setsWithVisible();
    const auto problems = judgeInParallel(files.size() * sets.size(), [&](size_t i, const std::string& folder) {
        const std::string& input = files[i % files.size()];
        const char* options = sets[i / files.size()].options;
        const Job job = runJob(input, folder, options);
        if (!job.problem.empty() || job.run.status != 0) return job.problem;  // refusals are the every-file test's
        const std::string problem =
            judgePlaces(inputs[i % files.size()], PlaceReader(job.output).places, job.run.output);
        return problem.empty() ? "" : input + ", " + options + ": " + problem;
    });
    for (const std::string& problem : problems) ADD_FAILURE() << problem;
}

}  // namespace
