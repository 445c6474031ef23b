// Damaged and hostile files: every one ends with a message or opens, never with a crash or a hang.
#include <gtest/gtest.h>

#include "pdf/parser/PdfParser.h"
#include "tests/support/PdfBuilder.h"
#include "tests/xref/XRefFixtures.h"

namespace {

const std::string kDamaged = "PDF file was damaged", kRepaired = "repaired";

// "ok" when read as they are, "repaired" when rebuilt from the objects (catalog 1 found), or the message.
std::string openResult(const std::string& bytes) {
    OpenedPdf pdf(bytes);
    const std::string message = messageOf([&] { pdf.open(); });
    if (message != "ok" || !pdf.xref().wasRepaired()) return message;
    return pdf.xref().getRootRef().number == 1 && fetchObject(pdf.xref(), 1).is(kindDictionary) ? kRepaired
                                                                                                 : "no catalog";
}

// A catalog (at offset 9) and, at startxref, the given classic section or cross-reference stream (object 2).
std::string withSection(const std::string& section) {
    HandPdf pdf;
    return pdf.section(section), pdf.finish();
}
std::string withXRefStream(const std::string& dictEntries, const std::string& data = row(1, 9, 0)) {
    return withSection("2 0 obj\n" + streamText("/Type /XRef /Root 1 0 R " + dictEntries, data) + "\nendobj\n");
}

const std::string kHead = "xref\n0 2\n" + tableRow(0, 65535, 'f') + tableRow(9, 0, 'n');

}  // namespace

// Sections that cannot be used, whatever is wrong with them, give way to a table rebuilt from the objects.
TEST(MalformedXRef, DamagedSectionsAreRebuiltFromTheObjects) {
    const std::string trailer = kHead + "trailer\n";
    // Without any object there is nothing to rebuild from.
    const std::pair<std::string, std::string> cases[] = {
        {"", kDamaged}, {"%PDF-1.4\nstartxref\n99999999999\n%%EOF\n", kDamaged},
        {"%PDF-1.5\n2 x obj\n<< >>\nstream\n\nendstream\nstartxref\n9\n%%EOF\n", kDamaged},
        {withSection(trailer + "<< /Root 1 0 R >>\n"), "ok"}, {withXRefStream("/Size 2 /W [1 2 1] /Index [1 1]"), "ok"},
        {withSection(trailer + "<< /Root 1 0 R /XRefStm 9 >>\n"), "ok"},  // no cross-reference stream there: ignored
        {withXRefStream("/Size 2 /W [1 2 1 9] /Index [1 1 7]"), "ok"},
        {withXRefStream("/Size 2 /W [0 0 0] /Index [1 1 2 100000]", ""), kRepaired},  // no bytes still cost one each
        {withXRefStream("/Size 2 /W [1 2 1] /Index [1 1]", row(3, 9, 0)), kRepaired},
    };
    for (const auto& [input, result] : cases) EXPECT_EQ(openResult(input), result) << input.substr(0, 120);
    for (const std::string& section : {trailer + "[/Root 1 0 R]\n", kHead + "/trailer << /Root 1 0 R >>\n",
             "xref\n0 2\n" + tableRow(0, 65535, 'f') + "0000000009 00000 x \ntrailer<<>>", std::string("xref\n0 x\n"),
             trailer + "<< /Root << /Type /Catalog >> >>\n", trailer + "<< /Info 1 0 R >>\n", std::string("junk\n"),
             trailer + "<< /Root 1 0 R /Prev 999999 >>\n", std::string("xref\n0 2000000000\n"),  // absurd sizes
             "xref\n0 100000\n" + tableRow(0, 65535, 'f'), kHead + "2147483000 1\n" + tableRow(0, 0, 'f'),
             std::string("2 0 obj\n<< /Type /XRef /Size 2 /W [1 2 1] >>\nendobj\n"),
             // A sound section that points at the wrong bytes.
             "xref\n0 2\n" + tableRow(0, 65535, 'f') + tableRow(5, 0, 'n') + "trailer\n<< /Root 1 0 R >>\n"})
        EXPECT_EQ(openResult(withSection(section)), kRepaired) << section;
    for (const char* entries : {"/Size 2147483647 /W [1 2 1] /Index [1 1]", "/Size 2 /W [1 2 1] /Index [1 1 5 8388608]",
             "/Size 2 /W [1 2 1] /Index [-1 2]", "/Size 2 /W [1 -2 1] /Index [1 1]", "/W [1 2 1] /Index [1 1]",
             "/Size 2 /W 7 0 R /Index [1 1]", "/Size 2 /W [1 2] /Index [1 1]", "/Size 2 /W [1 2 1] /Index [1 /One]",
             "/Size 2 /W [1 2 1] /Index [1 1 2 1]"})
        EXPECT_EQ(openResult(withXRefStream(entries)), kRepaired) << entries;
}

TEST(MalformedXRef, EveryCutThroughATableStillOpens) {
    const std::string section = kHead + "trailer\n<< /Size 2 /Root 1 0 R >>\n";
    // Once the Root reference is whole, the end of the input closes the trailer and the sections serve.
    for (size_t cut = 0; cut < section.size(); ++cut)
        EXPECT_EQ(openResult(withSection(section.substr(0, cut))), cut >= section.find("R >>") + 2 ? "ok" : kRepaired) << cut;
}

// Prev chains that come back end there; Length chains end the fetch with a message (array nesting is the parser's).
TEST(MalformedXRef, PrevAndLengthChainsEnd) {
    EXPECT_EQ(openResult(withSection(kHead + "trailer\n<< /Root 1 0 R /Prev 45 >>\n")), "ok");  // Prev is itself
    HandPdf pdf;  // two sections that name each other, the second in the form of a reference
    pdf.object(2, "(two)");
    const uint32_t first = pdf.position();
    const std::string firstSection = "xref\n1 1\n" + tableRow(pdf.offsetOf(1), 0, 'n') + "trailer << /Prev ";
    const uint32_t second = first + static_cast<uint32_t>(firstSection.size() + 14);  // 10 digits and " >>\n"
    pdf.bytes += (firstSection + tableRow(second, 0, 'n').substr(0, 10) + " >>\n");
    pdf.section("xref\n2 1\n" + tableRow(pdf.offsetOf(2), 0, 'n') + "trailer\n<< /Root 1 0 R /Prev " +
            std::to_string(first) + " 0 R >>\n");
    OpenedPdf opened(pdf.finish());
    CPdfXRef& prev = opened.open();
    EXPECT_TRUE(prev.getEntries()[1].offset == pdf.offsetOf(1) && describe(fetchObject(prev, 2)) == "(two)");

    PdfBuilder builder;
    const int depth = CPdfParser::kMaxNesting - 2;  // each object nests a stream deep in arrays
    for (int number = 2; number < 60; ++number)
        builder.addObject(number, std::string(depth, '[') + "<< /Length " + std::to_string(number + 1) +
                                      " 0 R >>\nstream\nx\nendstream" + std::string(depth, ']'));
    builder.addObject(60, "1"), builder.setTrailer("/Root 60 0 R");
    OpenedPdf lengths(builder.build());
    CPdfXRef& xref = lengths.open();
    EXPECT_EQ(messageOf([&] { fetchObject(xref, 2); }), "Object references nested too deeply");
    // The end of the chain is in reach from close enough.
    EXPECT_TRUE(fetchObject(xref, 60 - static_cast<int>(CPdfXRef::kMaxFetchDepth) + 1).is(kindArray));
}
