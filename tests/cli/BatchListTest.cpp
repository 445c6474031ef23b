#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/BatchList.h"
#include "tests/cli/CliTestTools.h"
#include "tests/cli/FakeJobRunner.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr char done[] = "\nDone.\n";
constexpr char folderMessage[] = "please specify -f for output folder, e.g. -fc:\\test\n";
constexpr std::size_t pieceLength = 254;

TEST(BatchListName, OnlyDotTxAtTheEndOrShortNamesAreLists) {
    for (const char* name : {"list.txt", "list.txx", "list.tx1", "a/b.c/list.tx~", "abcd", "a.tx", ""}) {
        EXPECT_TRUE(isListFileName(name)) << name;
    }
    for (const char* name : {"LIST.TXT", "list.Txt", "a.pdf", "list.txt.pdf", "list.t", "abcde"}) {
        EXPECT_FALSE(isListFileName(name)) << name;
    }
}

// Each test runs inside a fresh folder, so that relative output folders land there.
class BatchList : public testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(folder_.path());
    }
    void TearDown() override { fs::current_path(previous_); }

    struct Batch {
        int result = -1;
        std::string printed;
    };

    Batch run(const ArgumentList& arguments) {
        Batch batch;
        const char* second = arguments.count() > 2 ? arguments.at(2) : nullptr;
        batch.printed = capturedOutput([&] {
            batch.result = runBatchList(arguments.at(1), second, arguments.count(), arguments.data(), fake_.runner());
        });
        return batch;
    }

    std::string runFailing(const ArgumentList& arguments) {
        return thrownMessage([&] { run(arguments); });
    }

    static std::string repeated(std::size_t times, const std::string& text) {
        std::string result;
        for (std::size_t i = 0; i < times; ++i) {
            result += text;
        }
        return result;
    }

    TempDir folder_;
    fs::path previous_;
    FakeJobRunner fake_;
};

TEST_F(BatchList, NotAListLeavesTheJobToTheCaller) {
    const Batch batch = run(ArgumentList{"a.pdf", "-fout"});
    EXPECT_EQ(batch.result, batchNotAList);
    EXPECT_EQ(batch.printed, "");
    EXPECT_TRUE(fake_.jobs.empty());
    EXPECT_FALSE(fs::exists("out"));
}

TEST_F(BatchList, OutputFolderMustBeGiven) {
    writeFile("list.txt", "a.pdf\n");
    using Texts = std::vector<std::string>;
    // "-f" alone would put every output at the root of the file system.
    for (const Texts& texts : {Texts{"list.txt"}, Texts{"list.txt", "out"}, Texts{"list.txt", "-Fout"},
                               Texts{"list.txt", "-f"}, Texts{"list.txt", "-f", "-scale50"}}) {
        const Batch batch = run(ArgumentList(texts));
        EXPECT_EQ(batch.result, batchNotStarted) << texts.back();
        EXPECT_EQ(batch.printed, folderMessage);
    }
    EXPECT_TRUE(fake_.jobs.empty());
}

TEST_F(BatchList, ListThatCannotBeOpened) {
    const Batch batch = run(ArgumentList{"missing.txt", "-fout"});
    EXPECT_EQ(batch.result, batchNotStarted);
    EXPECT_EQ(batch.printed, "Unable to open file list: 'missing.txt'\r\n");
    EXPECT_TRUE(fake_.jobs.empty());
}

TEST_F(BatchList, ListThatCannotBeReadIsNotTakenForEmpty) {
    fs::create_directory("folder.txt");
    EXPECT_EQ(runFailing(ArgumentList{"folder.txt", "-fout"}), "Unable to read file list: 'folder.txt'\r\n");
    EXPECT_TRUE(fake_.jobs.empty());
}

TEST_F(BatchList, EveryLineIsOneJobWithTheSameOptions) {
    writeFile("list.txt", "a.pdf\r\nsub/b.pdf\r\n c d.pdf\t\nlast.pdf");
    const Batch batch = run(ArgumentList{"list.txt", "-fout", "-scale50", "-s1"});
    EXPECT_EQ(batch.result, batchFinished);
    EXPECT_EQ(batch.printed, repeated(4, done));
    EXPECT_TRUE(fs::is_directory("out"));
    const std::vector<Names> expected = {
        {"quillmor", "a.pdf", "out/a.pdf", "-scale50", "-s1"},
        {"quillmor", "sub/b.pdf", "out/sub/b.pdf", "-scale50", "-s1"},
        {"quillmor", " c d.pdf\t", "out/ c d.pdf\t", "-scale50", "-s1"},
        {"quillmor", "last.pdf", "out/last.pdf", "-scale50", "-s1"},
    };
    EXPECT_EQ(fake_.jobs, expected);
}

TEST_F(BatchList, ExistingFolderAndEmptyList) {
    fs::create_directory("out");
    writeFile("list.tx1", "");
    const Batch batch = run(ArgumentList{"list.tx1", "-fout"});
    EXPECT_EQ(batch.result, batchFinished);
    EXPECT_EQ(batch.printed, "");
    EXPECT_TRUE(fake_.jobs.empty());
}

TEST_F(BatchList, FailingJobEndsTheBatchAndKeepsEarlierOutputs) {
    writeFile("list.txt", "a.pdf\nb.pdf\n\nc.pdf\n");
    fake_.writesOutput = true;
    EXPECT_EQ(runFailing(ArgumentList{"list.txt", "-fout"}), "Input file open error\n");
    EXPECT_EQ(fake_.inputs(), (Names{"a.pdf", "b.pdf", ""}));
    EXPECT_EQ(readFile("out/a.pdf"), "output of a.pdf");
    EXPECT_EQ(readFile("out/b.pdf"), "output of b.pdf");
    EXPECT_FALSE(fs::exists("out/c.pdf"));
}

TEST_F(BatchList, LongLinesComeInPieces) {
    const std::string first(pieceLength, 'a');
    const std::string second(pieceLength, 'b');
    const std::string rest = "tail.pdf";
    // One line of 516 characters, then lines that end right at a piece's end (with LF, with CR LF).
    const std::string exact(pieceLength, 'e');
    const std::string exactBeforeCr(pieceLength - 1, 'r');
    writeFile("list.txt", first + second + rest + "\n" + exact + "\n" + exactBeforeCr + "\r\n" + "z.pdf\n");
    const Batch batch = run(ArgumentList{"list.txt", "-fout"});
    EXPECT_EQ(batch.result, batchFinished);
    EXPECT_EQ(fake_.inputs(), (Names{first, second, rest, exact, exactBeforeCr, "z.pdf"}));
    EXPECT_EQ(batch.printed, repeated(6, done));
}

TEST_F(BatchList, EmptyLineAfterALongLineIsStillAnEmptyLine) {
    const std::string exact(pieceLength, 'e');
    writeFile("list.txt", exact + "\n\nz.pdf\n");
    EXPECT_EQ(runFailing(ArgumentList{"list.txt", "-fout"}), "Input file open error\n");
    EXPECT_EQ(fake_.inputs(), (Names{exact, ""}));
}

TEST_F(BatchList, LongFolderIsNeverCut) {
    // Longer than any name the file system takes: the folder cannot be made, yet the output name
    // reaches the job whole, and the job reports the failure.
    const std::string folder = repeated(40, "folder-") + "end";
    writeFile("list.txt", "a.pdf\n");
    const Batch batch = run(ArgumentList{"list.txt", "-f" + folder});
    EXPECT_EQ(batch.result, batchFinished);
    ASSERT_EQ(fake_.jobs.size(), 1u);
    EXPECT_EQ(fake_.jobs[0][2], folder + "/a.pdf");
}

}  // namespace
