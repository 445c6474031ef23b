// Reading cross-reference tables, streams, Prev chains, incremental updates and hybrid files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "tests/support/PdfBuilder.h"
#include "tests/xref/HandPdf.h"
#include "tests/xref/OpenedPdf.h"

namespace {

PdfBuilder smallBuilder() {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    builder.addObject(3, "(three)");
    builder.addObject(5, "<< /Five 5 >>", 2);
    builder.addObject(9, "<< /Title (info) >>");
    builder.setTrailer("/Root 1 0 R /Info 9 0 R");
    return builder;
}

std::string nameAt(CPdfXRef& xref, int number, const char* key, unsigned generation = 0) {
    const CPdfElement object = fetchObject(xref, number, generation);
    if (!object.is(kindDictionary)) return "not a dictionary: " + describe(object);
    CPdfElement value;
    object.getDictionary()->lookup(key, value);
    return describe(value);
}

}  // namespace

TEST(XRef, ClassicTableGivesOffsetsFromTheHeaderAndTheTrailerReferences) {
    for (const std::string junk : {"", "leading junk\r\n"}) {
        SCOPED_TRACE("junk: " + std::to_string(junk.size()));
        PdfBuilder builder = smallBuilder();
        builder.setLeadingJunk(junk);
        auto pdf = OpenedPdf::fromBytes(builder.build());
        CPdfXRef& xref = pdf->open();
        EXPECT_TRUE(xref.isOk());
        EXPECT_EQ(xref.getStart(), junk.size());
        const std::vector<XRefEntry>& entries = xref.getEntries();
        ASSERT_EQ(entries.size(), 10u);
        EXPECT_EQ(entries[0].type, 0u);
        EXPECT_EQ(entries[0].generation, 65535u);
        for (const int number : {1, 2, 3, 5, 9}) {
            EXPECT_EQ(entries[static_cast<size_t>(number)].type, 1u) << number;
            EXPECT_EQ(entries[static_cast<size_t>(number)].offset, builder.offsetOf(number)) << number;
        }
        EXPECT_EQ(entries[5].generation, 2u);
        EXPECT_EQ(xref.getRootRef().number, 1);
        EXPECT_EQ(xref.getInfoRef().number, 9);
        EXPECT_EQ(nameAt(xref, 5, "Five", 2), "5");
        EXPECT_EQ(describe(fetchObject(xref, 3)), "(three)");

        // The trailer resolves its references through the table.
        CPdfElement root;
        xref.getTrailer().getDictionary()->lookup("Root", root);
        ASSERT_TRUE(root.is(kindDictionary));
        EXPECT_TRUE(root.getDictionary()->isType("Catalog"));
    }
}

TEST(XRef, CrossReferenceStreamsAgreeWithTheClassicTable) {
    PdfBuilder builder = smallBuilder();
    const std::string classic = builder.build();
    auto reference = OpenedPdf::fromBytes(classic);
    const std::vector<XRefEntry> expected = reference->open().getEntries();

    const std::vector<std::vector<int>> widthSets = {{1, 4, 2}, {1, 2, 1}, {2, 8, 3}, {0, 4, 2}};
    for (const bool predictor : {false, true}) {
        for (const std::vector<int>& widths : widthSets) {
            SCOPED_TRACE(std::to_string(widths[0]) + " " + std::to_string(widths[1]) + " " +
                         std::to_string(widths[2]) + (predictor ? " predictor" : ""));
            PdfBuilder::Options options;
            options.xrefStream = true;
            options.xrefPredictor = predictor;
            options.widths = widths;
            const std::string file = builder.build(options);
            auto pdf = OpenedPdf::fromBytes(file);
            CPdfXRef& xref = pdf->open();
            const std::vector<XRefEntry>& entries = xref.getEntries();
            ASSERT_EQ(entries.size(), 11u);  // the stream itself is object 10
            for (const int number : {1, 2, 3, 5, 9}) {
                EXPECT_EQ(entries[static_cast<size_t>(number)].offset, builder.offsetOf(number)) << number;
                EXPECT_EQ(entries[static_cast<size_t>(number)].generation,
                          expected[static_cast<size_t>(number)].generation);
                EXPECT_EQ(entries[static_cast<size_t>(number)].type, 1u);
            }
            // Without a type field every listed entry is in use, the free head included.
            EXPECT_EQ(entries[0].type, widths[0] == 0 ? 1u : 0u);
            EXPECT_EQ(xref.getRootRef().number, 1);
            EXPECT_EQ(nameAt(xref, 5, "Five", 2), "5");
            EXPECT_TRUE(xref.getTrailer().getDictionary()->isType("XRef"));
        }
    }
}

TEST(XRef, SubsectionsLeaveTheGapsUndefined) {
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    pdf.object(11, "(eleven)");
    const uint32_t xref = pdf.position();
    pdf.raw("xref\n0 3\n" + tableRow(0, 65535, 'f') + tableRow(pdf.offsetOf(1), 0, 'n') + tableRow(0, 0, 'f') +
            "10 2\n" + tableRow(0, 0, 'f') + tableRow(pdf.offsetOf(11), 0, 'n') + "trailer\n<< /Root 1 0 R >>\n");
    auto opened = OpenedPdf::fromBytes(pdf.finish(xref));
    CPdfXRef& table = opened->open();
    const std::vector<XRefEntry>& entries = table.getEntries();
    ASSERT_EQ(entries.size(), 12u);
    for (size_t i = 3; i <= 9; ++i) {
        EXPECT_EQ(entries[i].offset, XRefEntry::kUndefined) << i;
        EXPECT_EQ(entries[i].type, 0u) << i;
        EXPECT_TRUE(fetchObject(table, static_cast<int>(i)).is(kindNull)) << i;
    }
    EXPECT_EQ(entries[2].offset, 0u);
    EXPECT_EQ(describe(fetchObject(table, 11)), "(eleven)");
    EXPECT_EQ(table.getInfoRef().number, 0);
    EXPECT_THROW(fetchObject(table, 12), CPdfException);
}

TEST(XRef, StartXRefIsTheLastOneAndReadLikeTheCRuntime) {
    PdfBuilder builder = smallBuilder();
    std::string file = builder.build();
    ASSERT_LT(file.size(), 1023u);  // a short file is searched whole
    const size_t keyword = file.rfind("startxref");
    const std::string position = file.substr(keyword + 10, file.find('\n', keyword + 10) - keyword - 10);
    const std::string spaced = file.substr(0, keyword) + "startxref\r\n  \t" + position + "\n%%EOF\n";
    auto pdf = OpenedPdf::fromBytes(spaced);
    EXPECT_EQ(pdf->open().getRootRef().number, 1);

    // An earlier startxref with a wrong number is passed over for the later one.
    const std::string twice = file.substr(0, keyword) + "startxref\n7\n%%EOF\n" + file.substr(keyword);
    auto later = OpenedPdf::fromBytes(twice);
    EXPECT_EQ(later->open().getRootRef().number, 1);
}

TEST(XRef, IncrementalUpdatesKeepTheNewestEntriesAndTrailer) {
    const std::vector<std::pair<bool, bool>> forms = {{false, false}, {true, true}, {false, true}, {true, false}};
    for (const auto& [baseStream, updateStream] : forms) {
        SCOPED_TRACE(std::string(baseStream ? "stream" : "table") + " then " + (updateStream ? "stream" : "table"));
        PdfBuilder base = smallBuilder();
        PdfBuilder::Options baseOptions;
        baseOptions.xrefStream = baseStream;
        const std::string original = base.build(baseOptions);

        PdfBuilder update;
        update.addObject(5, "<< /Five (new) >>", 2);
        update.addObject(12, "<< /Type /Catalog /Twelve true >>");
        update.setTrailer("/Root 12 0 R");
        PdfBuilder::Options updateOptions;
        updateOptions.xrefStream = updateStream;
        const std::string updated = update.appendUpdate(original, updateOptions);

        auto pdf = OpenedPdf::fromBytes(updated);
        CPdfXRef& xref = pdf->open();
        const std::vector<XRefEntry>& entries = xref.getEntries();
        EXPECT_EQ(entries[5].offset, update.offsetOf(5));
        EXPECT_EQ(entries[12].offset, update.offsetOf(12));
        EXPECT_EQ(entries[3].offset, base.offsetOf(3));
        EXPECT_EQ(nameAt(xref, 5, "Five", 2), "(new)");
        EXPECT_EQ(describe(fetchObject(xref, 3)), "(three)");
        // The newest trailer wins: its Root, and no Info since it has none.
        EXPECT_EQ(xref.getRootRef().number, 12);
        EXPECT_EQ(xref.getInfoRef().number, 0);
    }
}

TEST(XRef, PrevMayBeGivenAsAReference) {
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    const uint32_t older = pdf.position();
    pdf.raw("xref\n0 2\n" + tableRow(0, 65535, 'f') + tableRow(pdf.offsetOf(1), 0, 'n') +
            "trailer\n<< /Root 1 0 R >>\n");
    pdf.object(2, "(two)");
    const uint32_t newer = pdf.position();
    pdf.raw("xref\n2 1\n" + tableRow(pdf.offsetOf(2), 0, 'n') + "trailer\n<< /Root 1 0 R /Prev " +
            std::to_string(older) + " 0 R >>\n");
    auto opened = OpenedPdf::fromBytes(pdf.finish(newer));
    CPdfXRef& xref = opened->open();
    EXPECT_EQ(xref.getEntries()[1].offset, pdf.offsetOf(1));
    EXPECT_TRUE(nameAt(xref, 1, "Type") == "/Catalog");
    EXPECT_EQ(describe(fetchObject(xref, 2)), "(two)");
}

TEST(XRef, AHybridTableTakesTheCompressedObjectsFromItsStream) {
    PdfBuilder builder = smallBuilder();
    builder.addObject(6, "<< /Six 6 >>");
    builder.addObject(7, "(seven)");
    builder.putInObjectStream(20, {6, 7});
    PdfBuilder::Options options;
    options.hybrid = true;
    auto pdf = OpenedPdf::fromBytes(builder.build(options));
    CPdfXRef& xref = pdf->open();
    const std::vector<XRefEntry>& entries = xref.getEntries();
    ASSERT_GT(entries.size(), 20u);
    EXPECT_EQ(entries[6].type, 2u);
    EXPECT_EQ(entries[6].offset, 20u);
    EXPECT_EQ(entries[7].generation, 1u);
    EXPECT_EQ(nameAt(xref, 6, "Six"), "6");
    EXPECT_EQ(describe(fetchObject(xref, 7)), "(seven)");
    EXPECT_EQ(entries[3].offset, builder.offsetOf(3));
    EXPECT_FALSE(xref.getTrailer().getDictionary()->isType("XRef"));
}

TEST(XRef, AHybridStreamFillsOnlyWhatItsTableLeftUndefinedOrFree) {
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    pdf.object(2, "(two from the table)");
    // Object stream 4 holds objects 2, 3 and 5.
    const std::string two = "(two from the stream) ";
    const std::string three = "(three) ";
    const std::string header = "2 0 3 " + std::to_string(two.size()) + " 5 " + std::to_string(two.size() + three.size()) + " ";
    pdf.stream(4, "/Type /ObjStm /N 3 /First " + std::to_string(header.size()), header + two + three + "(five)");
    // The stream of the newer section's table: in-use 2, and 3, 5 and 6 compressed or in use.
    const uint32_t olderTable = pdf.position();
    pdf.raw("xref\n0 7\n" + tableRow(0, 65535, 'f') + tableRow(pdf.offsetOf(1), 0, 'n') + tableRow(0, 0, 'f') +
            tableRow(0, 0, 'f') + tableRow(pdf.offsetOf(4), 0, 'n') + tableRow(0, 0, 'f') + tableRow(0, 0, 'f') +
            "trailer\n<< /Root 1 0 R >>\n");
    pdf.object(6, "(six)");
    const std::string rows = field(2, 1) + field(4, 2) + field(0, 1) +  // 2: compressed, but the table says in use
                             field(2, 1) + field(4, 2) + field(1, 1) +  // 3: free in the table, filled
                             field(2, 1) + field(4, 2) + field(2, 1) +  // 5: undefined in the table, filled
                             field(1, 1) + field(0, 2) + field(0, 1);   // 6: newer section defines it already
    const uint32_t hybridStream = pdf.position();
    pdf.stream(8, "/Type /XRef /Size 9 /W [1 2 1] /Index [2 2 5 2] /Prev 999999", rows);
    const uint32_t newest = pdf.position();
    pdf.raw("xref\n2 2\n" + tableRow(pdf.offsetOf(2), 0, 'n') + tableRow(0, 0, 'f') + "6 1\n" +
            tableRow(pdf.offsetOf(6), 0, 'n') + "trailer\n<< /Root 1 0 R /Prev " + std::to_string(olderTable) +
            " /XRefStm " + std::to_string(hybridStream) + " >>\n");
    auto opened = OpenedPdf::fromBytes(pdf.finish(newest));
    CPdfXRef& xref = opened->open();
    const std::vector<XRefEntry>& entries = xref.getEntries();
    EXPECT_EQ(describe(fetchObject(xref, 2)), "(two from the table)");
    EXPECT_EQ(entries[3].type, 2u);
    EXPECT_EQ(describe(fetchObject(xref, 3)), "(three)");
    EXPECT_EQ(entries[5].type, 2u);
    EXPECT_EQ(describe(fetchObject(xref, 5)), "(five)");
    EXPECT_EQ(describe(fetchObject(xref, 6)), "(six)");
    // The older table still fills what neither newer part defined; the stream's Prev is not read.
    EXPECT_EQ(entries[4].offset, pdf.offsetOf(4));
}

TEST(XRef, ABrokenHybridStreamLeavesTheTableAlone) {
    PdfBuilder builder = smallBuilder();
    std::string file = builder.build();
    const size_t trailerEnd = file.rfind(">>");
    // Object 3 is a string, not a cross-reference stream.
    file.insert(trailerEnd, "/XRefStm " + std::to_string(builder.offsetOf(3)) + " ");
    auto pdf = OpenedPdf::fromBytes(file);
    CPdfXRef& xref = pdf->open();
    EXPECT_EQ(xref.getEntries()[3].offset, builder.offsetOf(3));
    EXPECT_EQ(describe(fetchObject(xref, 3)), "(three)");
}
