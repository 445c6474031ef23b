// Batch lists as Unix users make them: folders and absolute paths in the lines, and -keepgoing.

#include "tests/integration/Jobs.h"
#include "tests/support/SampleDocument.h"

namespace {

namespace fs = std::filesystem;

class BatchTree : public testing::Test {
protected:
    CommandResult quillmor(const std::string& arguments) const { return inFolder(dir_.path(), arguments); }
    std::vector<std::string> filesBelow(const std::string& folder) const { return filesIn(dir_.file(folder), true); }
    void writeSample(const std::string& name) const {
        fs::create_directories(fs::path(dir_.file(name)).parent_path());
        writeFile(dir_.file(name), buildSampleDocument());
    }

    TempDir dir_;
};

TEST_F(BatchTree, AListMadeByFindIsMirroredBelowTheOutputFolder) {
    const std::vector<std::string> inputs = {"scans/2024 q1/box a/one.pdf", "scans/2024 q1/two.pdf", "scans/three.pdf",
                                             "scans/2024 q1/box b/four 4.pdf"};
    for (const std::string& input : inputs) writeSample(input);
    // Relative lines from find, and one absolute line, mirrored without its leading "/".
    const std::string absolute = dir_.file("scans/three.pdf");
    ASSERT_EQ(runCommand("cd " + shellQuote(dir_.path()) + " && find scans -name '*.pdf' > list.txt && echo " +
                         shellQuote(absolute) + " >> list.txt").status, 0);
    const CommandResult batch = quillmor("list.txt -fout -page a4 -con -center");
    ASSERT_EQ(batch.status, 0) << batch.output;
    EXPECT_EQ(batch.output.find("Warning"), std::string::npos) << "the folder is no option of the jobs";
    // Every input is the same document: each job starts from fresh settings and matches a single run.
    ASSERT_EQ(quillmor("scans/three.pdf single.pdf -page a4 -con -center").status, 0);
    std::set<std::string> expected(inputs.begin(), inputs.end()), files;
    expected.insert(absolute.substr(1));
    for (const std::string& file : filesBelow("out")) {
        if (fs::is_directory(dir_.file("out/" + file))) continue;
        files.insert(file);
        EXPECT_EQ(readFile(dir_.file("out/" + file)), readFile(dir_.file("single.pdf"))) << file;
    }
    EXPECT_EQ(files, expected);
}

TEST_F(BatchTree, KeepGoingResizesEveryGoodFileAndNamesTheFailures) {
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is missing: no password-protected file to try";
    writeSample("a.pdf");
    writeSample("dir/z.pdf");
    fs::create_directory(dir_.file("new"));
    writeFile(dir_.file("new/damaged.pdf"), buildSampleDocument().substr(0, 300));
    ASSERT_EQ(runCommand("cd " + shellQuote(dir_.path()) +
                         " && qpdf --encrypt user owner 128 --use-aes=y -- a.pdf new/locked.pdf").status, 0);
    writeFile(dir_.file("list.txt"), "a.pdf\nnew/damaged.pdf\nnew/locked.pdf\n\ndir/z.pdf\n");

    const CommandResult going = quillmor("list.txt -fout -keepgoing -scale50");
    EXPECT_EQ(going.status, 1);
    EXPECT_NE(going.output.find("\r\n2 of 4 files resized\r\nNot resized: 'new/damaged.pdf'\r\n"
                                "Not resized: 'new/locked.pdf'\r\n"), std::string::npos) << going.output;
    // A failed job leaves no folder it made behind.
    EXPECT_EQ(filesBelow("out"), (std::vector<std::string>{"a.pdf", "dir", "dir/z.pdf"}));

    fs::remove_all(dir_.file("out"));
    const CommandResult stopping = quillmor("list.txt -fout -scale50");
    EXPECT_EQ(stopping.status, 1);
    EXPECT_EQ(stopping.output.find("files resized"), std::string::npos) << stopping.output;
    EXPECT_EQ(filesBelow("out"), std::vector<std::string>{"a.pdf"});

    // Past twenty failures the summary counts the rest.
    std::string missing;
    for (int i = 0; i < 22; ++i) missing += "missing" + std::to_string(i) + ".pdf\n";
    writeFile(dir_.file("list.txt"), missing);
    const CommandResult many = quillmor("list.txt -fout -keepgoing");
    EXPECT_EQ(many.status, 1);
    EXPECT_NE(many.output.find("\r\n0 of 22 files resized\r\nNot resized: 'missing0.pdf'\r\n"), std::string::npos);
    EXPECT_NE(many.output.find("Not resized: 'missing19.pdf'\r\n... and 2 more not resized\r\n"), std::string::npos)
        << many.output;
}

TEST_F(BatchTree, ALineWithDotDotIsRefusedAndWritesNothingOutside) {
    writeSample("a.pdf");
    writeSample("work/b.pdf");
    fs::create_directory(dir_.file("work/out"));
    // "out/../a.pdf" would be work/a.pdf, beside the output folder; "sub/../../../a.pdf" the input itself.
    writeFile(dir_.file("work/list.txt"), "../a.pdf\nsub/../../../a.pdf\nb.pdf\n");
    const std::string before = readFile(dir_.file("a.pdf"));
    const CommandResult run = inFolder(dir_.file("work"), "list.txt -fout -keepgoing");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("List line refused, its '..' would lead out of the output folder: '../a.pdf'\r\n"),
              std::string::npos) << run.output;
    EXPECT_NE(run.output.find("1 of 3 files resized"), std::string::npos) << run.output;
    EXPECT_EQ(filesBelow("work"), (std::vector<std::string>{"b.pdf", "list.txt", "out", "out/b.pdf"}));
    EXPECT_EQ(readFile(dir_.file("a.pdf")), before);
}

}  // namespace
