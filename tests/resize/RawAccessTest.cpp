#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/ReadOnlyFile.h"
#include "resize/ObjectHeadScanner.h"
#include "tests/resize/ResizeFixtures.h"

namespace {

// The file is searched in growing blocks from the start: each start puts their boundaries elsewhere.
TEST(RawSearch, FindsBytesAcrossBlocks) {
    TempDir dir;
    writeFile(dir.file("bytes"), std::string(1000, 'x') + "endobj" + std::string(100, 'x'));
    std::unique_ptr<CInputFile> file = CInputFile::open(dir.file("bytes"));
    CPdfXRef unopened;
    RawObjectReader reader(*file, unopened, 0);
    for (uint32_t from = 0; from <= 1000; ++from) EXPECT_EQ(reader.findBytesInFile(from, "endobj", 6), 1005u) << from;
    for (uint32_t from : {1001u, 5000u}) EXPECT_EQ(reader.findBytesInFile(from, "endobj", 6), 0u) << from;
}

TEST(RawObjectReader, ReadsAnObjectsOwnBytesThroughTheByteAfterEndobj) {
    PdfBuilder builder = simpleDocumentBuilder(0);
    const char* objects[] = {"4 0 obj\n<< /A 1 >>\nendobj\n\n", "5 0 obj\r\n<< /B 2 >>\r\nendobj\r\n",
                             "6 0 obj 42 endobj", "7 0 obj 7 endobj\n", "9 0 obj\n<< /Wrong /Number >>\nendobj\n",
                             "9 1 obj\n<< /Wrong /Generation >>\nendobj\n", "<< /No /Header >>\nendobj\n",
                             "11 2 obj\n<< /Right /Generation >>\nendobj\n", "12 0 obj\n<< /Never /Ended >>\n"};
    for (int i = 0; i < 9; ++i) builder.addRawObject(i + 4, objects[i], i == 7 ? 2 : 0);
    InputJob input(builder.build());
    EXPECT_EQ(input.raw(4), "4 0 obj\n<< /A 1 >>\nendobj\n");
    EXPECT_EQ(input.raw(5), "5 0 obj\r\n<< /B 2 >>\r\nendobj\r");
    EXPECT_EQ(input.raw(6), "6 0 obj 42 endobj7") << "the byte after endobj, whatever it is";
    EXPECT_EQ(input.raw(11), "11 2 obj\n<< /Right /Generation >>\nendobj\n");
    for (uint32_t number : {8u, 9u, 10u, 12u, 500u}) EXPECT_EQ(input.raw(number), "<unreadable>") << number;
}

// A stream whose data holds "endobj" ends after its data; an unusable /Length falls back to the first "endobj".
TEST(RawObjectReader, EndsStreamsAfterTheirData) {
    const std::string data = "BT (endobj) Tj ET\n% endobj\nendobj";
    const std::string length = std::to_string(data.size());
    const std::pair<std::string, bool> cases[] = {
        {"<< /Length " + length + " >>\nstream\n", true}, {"<</Length " + length + ">>stream\r\n", true},
        {"<< /Length 6 0 R >>\nstream\n", true}, {"<< /Length 7 0 R >>\nstream\n", true},  // 7: in an object stream
        {"<< /Length1 300 /DecodeParms << /Length 9 >> % /Length 77\n /Length " + length + " >>\nstream\n", true},
        {"<< /Length " + length + " /Length 3 >>\nstream\n", true},  // the first of two equal keys
        {"<< /Len#67th " + length + " >>\nstream\n", true}, {"<< /Length 6 0 %c\nR >>\nstream\n", true},
        {"<< /T (a >> stream \\) (b) ) /H <3E3E> /Length " + length + " >>\nstream\n", true},
        {"<< >>\nstream\n", false},           {"<< /Length /Eleven >>\nstream\n", false},
        {"<< /Length 999999 >>\nstream\n", false}, {"<< /Length 3 >>\nstream\n", false},
        {"<< /Length 4 0 R >>\nstream\n", false},  {"<< /Length 2 0 R >>\nstream\n", false},
    };
    for (const auto& [head, whole] : cases) {
        const std::string object = "4 0 obj\n" + head + data + "\nendstream\nendobj\n";
        PdfBuilder builder = simpleDocumentBuilder(0);
        builder.addRawObject(4, object);
        builder.addObject(6, length);
        builder.addObject(7, length);
        builder.putInObjectStream(30, {7});
        InputJob input(builder.build({/* xrefStream */ true}));
        EXPECT_EQ(input.raw(4), whole ? object : object.substr(0, object.find("endobj") + 7)) << head;
    }
}

// Heads cut where a block of the file ends must ask for more bytes, but only when there are more.
TEST(RawObjectHead, AsksForMoreBytesOnlyWhenTheyExist) {
    auto scan = [](const std::string& bytes, bool all) { return scanObjectHead(bytes.data(), bytes.size(), all); };
    const std::string cuts[] = {"5 0 ob", "5 0 obj << /Length 3", "5 0 obj << /Length 12 0", "5 0 obj << /T (open",
                                "5 0 obj << /Length 3 >> str", "5 0 obj << /Length 3 >> stream\r"};
    for (const std::string& cut : cuts) {
        EXPECT_EQ(scan(cut, false).status, ObjectHead::Status::needMore) << cut;
        EXPECT_NE(scan(cut, true).status, ObjectHead::Status::needMore) << cut;
    }
    const ObjectHead endsInCr = scan(cuts[5], true);  // a CR at the end of the file ends the line
    EXPECT_TRUE(endsInCr.status == ObjectHead::Status::stream && endsInCr.dataOffset == cuts[5].size());
}

// Copied ranges (read in blocks, kernel-side when long and in place, joined to the one before) and own bytes
// (gathered, or whole when large) go in batches written while the next fills: the order must hold.
TEST(OutputWriter, WritesCopiedRangesAndOwnBytesInOrder) {
    TempDir dir;
    std::string input(3 << 20, '\0');
    uint32_t state = 7;
    for (char& byte : input) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    writeFile(dir.file("in"), input);
    std::unique_ptr<ReadOnlyFile> source = ReadOnlyFile::open(dir.file("in"));
    ASSERT_TRUE(source && source->size() == input.size());
    std::string expected;
    OutputWriter output(dir.file("out"));
    const auto copy = [&](uint64_t at, uint64_t length) {
        output.copyRange(*source, at, length);
        expected += input.substr(at, length);
    };
    const auto write = [&](const std::string& bytes) { output.write(bytes); expected += bytes; };
    const uint64_t page = 4096;
    write("%head");
    copy(100, 300000);           // long, out of place: read
    copy(300100, 17);            // joins the range before
    write(std::string(1 << 20, 'w'));  // larger than the block: written whole
    write("gathered");
    copy(expected.size() % page + 2 * page, 400000);  // long and in place: kernel-side where it can
    write("between");
    for (int round = 0; round < 4; ++round) copy(0, input.size());  // past a batch
    copy(input.size() - 5, 5);
    output.copyFile(dir.file("in"), input.size());
    expected += input;
    write("%tail");
    EXPECT_EQ(output.position(), expected.size());
    output.finishCopies();
    source.reset();
    output.commit();
    EXPECT_TRUE(readFile(dir.file("out")) == expected);
}

// A range the input no longer holds fails the job, at the latest when it is committed.
TEST(OutputWriter, FailsWhenACopiedRangeCannotBeRead) {
    TempDir dir;
    writeFile(dir.file("in"), std::string(1000, 'x'));
    std::unique_ptr<ReadOnlyFile> source = ReadOnlyFile::open(dir.file("in"));
    OutputWriter output(dir.file("out"));
    output.copyRange(*source, 990, 20);
    EXPECT_EQ(errorOf([&] { output.finishCopies(); output.commit(); }), "\nInput file read error\n");
    EXPECT_FALSE(std::ifstream(dir.file("out")).good());
}

}  // namespace
