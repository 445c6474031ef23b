// Writes the large PDF files the speed benchmark runs on, with the test PDF builder.
//   make_bench_pdf a|b|c|d OUTPUT
// a: 2,000 pages of text-like content and some images, classic cross-reference table, ~93 MB
// b: the same pages with pages, fonts and annotations in object streams and a cross-reference stream
// c: 20,000 pages of tiny content, classic table
// d: 40,000 pages of tiny content, classic table
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

constexpr int kLargePageCount = 2000;
constexpr int kSmallPageCount = 20000;
constexpr int kKidsPerNode = 50;
constexpr int kLinesPerPage = 300;
constexpr int kPagesPerImage = 10;
constexpr int kImageSide = 300;      // 300 x 300 RGB: 270,000 bytes
constexpr int kPagesPerAnnotation = 4;
constexpr int kObjectsPerObjectStream = 100;

// Deterministic pseudo-random numbers, so every run of the benchmark reads the same files.
class Lcg {
public:
    uint32_t next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state_ >> 33);
    }

private:
    uint64_t state_ = 42;
};

const char* const kWords[] = {"resize", "page",   "content", "stream", "object", "matrix", "scale",
                              "window", "document", "reader", "format", "letter", "margin", "center"};

std::string textContent(Lcg& random, int page) {
    std::string content = "BT /F1 10 Tf 12 TL 56 760 Td\n";
    for (int line = 0; line < kLinesPerPage; ++line) {
        content += "(";
        for (int word = 0; word < 8; ++word) {
            content += kWords[random.next() % (sizeof kWords / sizeof kWords[0])];
            content += ' ';
        }
        content += std::to_string(page) + ") '\n";
    }
    return content + "ET\n";
}

std::string imageData(Lcg& random) {
    std::string data(static_cast<size_t>(kImageSide) * kImageSide * 3, '\0');
    for (char& byte : data) byte = static_cast<char>(random.next() & 0xFF);
    return data;
}

struct Layout {
    int pageCount;
    bool large;          // text-like content, images and annotations
    bool objectStreams;  // pages, nodes, fonts and annotations compressed
};

std::string buildDocument(const Layout& layout) {
    PdfBuilder builder;
    Lcg random;
    const int catalog = 1, font = 2, firstNode = 3;
    const int nodeCount = (layout.pageCount + kKidsPerNode - 1) / kKidsPerNode;
    const int rootNode = firstNode + nodeCount;
    int next = rootNode + 1;
    std::vector<int> compressible = {font, rootNode};

    builder.addObject(catalog, "<< /Type /Catalog /Pages " + std::to_string(rootNode) + " 0 R >>");
    builder.addObject(font, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    std::string rootKids;
    for (int node = 0; node < nodeCount; ++node) {
        const int nodeNumber = firstNode + node;
        rootKids += std::to_string(nodeNumber) + " 0 R ";
        std::string kids;
        const int first = node * kKidsPerNode;
        const int last = std::min(layout.pageCount, first + kKidsPerNode);
        for (int page = first; page < last; ++page) {
            const int pageNumber = next++, contentNumber = next++;
            kids += std::to_string(pageNumber) + " 0 R ";
            std::string resources = "/Resources << /Font << /F1 " + std::to_string(font) + " 0 R >>";
            std::string extra;
            std::string content;
            if (layout.large) {
                content = textContent(random, page + 1);
                if (page % kPagesPerImage == 0) {
                    const int image = next++;
                    const std::string side = std::to_string(kImageSide);
                    builder.addStream(image,
                                      "/Type /XObject /Subtype /Image /Width " + side + " /Height " + side +
                                          " /ColorSpace /DeviceRGB /BitsPerComponent 8",
                                      imageData(random));
                    resources += " /XObject << /Im1 " + std::to_string(image) + " 0 R >>";
                    content += "q 200 0 0 200 300 300 cm /Im1 Do Q\n";
                }
                if (page % kPagesPerAnnotation == 0) {
                    const int annotation = next++;
                    builder.addObject(annotation,
                                      "<< /Type /Annot /Subtype /Link /Rect [56 700 300 720] /Border [0 0 0] "
                                      "/A << /S /URI /URI (https://quillmor.example.org) >> >>");
                    extra = " /Annots [" + std::to_string(annotation) + " 0 R]";
                    compressible.push_back(annotation);
                }
            } else {
                content = "BT /F1 12 Tf 72 720 Td (Page " + std::to_string(page + 1) + ") Tj ET\n";
            }
            builder.addStream(contentNumber, "", content);
            builder.addObject(pageNumber, "<< /Type /Page /Parent " + std::to_string(nodeNumber) +
                                              " 0 R /MediaBox [0 0 612 792] " + resources + " >> /Contents " +
                                              std::to_string(contentNumber) + " 0 R" + extra + " >>");
            compressible.push_back(pageNumber);
        }
        builder.addObject(nodeNumber, "<< /Type /Pages /Parent " + std::to_string(rootNode) + " 0 R /Kids [" +
                                          kids + "] /Count " + std::to_string(last - first) + " >>");
        compressible.push_back(nodeNumber);
    }
    builder.addObject(rootNode, "<< /Type /Pages /Kids [" + rootKids + "] /Count " +
                                    std::to_string(layout.pageCount) + " >>");
    builder.setTrailer("/Root 1 0 R");

    PdfBuilder::Options options;
    if (layout.objectStreams) {
        options.xrefStream = true;
        for (size_t i = 0; i < compressible.size(); i += kObjectsPerObjectStream) {
            const size_t end = std::min(compressible.size(), i + kObjectsPerObjectStream);
            builder.putInObjectStream(next++, std::vector<int>(compressible.begin() + i, compressible.begin() + end));
        }
    }
    return builder.build(options);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strlen(argv[1]) != 1) {
        std::fprintf(stderr, "usage: make_bench_pdf a|b|c|d OUTPUT\n");
        return 2;
    }
    Layout layout{};
    switch (argv[1][0]) {
        case 'a': layout = {kLargePageCount, true, false}; break;
        case 'b': layout = {kLargePageCount, true, true}; break;
        case 'c': layout = {kSmallPageCount, false, false}; break;
        case 'd': layout = {2 * kSmallPageCount, false, false}; break;
        default: std::fprintf(stderr, "unknown kind %s\n", argv[1]); return 2;
    }
    writeFile(argv[2], buildDocument(layout));
    return 0;
}
