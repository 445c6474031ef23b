#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pdf/stream/InputFile.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/OutputWriter.h"
#include "resize/RawObjectReader.h"
#include "tests/resize/CoreFixtures.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

namespace {

constexpr char kHeader[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";

// Catalog and page tree around whatever objects a test adds, so the file opens like any other.
PdfBuilder baseBuilder() {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addObject(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    builder.setTrailer("/Root 1 0 R");
    return builder;
}

// The bytes the reader should hand out for a stream object: through the byte after "endobj".
std::string streamObject(int number, const std::string& dictionary, const std::string& data) {
    return std::to_string(number) + " 0 obj\n" + dictionary + "\nstream\n" + data + "\nendstream\nendobj\n";
}

TEST(RawFindBytes, GivesTheLastByteOfTheFirstWholeOccurrence) {
    const char text[] = "ab endobj cd endobj";
    const size_t length = std::strlen(text);
    EXPECT_EQ(findBytes(text, 0, length, "endobj", 6), 8u);
    EXPECT_EQ(findBytes(text, 4, length, "endobj", 6), 18u);
    EXPECT_EQ(findBytes(text, 0, 8, "endobj", 6), 0u) << "an occurrence cut by the end does not count";
    EXPECT_EQ(findBytes(text, 0, length, "endobx", 6), 0u);
    EXPECT_EQ(findBytes(text, 0, length, "b", 1), 1u);
    EXPECT_EQ(findBytes(text, 5, 5, "e", 1), 0u);
    EXPECT_EQ(findBytes(text, 7, 5, "e", 1), 7u);
}

TEST(RawFindKeyNumber, ReadsTheNumberAfterTheFirstOccurrence) {
    struct Case {
        const char* text;
        const char* key;
        uint32_t number;
        bool reference;
    };
    const Case cases[] = {
        {"<< /Type /Catalog /Pages 3 0 R >>", "/Pages", 3, true},
        {"<< /Type /Pages /Count 12 /Kids [4 0 R] >>", "/Count", 12, false},
        {"<< /Pages 3 1 R >>", "/Pages", 3, false},
        {"<< /Type /Catalog >>", "/Pages", 0, false},
        {"<< /PagesExtra 7 0 R /Pages 9 0 R >>", "/Pages", 7, true},  // raw bytes, not names
        {"<< /Pages /None >>", "/Pages", 0, false},
        {"<< /Count 007 >>", "/Count", 7, false},
    };
    for (const Case& c : cases) {
        bool reference = !c.reference;
        EXPECT_EQ(findKeyNumber(c.text, std::strlen(c.text), c.key, reference), c.number) << c.text;
        EXPECT_EQ(reference, c.reference) << c.text;
    }
    // " 0 R" must lie inside the given length.
    const char cut[] = "/Pages 3 0 R";
    bool reference = true;
    EXPECT_EQ(findKeyNumber(cut, std::strlen(cut) - 1, "/Pages", reference), 3u);
    EXPECT_FALSE(reference);
}

TEST(RawObjectReader, CopiesInUseObjectsThroughTheByteAfterEndobj) {
    PdfBuilder builder = baseBuilder();
    builder.addRawObject(4, "4 0 obj\n<< /A 1 >>\nendobj\n\n");
    builder.addRawObject(5, "5 0 obj\r\n<< /B 2 >>\r\nendobj\r\n");
    builder.addRawObject(6, "6 0 obj 42 endobj");  // the byte after "endobj" is the next object's
    builder.addObject(7, "<< /C 3 >>");
    RawInput input(builder.build());
    EXPECT_EQ(input.raw(4), "4 0 obj\n<< /A 1 >>\nendobj\n");
    EXPECT_EQ(input.raw(5), "5 0 obj\r\n<< /B 2 >>\r\nendobj\r");
    EXPECT_EQ(input.raw(6), "6 0 obj 42 endobj7");
    EXPECT_EQ(input.raw(3), "<unreadable>") << "free entry";
    EXPECT_EQ(input.raw(500), "<unreadable>") << "beyond the table";
}

TEST(RawObjectReader, RefusesBytesOfAnotherObject) {
    PdfBuilder builder = baseBuilder();
    builder.addRawObject(4, "5 0 obj\n<< /Wrong /Number >>\nendobj\n");
    builder.addRawObject(6, "6 1 obj\n<< /Wrong /Generation >>\nendobj\n");
    builder.addRawObject(7, "<< /No /Header >>\nendobj\n");
    builder.addRawObject(8, "8 2 obj\n<< /Right /Generation >>\nendobj\n", 2);
    RawInput input(builder.build());
    EXPECT_EQ(input.raw(4), "<unreadable>");
    EXPECT_EQ(input.raw(6), "<unreadable>");
    EXPECT_EQ(input.raw(7), "<unreadable>");
    EXPECT_EQ(input.raw(8), "8 2 obj\n<< /Right /Generation >>\nendobj\n");
}

TEST(RawObjectReader, RebuildsObjectsFromObjectStreams) {
    PdfBuilder builder = baseBuilder();
    builder.addObject(11, "<< /Kind /First >>");
    builder.addObject(12, "[1 2 3]");
    builder.putInObjectStream(20, {11, 12});
    PdfBuilder::Options options;
    options.xrefStream = true;
    RawInput input(builder.build(options));
    // The text runs to the next member (or the end of the stream), white space included.
    EXPECT_EQ(input.raw(11), "11 0 obj\r<< /Kind /First >>\n endobj\r");
    EXPECT_EQ(input.raw(12), "12 0 obj\r[1 2 3]\n endobj\r");
}

TEST(RawObjectReader, KeepsStreamDataThatHoldsEndobj) {
    const std::string data = "BT (endobj) Tj ET\n% endobj\nendobj";
    PdfBuilder builder = baseBuilder();
    const std::string direct = streamObject(4, "<< /Length " + std::to_string(data.size()) + " >>", data);
    const std::string indirect = streamObject(5, "<< /Length 6 0 R >>", data);
    builder.addRawObject(4, direct);
    builder.addRawObject(5, indirect);
    builder.addObject(6, std::to_string(data.size()));
    PdfBuilder::Options options;
    options.xrefStream = true;
    builder.addObject(7, std::to_string(data.size()));
    builder.addRawObject(8, streamObject(8, "<< /Length 7 0 R >>", data));
    builder.putInObjectStream(30, {7});
    RawInput input(builder.build(options));
    EXPECT_EQ(input.raw(4), direct);
    EXPECT_EQ(input.raw(5), indirect);
    EXPECT_EQ(input.raw(8), streamObject(8, "<< /Length 7 0 R >>", data)) << "length inside an object stream";

    RawObjectSpan span;
    ASSERT_TRUE(input.reader().locateObject(4, span));
    EXPECT_TRUE(span.isStream);
    EXPECT_FALSE(span.isObjectStream);
    EXPECT_EQ(span.length, direct.size());
}

TEST(RawObjectReader, FallsBackToTheFirstEndobjWhenTheLengthIsUnusable) {
    const std::string data = "(endobj) Tj";
    // Through the byte after the first "endobj", which lies in the data.
    const auto firstEndobj = [](const std::string& object) {
        return object.substr(0, object.find("endobj") + 7);
    };
    const std::string dictionaries[] = {
        "<< >>",                      // no /Length
        "<< /Length /Eleven >>",      // not a number
        "<< /Length 99999999 >>",     // beyond the end of the file
        "<< /Length 3 >>",            // "endstream" does not follow the data it gives
        "<< /Length 4 0 R >>",        // refers to the object itself
        "<< /Length 9 0 R >>",        // refers to a free entry
        "<< /Length 2 0 R >>",        // refers to a dictionary
    };
    for (const std::string& dictionary : dictionaries) {
        PdfBuilder builder = baseBuilder();
        const std::string object = streamObject(4, dictionary, data);
        builder.addRawObject(4, object);
        RawInput input(builder.build());
        EXPECT_EQ(input.raw(4), firstEndobj(object)) << dictionary;
    }
}

TEST(RawObjectReader, ReportsObjectsThatNoEndobjEnds) {
    PdfBuilder builder = baseBuilder();
    builder.addRawObject(4, "4 0 obj\n<< /Never /Ended >>\n");
    RawInput input(builder.build());
    RawObjectSpan span;
    EXPECT_FALSE(input.reader().locateObject(4, span));
    EXPECT_EQ(input.raw(4), "<unreadable>");
}

TEST(RawObjectReader, ReadsAfterLeadingJunk) {
    const std::string junk = "some bytes before the header\r\n";
    PdfBuilder builder = baseBuilder();
    builder.setLeadingJunk(junk);
    builder.addRawObject(4, "4 0 obj\n(four)\nendobj\n");
    const std::string pdf = builder.build();
    RawInput input(pdf, static_cast<uint32_t>(junk.size()));
    EXPECT_EQ(input.raw(4), "4 0 obj\n(four)\nendobj\n");
    EXPECT_EQ(input.raw(1).substr(0, 8), "1 0 obj\n");

    // The header copy starts at "%PDF-" and stops at the first object.
    OutputWriter output(input.dir().file("header.pdf"));
    input.reader().copyHeader(output);
    output.commit();
    EXPECT_EQ(readFile(input.dir().file("header.pdf")), kHeader);
}

TEST(RawObjectReader, CopiesTheBytesBeforeTheFirstObject) {
    PdfBuilder builder = baseBuilder();
    builder.setHeader(std::string(kHeader) + "% a comment the header copy keeps\n");
    const std::string pdf = builder.build();
    RawInput input(pdf);
    OutputWriter output(input.dir().file("header.pdf"));
    input.reader().copyHeader(output);
    output.commit();
    const size_t firstObject = pdf.find("1 0 obj");
    EXPECT_EQ(readFile(input.dir().file("header.pdf")), pdf.substr(0, firstObject));
    EXPECT_EQ(firstObject, builder.offsetOf(1));
}

TEST(RawObjectReader, CopiesLargeObjectsWhole) {
    // Larger than every block the reader uses, with "endobj" early in the data.
    std::string data = "endobj ";
    for (uint64_t i = 0; data.size() < 3 * 1024 * 1024; ++i) data += std::to_string(i * 7919) + (i % 13 ? " " : "\n");
    PdfBuilder builder = baseBuilder();
    builder.addStream(4, "/Subtype /Big", data);
    builder.addObject(5, "(after)");
    const std::string pdf = builder.build();
    RawInput input(pdf);

    RawObjectSpan span;
    ASSERT_TRUE(input.reader().locateObject(4, span));
    const std::string expected = pdf.substr(builder.offsetOf(4), builder.offsetOf(5) - builder.offsetOf(4));
    ASSERT_EQ(span.length, expected.size());
    OutputWriter output(input.dir().file("copy.pdf"));
    input.reader().copySpan(span, output);
    output.commit();
    EXPECT_TRUE(readFile(input.dir().file("copy.pdf")) == expected);
}

TEST(RawFindBytesInFile, FindsOccurrencesAcrossBlockBoundaries) {
    TempDir dir;
    std::string bytes(10000, 'x');
    for (size_t at : {4093u, 8190u, 9990u}) bytes.replace(at, 6, "endobj");
    writeFile(dir.file("bytes"), bytes);
    std::unique_ptr<CInputFile> file = CInputFile::open(dir.file("bytes"));
    CPdfXRef unopened;
    RawObjectReader reader(*file, unopened, 0);
    EXPECT_EQ(reader.findBytesInFile(0, "endobj", 6), 4098u);
    EXPECT_EQ(reader.findBytesInFile(4094, "endobj", 6), 8195u);
    EXPECT_EQ(reader.findBytesInFile(8191, "endobj", 6), 9995u);
    EXPECT_EQ(reader.findBytesInFile(9991, "endobj", 6), 0u);
    EXPECT_EQ(reader.findBytesInFile(20000, "endobj", 6), 0u);
}

}  // namespace
