#include "tests/support/GeneratedPdfs.h"

#include <cctype>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>

#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

// Shapes near every edge, so that a page cut, shifted or scaled wrongly shows in a rendering.
const char* const kShapes =
    "0.90 0.45 0.10 rg 72 650 468 64 re f 0.6 g 72 300 144 144 re f\n"
    "0 0 0.8 RG 3 w 36 36 540 720 re S\n"
    "0 g BT /F1 24 Tf 90 672 Td (Generated sample) Tj ET\n"
    "0 0 0.8 rg BT /F1 12 Tf 72 530 Td (https://quillmor.example.org) Tj ET\n";

void addRichDocument(PdfBuilder& pdf) {
    pdf.addObject(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 30 0 R /Metadata 40 0 R /PageMode /UseOutlines >>");
    // Pages 1, 2 and 5 take the MediaBox and the font from the top; pages 3 and 4 a landscape box and
    // the rotation from their own node.
    pdf.addObject(2, "<< /Type /Pages /Kids [4 0 R 7 0 R 10 0 R 20 0 R] /Count 5 /MediaBox [0 0 612 792]"
                     " /Resources << /Font << /F1 3 0 R >> >> >>");
    pdf.addObject(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    pdf.addObject(4, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Annots [6 0 R] >>");
    pdf.addStream(5, "", kShapes, true);
    pdf.addObject(6, "<< /Type /Annot /Subtype /Link /Rect [70 522 222 545] /Border [0 0 0]"
                     " /A << /S /URI /URI (https://quillmor.example.org) >> >>");
    pdf.addObject(7, "<< /Type /Page /Parent 2 0 R /Contents 11 0 R"
                     " /Resources << /Font << /F1 3 0 R >> /Pattern << /T 8 0 R /S 9 0 R >> >> >>");
    pdf.addStream(8, "/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 24 24] /XStep 24"
                     " /YStep 24 /Matrix [1 0 0 1 6 6] /Resources << >>",
                  "0 0 0.7 rg 0 0 12 12 re f 0.8 0 0 rg 12 12 12 12 re f", true);
    pdf.addObject(9, "<< /Type /Pattern /PatternType 2 /Shading << /ShadingType 2 /ColorSpace /DeviceRGB"
                     " /Coords [72 0 540 0] /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0.9 0] /C1 [0 0.3 0.6]"
                     " /N 1 >> /Extend [false false] >> >>");
    pdf.addObject(10, "<< /Type /Pages /Parent 2 0 R /Kids [12 0 R 14 0 R] /Count 2 /MediaBox [0 0 842 595]"
                      " /Rotate 90 >>");
    pdf.addStream(11, "", "/Pattern cs /T scn 72 420 468 300 re f /Pattern cs /S scn 72 100 468 250 re f\n"
                          "0 g BT /F1 18 Tf 72 740 Td (Tiling and shading patterns) Tj ET", true);
    pdf.addObject(12, "<< /Type /Page /Parent 10 0 R /Contents 13 0 R >>");
    pdf.addStream(13, "", "0.15 0.6 0.3 rg 60 60 400 200 re f 0 g BT /F1 20 Tf 80 400 Td (Landscape, turned) Tj ET");
    pdf.addObject(14, "<< /Type /Page /Parent 10 0 R /Contents [15 0 R 16 0 R] /Rotate 270 >>");
    pdf.addStream(15, "", "0.85 0.15 0.15 rg 500 300 m 700 300 l 600 500 l f");
    pdf.addStream(16, "", "0 g BT /F1 20 Tf 80 120 Td (Two content streams) Tj ET", true);
    pdf.addObject(20, "<< /Type /Page /Parent 2 0 R /Contents 23 0 R /CropBox [18 18 594 774] /Annots [21 0 R] >>");
    pdf.addObject(21, "<< /Type /Annot /Subtype /Stamp /Rect [100 500 300 560] /AP << /N 22 0 R >> >>");
    pdf.addStream(22, "/Type /XObject /Subtype /Form /BBox [0 0 200 60] /Resources << /Font << /F1 3 0 R >> >>",
                  "0.9 0.8 0.1 rg 0 0 200 60 re f 0 g BT /F1 16 Tf 12 22 Td (Stamp appearance) Tj ET");
    pdf.addStream(23, "", "0.5 g 100 100 300 300 re f 0 g BT /F1 14 Tf 100 700 Td (A page with a CropBox) Tj ET");
    pdf.addObject(30, "<< /Type /Outlines /First 31 0 R /Last 33 0 R /Count 3 >>");
    pdf.addObject(31, "<< /Title (Shapes \\225 text) /Parent 30 0 R /Next 32 0 R /Dest [4 0 R /XYZ 0 792 0] >>");
    pdf.addObject(32, "<< /Title <FEFF0047007200F600DF0065> /Parent 30 0 R /Prev 31 0 R /Next 33 0 R"
                      " /Dest [7 0 R /Fit] /C [0 0 1] /F 2 >>");
    pdf.addObject(33, "<< /Title (Rotated pages) /Parent 30 0 R /Prev 32 0 R /A << /S /GoTo /D [12 0 R /FitH 500] >> >>");
    pdf.addStream(40, "/Type /Metadata /Subtype /XML",
                  "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>"
                  "<?xpacket end=\"r\"?>");
    pdf.addObject(41, "<< /Title (Generated sample) /Producer (Quillmor tests) /CreationDate (D:20260101120000Z) >>");
    pdf.setTrailer("/Root 1 0 R /Info 41 0 R");
}

std::string richDocument(const PdfBuilder::Options& options, const std::vector<int>& compressed = {},
                         const std::string& junk = "") {
    PdfBuilder pdf;
    addRichDocument(pdf);
    if (!compressed.empty()) pdf.putInObjectStream(50, compressed);
    pdf.setLeadingJunk(junk);
    return pdf.build(options);
}

// The classic file with two updates: a table that replaces page 1's content and the Info, then a
// cross-reference stream that turns page 4 the other way.
std::string updatedDocument() {
    PdfBuilder first, second;
    const PdfBuilder::Options stream{true, false, {0, 4, 2}};  // a stream without type field: every entry is in use
    first.addStream(5, "", std::string(kShapes) + "0 0.5 0 rg 400 300 100 100 re f\n", true);
    first.addObject(41, "<< /Title (Updated sample) /Producer (Quillmor tests) >>");
    first.setTrailer("/Root 1 0 R /Info 41 0 R");
    second.addObject(14, "<< /Type /Page /Parent 10 0 R /Contents [15 0 R 16 0 R] /Rotate 180 >>");
    second.setTrailer("/Root 1 0 R /Info 41 0 R");
    return second.appendUpdate(first.appendUpdate(richDocument({}), {}), stream);
}

struct Variant {
    const char* name;
    const char* qpdfOptions;  // applied to "classic"; nullptr for the builder's own layouts
    operator std::string() const { return name; }
};

const Variant kVariants[] = {
    {"classic", nullptr}, {"xref-stream", nullptr}, {"hybrid", nullptr}, {"incremental", nullptr},
    {"junk-crlf", nullptr},
    {"qpdf-object-streams", "--object-streams=generate"}, {"qpdf-linearized", "--linearize"}, {"qpdf-qdf", "--qdf"},
    {"qpdf-rc4-40", "--allow-weak-crypto --encrypt '' master 40 --"},
    {"qpdf-rc4-128", "--allow-weak-crypto --encrypt '' master 128 --use-aes=n --"},
    {"qpdf-rc4-128-clear-metadata", "--allow-weak-crypto --encrypt '' master 128 --use-aes=n --cleartext-metadata --"},
    {"qpdf-aes-128", "--encrypt '' master 128 --use-aes=y --"},
    {"qpdf-aes-128-object-streams", "--object-streams=generate --encrypt '' master 128 --use-aes=y --"},
    {"qpdf-aes-256", "--encrypt '' master 256 --"},
};

std::string builderLayout(const std::string& name) {
    PdfBuilder::Options options;
    if (name == "classic") return richDocument(options);
    if (name == "incremental") return updatedDocument();
    options.eol = name == "junk-crlf" ? "\r\n" : "\n";
    if (name == "junk-crlf") return richDocument(options, {}, "MIME junk before the header\r\n");
    options.xrefStream = options.xrefPredictor = name == "xref-stream";
    options.hybrid = name == "hybrid";
    if (options.hybrid) options.widths = {2, 8, 3};
    // The catalog and a page in an object stream too, where the whole stream replaces the table.
    return richDocument(options, options.hybrid ? std::vector<int>{3, 31, 32, 33}
                                                : std::vector<int>{1, 3, 6, 9, 12, 31, 32, 33, 41});
}

}  // namespace

const std::vector<std::string>& generatedNames() {
    static const std::vector<std::string> names(std::begin(kVariants), std::end(kVariants));
    return names;
}

std::string generatedPdf(const std::string& name) {
    static const std::unique_ptr<TempDir> folder = std::make_unique<TempDir>();
    static std::map<std::string, std::string> made;
    const auto found = made.find(name);
    if (found != made.end()) return found->second;
    const Variant* variant = nullptr;
    for (const Variant& candidate : kVariants) variant = name == candidate.name ? &candidate : variant;
    if (!variant) throw std::invalid_argument("no generated file is named " + name);
    const std::string path = folder->file(name + ".pdf");
    if (!variant->qpdfOptions) {
        writeFile(path, builderLayout(name));
        return made[name] = path;
    }
    if (!haveTool("qpdf")) return made[name] = "";
    // Fixed IDs and IVs make every run meet the same bytes.
    const CommandResult run = runCommand("qpdf --static-id --static-aes-iv " + std::string(variant->qpdfOptions) + " " +
                                         shellQuote(generatedPdf("classic")) + " " + shellQuote(path));
    if (run.status != 0) throw std::runtime_error("qpdf could not make " + name + ": " + run.output);
    return made[name] = path;
}

std::string testNameOf(std::string name) {
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}
