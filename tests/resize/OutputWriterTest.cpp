#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "pdf/objects/PdfException.h"
#include "resize/OutputWriter.h"
#include "tests/support/TestTools.h"

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string freeRow() { return "0000000000 00000 f \r"; }

TEST(OutputWriter, WritesTheCrossReferenceSectionAndTrailer) {
    TempDir dir;
    const std::string path = dir.file("out.pdf");
    OutputWriter output(path);
    output.write("%PDF-1.4\n");
    output.resetTable(10);
    ASSERT_TRUE(output.setOutputEntry(1, 0, 9, true));
    ASSERT_TRUE(output.setOutputEntry(4, 3, 1234567, true));
    EXPECT_FALSE(output.setOutputEntry(10, 0, 5, true)) << "only rows of input objects can be set";
    EXPECT_EQ(output.appendOutputEntry(OutputEntry{42, 0, true}), 10u);
    EXPECT_EQ(output.appendOutputEntry(OutputEntry{43, 0, true}), 11u);
    const uint32_t start = output.position();
    EXPECT_EQ(start, 9u);
    output.writeXRefTable();
    output.writeTrailer(start, ObjectRef{9, 0}, ObjectRef{1, 0});
    output.commit();

    std::string expected = "%PDF-1.4\nxref\n0 12\r0000000000 65535 f \r0000000009 00000 n \r";
    expected += freeRow() + freeRow() + "0001234567 00003 n \r";
    for (int row = 5; row < 10; ++row) expected += freeRow();
    expected += "0000000042 00000 n \r0000000043 00000 n \r";
    expected += "trailer\n<<\n/Size 12\n/Root 1 0 R\n/Info 9 0 R\n>>\nstartxref\n9\n%%EOF";
    EXPECT_EQ(readFile(path), expected);
}

TEST(OutputWriter, TrailerCarriesGenerationsAndLeavesOutAMissingInfo) {
    TempDir dir;
    OutputWriter output(dir.file("out.pdf"));
    output.resetTable(3);
    output.writeTrailer(777, ObjectRef{0, 0}, ObjectRef{2, 5});
    output.commit();
    EXPECT_EQ(readFile(dir.file("out.pdf")), "trailer\n<<\n/Size 3\n/Root 2 5 R\n>>\nstartxref\n777\n%%EOF");
}

TEST(OutputWriter, ShowsTheOutputOnlyAfterCommit) {
    TempDir dir;
    const std::string path = dir.file("out.pdf");
    std::string big(3 * 1024 * 1024 + 17, 'b');  // past the write buffer
    for (size_t i = 0; i < big.size(); i += 4099) big[i] = static_cast<char>('0' + i % 10);
    {
        OutputWriter output(path);
        output.write("head ");
        output.write(big);
        output.write(" tail");
        EXPECT_EQ(output.position(), big.size() + 10);
        EXPECT_FALSE(exists(path));
        EXPECT_TRUE(exists(output.temporaryFileName()));
        output.commit();
        EXPECT_FALSE(exists(output.temporaryFileName()));
    }
    EXPECT_TRUE(readFile(path) == "head " + big + " tail");
}

TEST(OutputWriter, AbandonedOutputLeavesNoTraceAndKeepsAnExistingFile) {
    TempDir dir;
    const std::string fresh = dir.file("fresh.pdf");
    std::string temporary;
    {
        OutputWriter output(fresh);
        output.write("half a file");
        temporary = output.temporaryFileName();
    }
    EXPECT_FALSE(exists(fresh));
    EXPECT_FALSE(exists(temporary));

    const std::string existing = dir.file("existing.pdf");
    writeFile(existing, "the earlier result");
    {
        OutputWriter output(existing);
        output.write("new bytes");
    }
    EXPECT_EQ(readFile(existing), "the earlier result");
}

TEST(OutputWriter, StepsOverLeftoverTemporaryFiles) {
    TempDir dir;
    const std::string path = dir.file("out.pdf");
    OutputWriter first(path);
    OutputWriter second(path);
    EXPECT_NE(first.temporaryFileName(), second.temporaryFileName());
    second.write("second");
    second.commit();
    EXPECT_EQ(readFile(path), "second");
    EXPECT_TRUE(exists(first.temporaryFileName())) << "the other writer's file is left alone";
}

TEST(OutputWriter, ReportsOutputsThatCannotBeMade) {
    TempDir dir;
    try {
        OutputWriter output(dir.file("no-such-folder/out.pdf"));
        FAIL() << "created an output in a missing folder";
    } catch (const CPdfException& error) {
        EXPECT_STREQ(error.getMessage(), "\nOutput file create error\n");
    }

    OutputWriter output(dir.file("out.pdf"));
    output.write("12345");
    // The length alone is judged: no byte is read when the output would pass 2 GB.
    EXPECT_THROW(output.write("x", OutputWriter::kMaxSize), CPdfException);
    EXPECT_EQ(output.position(), 5u);
}

}  // namespace
