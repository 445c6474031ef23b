// Damaged and hostile files: every one ends with a message or opens, never with a crash or a hang.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "pdf/objects/PdfException.h"
#include "pdf/parser/PdfParser.h"
#include "tests/support/PdfBuilder.h"
#include "tests/xref/HandPdf.h"
#include "tests/xref/OpenedPdf.h"

namespace {

const char* const kOpened = "opened";

std::string openResult(const std::string& bytes) {
    auto pdf = OpenedPdf::fromBytes(bytes);
    try {
        pdf->open();
    } catch (const CPdfException& error) {
        return error.getMessage();
    }
    return kOpened;
}

// A catalog and a hand-made cross-reference stream (object 2) with the given dictionary entries
// and data; the stream gets its /Length.
std::string withXRefStream(const std::string& dictEntries, const std::string& data) {
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    const uint32_t xref = pdf.position();
    pdf.stream(2, "/Type /XRef /Root 1 0 R " + dictEntries, data);
    return pdf.finish(xref);
}

// A catalog and a classic table section written as given.
std::string withTable(const std::string& section) {
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    const uint32_t xref = pdf.position();
    pdf.raw(section);
    return pdf.finish(xref);
}

std::string catalogRow() { return tableRow(9, 0, 'n'); }  // "1 0 obj" follows the 9-byte header

}  // namespace

TEST(MalformedXRef, StartXRefProblemsAreDamage) {
    EXPECT_EQ(openResult(""), "PDF file was damaged");
    EXPECT_EQ(openResult("%PDF-1.4\nno keyword here\n"), "PDF file was damaged");
    EXPECT_EQ(openResult("%PDF-1.4\nstartxref\n0\n%%EOF\n"), "PDF file was damaged");
    EXPECT_EQ(openResult("%PDF-1.4\nstartxref\nabc\n%%EOF\n"), "PDF file was damaged");
    EXPECT_EQ(openResult("%PDF-1.4\nstartxref\n-20\n%%EOF\n"), "Couldn't parse an xref");
    EXPECT_EQ(openResult("%PDF-1.4\nstartxref\n99999999999\n%%EOF\n"), "Couldn't parse an xref");
    EXPECT_EQ(openResult("%PDF-1.4\nstartxref\n3\n%%EOF\n"), "Couldn't parse an xref");
}

TEST(MalformedXRef, ClassicTableMessages) {
    const std::string head = "xref\n0 2\n" + tableRow(0, 65535, 'f') + catalogRow();
    EXPECT_EQ(openResult(withTable(head + "trailer\n<< /Root 1 0 R >>\n")), kOpened);
    EXPECT_EQ(openResult(withTable(head + "trailer\n[/Root 1 0 R]\n")), "Trailer dictionary is wrong type");
    EXPECT_EQ(openResult(withTable(head + "/trailer << /Root 1 0 R >>\n")), "Couldn't parse an xref table");
    EXPECT_EQ(openResult(withTable("xref\n0 2\n" + tableRow(0, 65535, 'f') + "0000000009 00000 x \ntrailer<<>>")),
              "Couldn't parse an xref table");
    EXPECT_EQ(openResult(withTable("xref\n0 x\n")), "Couldn't parse an xref table");
    EXPECT_EQ(openResult(withTable("xref\n0 1\n0000000000 abc f \ntrailer<<>>")), "Couldn't parse an xref table");
    EXPECT_EQ(openResult(withTable(head + "trailer\n<< /Root << /Type /Catalog >> >>\n")), "PDF file was damaged");
    EXPECT_EQ(openResult(withTable(head + "trailer\n<< /Info 1 0 R >>\n")), "PDF file was damaged");
    EXPECT_EQ(openResult(withTable("junk\n")), "Couldn't parse an xref");
    EXPECT_EQ(openResult(withTable(head + "trailer\n<< /Root 1 0 R /Prev 999999 >>\n")), "Couldn't parse an xref");
}

TEST(MalformedXRef, EveryCutThroughATableEndsWithAMessage) {
    const std::string section = "xref\n0 2\n" + tableRow(0, 65535, 'f') + catalogRow() +
                                "trailer\n<< /Size 2 /Root 1 0 R >>\n";
    const std::set<std::string> messages = {"Couldn't parse an xref table", "Couldn't parse an xref",
                                            "Trailer dictionary is wrong type", "PDF file was damaged"};
    // Once the Root reference is whole, the end of the input closes the trailer and the file opens.
    const size_t rootComplete = section.find("R >>") + 2;  // the keyword R and a separator
    for (size_t cut = 0; cut < section.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::string result = openResult(withTable(section.substr(0, cut)));
        if (cut >= rootComplete) {
            EXPECT_EQ(result, kOpened);
        } else {
            EXPECT_TRUE(messages.count(result)) << result;
        }
    }
}

TEST(MalformedXRef, TruncatedFilesLoseTheirStartXRef) {
    const std::string file = buildSimpleDocument(2);
    for (const size_t keep : {file.size() / 4, file.size() / 2, file.size() - 30, file.size() - 10}) {
        SCOPED_TRACE(keep);
        const std::string result = openResult(file.substr(0, keep));
        EXPECT_NE(result, kOpened);
        EXPECT_FALSE(result.empty());
    }
}

TEST(MalformedXRef, AbsurdSizesAndCountsAreDamage) {
    const std::string catalog = field(1, 1) + field(9, 2) + field(0, 1);
    EXPECT_EQ(openResult(withXRefStream("/Size 2 /W [1 2 1] /Index [1 1]", catalog)), kOpened);
    EXPECT_EQ(openResult(withXRefStream("/Size 2147483647 /W [1 2 1] /Index [1 1]", catalog)), "PDF file was damaged");
    EXPECT_EQ(openResult(withXRefStream("/Size 9000000 /W [1 2 1] /Index [1 1]", catalog)), "PDF file was damaged");
    EXPECT_EQ(openResult(withXRefStream("/Size 2 /W [1 2 1] /Index [1 1 5 8388608]", catalog)), "PDF file was damaged");
    EXPECT_EQ(openResult(withXRefStream("/Size 2 /W [1 2 1] /Index [-1 2]", catalog)), "PDF file was damaged");
    EXPECT_EQ(openResult(withXRefStream("/Size 2 /W [1 2 1] /Index [1 -1]", catalog)), "PDF file was damaged");
    // Entries of no bytes still cost one byte of the file each.
    EXPECT_EQ(openResult(withXRefStream("/Size 2 /W [0 0 0] /Index [1 1 2 100000]", "")), "PDF file was damaged");
    EXPECT_EQ(openResult(withXRefStream("/Size 2 /W [1 2 1] /Index [1 1 2 30000]", catalog)), "PDF file was damaged");

    const std::string head = "xref\n0 2\n" + tableRow(0, 65535, 'f') + catalogRow();
    EXPECT_EQ(openResult(withTable("xref\n0 2000000000\n")), "PDF file was damaged");
    EXPECT_EQ(openResult(withTable("xref\n0 100000\n" + tableRow(0, 65535, 'f'))), "PDF file was damaged");
    EXPECT_EQ(openResult(withTable("xref\n-5 2\n" + tableRow(0, 65535, 'f'))), "PDF file was damaged");
    EXPECT_EQ(openResult(withTable(head + "2147483000 1\n" + tableRow(0, 0, 'f'))), "PDF file was damaged");
}

TEST(MalformedXRef, CrossReferenceStreamMessages) {
    const std::string catalog = field(1, 1) + field(9, 2) + field(0, 1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/W [1 2 1] /Index [1 1]", "Size of xref Stream is wrong type"},
        {"/Size 2.0 /W [1 2 1] /Index [1 1]", "Size of xref Stream is wrong type"},
        {"/Size 2 /Index [1 1]", "W item of xref Stream is wrong type"},
        {"/Size 2 /W 4 /Index [1 1]", "W item of xref Stream is wrong type"},
        {"/Size 2 /W 7 0 R /Index [1 1]", "W item of xref Stream is wrong type"},
        {"/Size 2 /W [1 2] /Index [1 1]", "W item of xref Stream is wrong length"},
        {"/Size 2 /W [1 (2) 1] /Index [1 1]", "W item of xref Stream is wrong type"},
        {"/Size 2 /W [1 7 0 R 1] /Index [1 1]", "W item of xref Stream is wrong type"},
        {"/Size 2 /W [1 -2 1] /Index [1 1]", "PDF file was damaged"},
        {"/Size 2 /W [1 2 1] /Index [1 /One]", "Index item of xref Stream is wrong type"},
        {"/Size 2 /W [1 2 1] /Index [1 1 2 1]", "Unexpected EOF while reading xref stream section"},
        {"/Size 2 /W [1 2 1 9] /Index [1 1 7]", kOpened},
    };
    for (const auto& [dictionary, message] : cases) {
        SCOPED_TRACE(dictionary);
        EXPECT_EQ(openResult(withXRefStream(dictionary, catalog)), message);
    }
    EXPECT_EQ(openResult(withXRefStream("/Size 2 /W [1 2 1] /Index [1 1]", field(3, 1) + field(9, 2) + field(0, 1))),
              "Wrong type of xref entry while reading xref stream section");

    HandPdf notAStream;
    notAStream.object(1, "<< /Type /Catalog >>");
    const uint32_t position = notAStream.position();
    notAStream.object(2, "<< /Type /XRef /Size 2 /W [1 2 1] /Root 1 0 R >>");
    EXPECT_EQ(openResult(notAStream.finish(position)), "Couldn't parse an xref stream");
    EXPECT_EQ(openResult("%PDF-1.5\n2 x obj\n<< >>\nstream\n\nendstream\nstartxref\n9\n%%EOF\n"),
              "Couldn't parse an xref stream");
    EXPECT_EQ(openResult("%PDF-1.5\n2 0 objx\n<< >>\nstream\n\nendstream\nstartxref\n9\n%%EOF\n"),
              "Couldn't parse an xref stream");
}

TEST(MalformedXRef, PrevChainsThatComeBackEndThere) {
    // A section whose Prev is itself.
    HandPdf loop;
    loop.object(1, "<< /Type /Catalog >>");
    const uint32_t itself = loop.position();
    loop.raw("xref\n0 2\n" + tableRow(0, 65535, 'f') + catalogRow() + "trailer\n<< /Root 1 0 R /Prev " +
             std::to_string(itself) + " >>\n");
    EXPECT_EQ(openResult(loop.finish(itself)), kOpened);

    // Two sections that name each other.
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    pdf.object(2, "(two)");
    const uint32_t first = pdf.position();
    const std::string firstSection = "xref\n1 1\n" + tableRow(pdf.offsetOf(1), 0, 'n') + "trailer\n<< /Root 1 0 R /Prev ";
    const uint32_t second = first + static_cast<uint32_t>(firstSection.size() + 10 + 4);
    char prev[11];
    std::snprintf(prev, sizeof prev, "%010u", second);
    pdf.raw(firstSection + prev + " >>\n");
    ASSERT_EQ(pdf.position(), second);
    pdf.raw("xref\n2 1\n" + tableRow(pdf.offsetOf(2), 0, 'n') + "trailer\n<< /Root 1 0 R /Prev " +
            std::to_string(first) + " >>\n");
    auto opened = OpenedPdf::fromBytes(pdf.finish(second));
    CPdfXRef& xref = opened->open();
    EXPECT_EQ(xref.getEntries()[1].offset, pdf.offsetOf(1));
    EXPECT_EQ(describe(fetchObject(xref, 2)), "(two)");
}

TEST(MalformedXRef, DeepNestingInAnObjectEndsTheFetchWithAMessage) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog >>");
    builder.addObject(2, std::string(10000, '[') + std::string(10000, ']'));
    builder.setTrailer("/Root 1 0 R");
    auto pdf = OpenedPdf::fromBytes(builder.build());
    CPdfXRef& xref = pdf->open();
    try {
        fetchObject(xref, 2);
        ADD_FAILURE() << "no exception";
    } catch (const CPdfException& error) {
        EXPECT_STREQ(error.getMessage(), "Arrays and dictionaries nested too deeply");
    }
}

TEST(MalformedXRef, FetchFindsNothingWhereTheEntryDoesNotLead) {
    HandPdf pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    pdf.object(8, "(eight)");
    pdf.object(9, "(nine)", 3);
    const uint32_t xref = pdf.position();
    pdf.raw("xref\n0 10\n" + tableRow(0, 65535, 'f') + tableRow(pdf.offsetOf(1), 0, 'n') +
            tableRow(999999, 0, 'n') +                  // 2: beyond the end of the file
            tableRow(pdf.offsetOf(8), 0, 'f') +         // 3: free
            tableRow(pdf.offsetOf(8) + 1, 0, 'n') +     // 4: in the middle of an object
            tableRow(0, 0, 'n') +                       // 5: the header
            tableRow(pdf.offsetOf(1), 1, 'n') +         // 6: generation 1, at object 1
            tableRow(pdf.offsetOf(8), 0, 'n') +         // 7: at object 8
            tableRow(pdf.offsetOf(8), 0, 'n') + tableRow(pdf.offsetOf(9), 3, 'n') + "trailer\n<< /Root 1 0 R >>\n");
    auto opened = OpenedPdf::fromBytes(pdf.finish(xref));
    CPdfXRef& table = opened->open();
    for (const int number : {2, 3, 4, 5, 6, 7}) EXPECT_TRUE(fetchObject(table, number).is(kindNull)) << number;
    EXPECT_TRUE(fetchObject(table, 8, 1).is(kindNull));  // generation asked differs from the entry's
    EXPECT_TRUE(fetchObject(table, 9).is(kindNull));
    EXPECT_EQ(describe(fetchObject(table, 9, 3)), "(nine)");
    EXPECT_EQ(describe(fetchObject(table, 8)), "(eight)");
    for (const int number : {-1, 10, 1 << 30}) {
        try {
            fetchObject(table, number);
            ADD_FAILURE() << number;
        } catch (const CPdfException& error) {
            EXPECT_STREQ(error.getMessage(), "Corrupted PDF file");
        }
    }
}

TEST(MalformedXRef, LengthsThatLeadFromStreamToStreamEndWithAMessage) {
    // Each object nests a stream deep in arrays, and its Length names the next such object.
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog >>");
    const int depth = CPdfParser::kMaxNesting - 2;
    for (int number = 2; number < 60; ++number) {
        builder.addObject(number, std::string(depth, '[') + "<< /Length " + std::to_string(number + 1) +
                                      " 0 R >>\nstream\nx\nendstream" + std::string(depth, ']'));
    }
    builder.addObject(60, "1");
    builder.setTrailer("/Root 1 0 R");
    auto pdf = OpenedPdf::fromBytes(builder.build());
    CPdfXRef& xref = pdf->open();
    try {
        fetchObject(xref, 2);
        ADD_FAILURE() << "no exception";
    } catch (const CPdfException& error) {
        EXPECT_STREQ(error.getMessage(), "Object references nested too deeply");
    }
    // The end of the chain is in reach from close enough.
    const CPdfElement last = fetchObject(xref, 60 - static_cast<int>(CPdfXRef::kMaxFetchDepth) + 1);
    ASSERT_TRUE(last.is(kindArray));
}
