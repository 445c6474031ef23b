// Classic tables, cross-reference streams, incremental updates and hybrid files.

#include <gtest/gtest.h>

#include "pdf/objects/PdfDictionary.h"
#include "tests/support/PdfBuilder.h"
#include "tests/xref/XRefFixtures.h"

namespace {

PdfBuilder smallBuilder() {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    builder.addObject(3, "(three)");
    builder.addObject(5, "<< /K 5 >>", 2);
    builder.addObject(9, "<< /Title (info) >>");
    builder.setTrailer("/Root 1 0 R /Info 9 0 R");
    return builder;
}

std::string valueAt(CPdfXRef& xref, int number, const char* key = "K", unsigned generation = 0) {
    const CPdfElement object = fetchObject(xref, number, generation);
    CPdfElement value;
    if (object.is(kindDictionary)) object.getDictionary()->lookup(key, value);
    return describe(value);
}

// Offsets, types and generations of the small file, read back through the table.
void expectSmallFile(CPdfXRef& xref, const PdfBuilder& builder, uint32_t freeHeadType = 0) {
    const std::vector<XRefEntry>& entries = xref.getEntries();
    for (const int n : {1, 2, 3, 5, 9}) {
        EXPECT_EQ(entries[n].type, 1u) << n;
        EXPECT_EQ(entries[n].offset, builder.offsetOf(n)) << n;
    }
    EXPECT_EQ(entries[0].type, freeHeadType);
    EXPECT_EQ(entries[5].generation, 2u);
    EXPECT_EQ(valueAt(xref, 5, "K", 2), "5");
    EXPECT_EQ(describe(fetchObject(xref, 5)), "null");  // the wrong generation
    EXPECT_EQ(describe(fetchObject(xref, 3)), "(three)");
    EXPECT_EQ(valueAt(xref, xref.getInfoRef().number, "Title"), "(info)");
    CPdfElement root;  // the trailer resolves its references through the table
    xref.getTrailer().getDictionary()->lookup("Root", root);
    EXPECT_TRUE(root.is(kindDictionary) && root.getDictionary()->isType("Catalog"));
}

}  // namespace

TEST(XRef, TablesAndStreamsGiveOffsetsFromTheHeader) {
    for (const std::string junk : {"", "leading junk\r\n"}) {
        PdfBuilder builder = smallBuilder();
        builder.setLeadingJunk(junk);
        OpenedPdf pdf(builder.build());
        CPdfXRef& xref = pdf.open();
        EXPECT_EQ(xref.getStart(), junk.size());
        ASSERT_EQ(xref.getEntries().size(), 10u);
        EXPECT_EQ(xref.getEntries()[0].generation, 65535u);
        expectSmallFile(xref, builder);
    }
    PdfBuilder builder = smallBuilder();
    for (const std::vector<int>& widths : std::vector<std::vector<int>>{{1, 4, 2}, {2, 8, 3}, {0, 4, 2}}) {
        for (const bool predictor : {false, true}) {
            SCOPED_TRACE(std::to_string(widths[0] * 100 + widths[1] * 10 + widths[2]) + (predictor ? " Up" : ""));
            PdfBuilder::Options options;
            options.xrefStream = true;
            options.xrefPredictor = predictor;
            options.widths = widths;
            OpenedPdf pdf(builder.build(options));
            CPdfXRef& xref = pdf.open();
            ASSERT_EQ(xref.getEntries().size(), 11u);  // the stream itself is object 10
            // Without a type field every listed entry is in use, the free head included.
            expectSmallFile(xref, builder, widths[0] == 0 ? 1 : 0);
        }
    }
}

TEST(XRef, SubsectionGapsAreUndefinedAndStartXRefIsTheLastOne) {
    HandPdf pdf;
    pdf.object(11, "(eleven)");
    const uint32_t at = pdf.position();
    pdf.raw("xref\n0 3\n" + tableRow(0, 65535, 'f') + tableRow(pdf.offsetOf(1), 0, 'n') + tableRow(0, 0, 'f') +
            "10 2\n" + tableRow(0, 0, 'f') + tableRow(pdf.offsetOf(11), 0, 'n') + "trailer\n<< /Root 1 0 R >>\n");
    // An earlier startxref with a wrong number is passed over; the number is read like strtol.
    OpenedPdf opened(pdf.finish() + "startxref\r\n  \t" + std::to_string(at) + "\n%%EOF\n");
    CPdfXRef& xref = opened.open();
    ASSERT_EQ(xref.getEntries().size(), 12u);
    for (int n = 3; n <= 9; ++n) {
        EXPECT_EQ(xref.getEntries()[n].offset, XRefEntry::kUndefined) << n;
        EXPECT_EQ(describe(fetchObject(xref, n)), "null") << n;
    }
    EXPECT_EQ(describe(fetchObject(xref, 11)), "(eleven)");
    EXPECT_EQ(xref.getInfoRef().number, 0);
    EXPECT_EQ(messageOf([&] { fetchObject(xref, 12); }), "Corrupted PDF file");
}

TEST(XRef, IncrementalUpdatesKeepTheNewestEntriesAndTrailer) {
    for (const int form : {0, 1, 2, 3}) {  // table or stream, before and after
        SCOPED_TRACE(form);
        PdfBuilder base = smallBuilder(), update;
        PdfBuilder::Options baseOptions, updateOptions;
        baseOptions.xrefStream = form & 1;
        updateOptions.xrefStream = form & 2;
        update.addObject(5, "<< /K (new) >>", 2);
        update.addObject(12, "<< /Type /Catalog >>");
        update.setTrailer("/Root 12 0 R");
        OpenedPdf pdf(update.appendUpdate(base.build(baseOptions), updateOptions));
        CPdfXRef& xref = pdf.open();
        EXPECT_EQ(xref.getEntries()[3].offset, base.offsetOf(3));
        EXPECT_EQ(valueAt(xref, 5, "K", 2), "(new)");
        EXPECT_EQ(describe(fetchObject(xref, 3)), "(three)");
        EXPECT_EQ(xref.getRootRef().number, 12);  // the newest trailer wins, and it has no Info
        EXPECT_EQ(xref.getInfoRef().number, 0);
    }
}

TEST(XRef, AHybridStreamFillsOnlyWhatItsTableLeftUndefinedOrFree) {
    HandPdf pdf;
    pdf.object(2, "(two from the table)");
    pdf.stream(4, "/Type /ObjStm /N 3 /First 14", "2 0 3 22 5 30 (two from the stream) (three) (five)");
    const uint32_t olderTable = pdf.position();
    pdf.raw("xref\n0 7\n" + tableRow(0, 65535, 'f') + tableRow(pdf.offsetOf(1), 0, 'n') + tableRow(0, 0, 'f') +
            tableRow(0, 0, 'f') + tableRow(pdf.offsetOf(4), 0, 'n') + tableRow(0, 0, 'f') + tableRow(0, 0, 'f') +
            "trailer\n<< /Root 1 0 R >>\n");
    pdf.object(6, "(six)");
    // 2: the newer table says in use; 3: free there; 5: undefined there; 6: in use there.
    const uint32_t hybridStream = pdf.position();
    pdf.stream(8, "/Type /XRef /Size 9 /W [1 2 1] /Index [2 2 5 2] /Prev 999999",
               row(2, 4, 0) + row(2, 4, 1) + row(2, 4, 2) + row(1, 0, 0));
    pdf.section("xref\n2 2\n" + tableRow(pdf.offsetOf(2), 0, 'n') + tableRow(0, 0, 'f') + "6 1\n" +
            tableRow(pdf.offsetOf(6), 0, 'n') + "trailer\n<< /Root 1 0 R /Prev " + std::to_string(olderTable) +
            " /XRefStm " + std::to_string(hybridStream) + " >>\n");
    OpenedPdf opened(pdf.finish());
    CPdfXRef& xref = opened.open();
    EXPECT_EQ(describe(fetchObject(xref, 2)), "(two from the table)");
    EXPECT_EQ(xref.getEntries()[5].type, 2u);
    EXPECT_EQ(xref.getEntries()[5].generation, 2u);  // the index in the object stream
    EXPECT_EQ(describe(fetchObject(xref, 3)), "(three)");
    EXPECT_EQ(describe(fetchObject(xref, 5)), "(five)");
    EXPECT_EQ(describe(fetchObject(xref, 6)), "(six)");
    // The older table still fills what neither newer part defined; the stream's Prev is not read.
    EXPECT_EQ(xref.getEntries()[4].offset, pdf.offsetOf(4));

    // An XRefStm that is no cross-reference stream (object 3 is a string) leaves the table alone.
    PdfBuilder builder = smallBuilder();
    std::string file = builder.build();
    file.insert(file.rfind(">>"), "/XRefStm " + std::to_string(builder.offsetOf(3)) + " ");
    OpenedPdf broken(file);
    EXPECT_EQ(describe(fetchObject(broken.open(), 3)), "(three)");
}
