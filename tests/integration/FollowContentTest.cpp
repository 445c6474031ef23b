// Every place on a page (annotation points, destinations, viewports, beads), read back, is the input's under the
// matrix of its page's new first content stream; a page that is not rewritten keeps its places and its bytes.

#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/PageCollector.h"
#include "resize/RawObjectReader.h"
#include "tests/integration/Jobs.h"

namespace {

constexpr double kAbsoluteTolerance = 0.02;  // points
constexpr double kRelativeTolerance = 0.005;
// Places follow the exact factors; the content matrix carries them with two decimals.
constexpr double kFactorRounding = 0.005;
constexpr int kMaxNesting = 32;

// Where destinations are held, in the catalog or on a page; they are told apart by it.
const char* const kHolders[] = {"Annots", "Outlines", "Dests", "Names", "OpenAction"};
// Keys that hold places; boxes are read as the box of their corners, margins (RD) are scaled, never shifted.
const std::set<std::string> kPlaceKeys = {"Rect", "QuadPoints", "InkList", "Vertices", "L", "CL", "RD", "BBox", "R"};
const std::set<std::string> kBoxKeys = {"Rect", "BBox", "R"};
// The axis of each number after a destination's page and fit.
const std::map<std::string, std::string> kAxes = {{"XYZ", "xy"}, {"FitH", "y"}, {"FitBH", "y"},
                                                  {"FitV", "x"}, {"FitBV", "x"}, {"FitR", "xyxy"}};

struct Coordinate {
    std::string kind;
    uint32_t page = 0, annotation = 0;  // the page object it follows; the annotation object holding it, if any
    bool x = true, distance = false;
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

CPdfElement entry(const CPdfElement& dictionary, const char* key) {
    CPdfElement value;
    if (dictionary.is(kindDictionary)) dictionary.getDictionary()->lookup(key, value);
    return value;
}

// Every number under a place key or in a destination, walked through every object the catalog and the pages'
// annotations and viewports reach (pages and parents aside); a place is read where its page is known.
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
            const uint32_t number = records[i].objectNumber;
            if (!records[i].filled) continue;
            raw.readRawObject(number, places.pageBytes[number]);
            const CPdfElement page = fetch(number);
            readMatrix(entry(page, "Contents"), number);
            const std::string where = "page" + std::to_string(i);
            // Keyed by their place in the list: a page's copy of a shared annotation stands where the original did.
            const CPdfElement annotations = entry(page, "Annots");
            for (int32_t a = 0; annotations.is(kindArray) && a < annotations.getArray()->getLength(); ++a) {
                const CPdfElement& reference = annotations.getArray()->at(a);
                visited_.clear();
                annotation_ = reference.is(kindReference) ? static_cast<uint32_t>(reference.getRefNumber()) : 0;
                walk(resolve(reference), number, "Annots", where + "/annot" + std::to_string(a), 0);
            }
            annotation_ = 0;
            walk(entry(page, "VP"), number, "VP", where + "/VP", 0);
        }
        visited_.clear();
        const ObjectRef root = xref_->getRootRef();
        const CPdfElement catalog = fetch(root.number);
        for (const char* holder : {"OpenAction", "Outlines", "Dests", "Names", "Threads"}) {
            CPdfElement value;
            if (catalog.is(kindDictionary)) catalog.getDictionary()->lookupUnresolved(holder, value);
            walk(value, 0, holder, holder, 0);
        }
    }

    // Generation 0, or the one an updated object took.
    CPdfElement fetch(uint32_t number) {
        const auto& entries = xref_->getEntries();
        CPdfElement object;
        xref_->fetch(static_cast<int32_t>(number), 0, object);
        if (object.is(kindNull) && number < entries.size()) xref_->fetch(int32_t(number), entries[number].generation, object);
        return object;
    }
    CPdfElement resolve(const CPdfElement& value) {
        CPdfElement resolved = value;
        if (value.is(kindReference)) xref_->fetch(value.getRefNumber(), value.getRefGeneration(), resolved);
        return resolved;
    }

    void readMatrix(const CPdfElement& contents, uint32_t page) {
        // An element given to be filled must be empty: what it held would stay counted.
        CPdfElement first;
        if (contents.is(kindArray) && contents.getArray()->getLength() > 0) {
            contents.getArray()->get(0, first);
        } else {
            first = contents;
        }
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

    void add(const std::string& where, const std::string& kind, uint32_t page, bool x, bool distance, double value) {
        if (page != 0) places.coordinates[where] = {kind, page, annotation_, x, distance, value};
    }

    void numbers(const CPdfElement& value, const std::string& key, uint32_t page, const std::string& where) {
        if (!value.is(kindArray)) return;
        const CPdfArray& array = *value.getArray();
        std::vector<double> values;
        for (int32_t i = 0; i < array.getLength(); ++i) {
            if (key == "InkList") numbers(resolve(array.at(i)), key, page, where + std::to_string(i));
            if (array.at(i).isNumber()) values.push_back(array.at(i).getNumber());
        }
        if (values.size() != size_t(array.getLength())) return;
        if (kBoxKeys.count(key) && values.size() == 4) {
            values = {std::min(values[0], values[2]), std::min(values[1], values[3]), std::max(values[0], values[2]),
                      std::max(values[1], values[3])};
        }
        for (size_t i = 0; i < values.size(); ++i)
            add(where + "[" + std::to_string(i) + "]", key, page, i % 2 == 0, key == "RD", values[i]);
    }

    // Whether `array` is a destination: its numbers are read as places on the page it names.
    bool destination(const CPdfArray& array, const std::string& holder, const std::string& where) {
        if (array.getLength() < 2 || !array.at(0).is(kindReference) || !array.at(1).is(kindName)) return false;
        const auto axes = kAxes.find(array.at(1).getName());
        if (axes == kAxes.end()) return false;
        for (int32_t i = 2; i < array.getLength() && i - 2 < int32_t(axes->second.size()); ++i) {
            if (!array.at(i).isNumber()) continue;
            add(where + "[" + std::to_string(i) + "]", holder + " destination",
                static_cast<uint32_t>(array.at(0).getRefNumber()), axes->second[i - 2] == 'x', false,
                array.at(i).getNumber());
        }
        return true;
    }

    void walk(const CPdfElement& value, uint32_t page, const std::string& holder, const std::string& where, int depth) {
        if (depth > kMaxNesting) return;
        if (value.is(kindReference)) {  // chains and trees may loop
            if (!visited_.insert(value.getRefNumber()).second) return;
            walk(resolve(value), page, holder, "obj" + std::to_string(value.getRefNumber()), depth + 1);
        } else if (value.is(kindArray)) {
            const CPdfArray& array = *value.getArray();
            if (destination(array, holder, where)) return;
            for (int32_t i = 0; i < array.getLength(); ++i)
                walk(array.at(i), page, holder, where + "[" + std::to_string(i) + "]", depth + 1);
        } else if (value.is(kindDictionary)) {
            const CPdfDictionary& dictionary = *value.getDictionary();
            const CPdfElement* owner = dictionary.find("P");  // a bead's page
            if (page == 0 && owner && owner->is(kindReference)) page = static_cast<uint32_t>(owner->getRefNumber());
            for (int32_t i = 0; i < dictionary.getLength(); ++i) {
                const std::string key = dictionary.getKey(i);
                if (key == "P" || key == "Parent") continue;
                CPdfElement item;
                dictionary.getValue(i, item);
                if (kPlaceKeys.count(key)) {
                    numbers(resolve(item), key, page, where + "/" + key);
                } else {
                    walk(item, page, holder, where + "/" + key, depth + 1);
                }
            }
        }
    }

    CPdfDocument document_;
    CPdfXRef* xref_ = nullptr;
    std::set<int32_t> visited_;
    uint32_t annotation_ = 0;
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

TEST(FollowContent, EveryPlaceOfAGeneratedFileFollowsItsPageAndLooksTheSame) {
    TempDir dir;
    const std::string input = dir.file("in.pdf");
    writeFile(input, generatedFile());
    const Places in = PlaceReader(input).places;
    ASSERT_TRUE(in.ok);
    std::set<std::string> kinds;  // a kind never read would pass unchecked
    for (const auto& place : in.coordinates) kinds.insert(place.second.kind);
    std::set<std::string> expected = kPlaceKeys;
    for (const std::string holder : kHolders) expected.insert(holder + " destination");
    EXPECT_EQ(kinds, expected);
    // The integration option sets, a fit as seen, which moves the content as well as scaling it, and a doubling.
    std::vector<OptionSet> sets(std::begin(kOptionSets), std::end(kOptionSets));
    sets.push_back({"VisibleA4", "-visible -page a4 -con -center"});
    sets.push_back({"Doubled", "-scale200"});
    for (const OptionSet& set : sets) {
        SCOPED_TRACE(set.options);
        const Job job = succeeded(input, dir, set.name, set.options);
        // Viewers draw annotations without appearance streams from their points.
        for (int page = 1; page <= 2 && std::string(set.name) == "Doubled" && haveTool("mutool"); ++page) {
            expectDoubledPageLooksLikeTheInput(input, job.output, page);
        }
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

}  // namespace
