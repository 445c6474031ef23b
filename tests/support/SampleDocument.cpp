#include "tests/support/SampleDocument.h"

#include "tests/support/PdfBuilder.h"

namespace {

const char* const kFirstPage =
    "% orange band behind the heading\n0.90 0.45 0.10 rg\n72 650 468 64 re f\n1 1 1 rg\n"
    "BT /F2 26 Tf 90 672 Td (Quillmor sample document) Tj ET\n% body text\n0 0 0 rg\nBT /F1 12 Tf 16 TL 72 610 Td\n"
    "(This page is US Letter, 612 by 792 points.) Tj\n"
    "T* (The orange band, the blue frame and the grey square show how the) Tj\n"
    "T* (content is scaled when the page size changes.) Tj\nT* (The blue line below is a link to the project site:) Tj\n"
    "ET\n0 0 0.8 rg\nBT /F1 12 Tf 72 530 Td (https://quillmor.example.org) Tj ET\n0 0 0.8 RG 0.75 w 72 526 m 220 526 l S\n"
    "% grey square and blue frame near the page edges\n0.6 g\n72 300 144 144 re f\n0 0 0.8 RG 3 w\n36 36 540 720 re S\n";

const char* const kSecondPage =
    "% green band behind the heading\n0.15 0.60 0.30 rg\n72 650 468 64 re f\n1 1 1 rg\n"
    "BT /F2 26 Tf 90 672 Td (Second page) Tj ET\n0 0 0 rg\nBT /F1 12 Tf 16 TL 72 610 Td\n"
    "(Resize this file to A4 or A5 and compare the two pages.) Tj\n"
    "T* (Every page keeps its text, shapes and link after resizing.) Tj\nET\n% red circle made of four curves\n"
    "0.85 0.15 0.15 rg\n306 400 m\n306 455.2 261.2 500 206 500 c\n150.8 500 106 455.2 106 400 c\n"
    "106 344.8 150.8 300 206 300 c\n261.2 300 306 344.8 306 400 c f\n0 0 0.8 RG 3 w\n36 36 540 720 re S\n";

}  // namespace

std::string buildSampleDocument() {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [5 0 R 8 0 R] /Count 2 >>");
    builder.addObject(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    builder.addObject(4, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>");
    const std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R "
                             "/F2 4 0 R >> >> /Contents ";
    builder.addObject(5, page + "6 0 R /Annots [7 0 R] >>");
    builder.addStream(6, "", kFirstPage);
    builder.addObject(7, "<< /Type /Annot /Subtype /Link /Rect [70 522 222 545] /Border [0 0 0]"
                         " /A << /S /URI /URI (https://quillmor.example.org) >> >>");
    builder.addObject(8, page + "9 0 R >>");
    builder.addStream(9, "", kSecondPage);
    builder.addObject(10, "<< /Title (Quillmor sample) /Producer (Quillmor test support) >>");
    builder.setTrailer("/Root 1 0 R /Info 10 0 R");
    return builder.build();
}
