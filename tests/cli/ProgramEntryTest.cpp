#include <gtest/gtest.h>

#include <string>

#include "cli/ProgramEntry.h"
#include "tests/cli/CliTestTools.h"
#include "tests/cli/FakeJobRunner.h"

namespace {

constexpr int success = 0;
constexpr int failure = 1;
constexpr char done[] = "\nDone.\n";

struct ProgramRun {
    int status;
    std::string printed;
};

ProgramRun runWith(const ArgumentList& arguments, FakeJobRunner& fake) {
    ProgramRun run{-1, ""};
    run.printed = capturedOutput([&] { run.status = runProgram(arguments.count(), arguments.data(), fake.runner()); });
    return run;
}

// The banner's three lines; the version is "1.02" in the banner and "v1.02" in the usage text.
void expectBanner(const std::string& text, const std::string& version) {
    const std::string head = "\r\nQuillmor " + version + "  ";
    ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
    const std::size_t firstEnd = text.find("\r\n", head.size());
    ASSERT_NE(firstEnd, std::string::npos);
    EXPECT_GT(firstEnd, head.size()) << "author notice missing";
    const std::size_t website = firstEnd + 2;
    ASSERT_EQ(text.compare(website, 9, "Website: "), 0) << text;
    const std::size_t websiteEnd = text.find("\r\n", website);
    EXPECT_GT(websiteEnd, website + 9);
    const std::size_t email = websiteEnd + 2;
    ASSERT_EQ(text.compare(email, 7, "Email: "), 0) << text;
    const std::size_t emailEnd = text.find("\r\n", email);
    EXPECT_NE(text.find('@', email), std::string::npos);
    EXPECT_EQ(text.compare(emailEnd, 4, "\r\n\r\n"), 0);
}

std::size_t bannerLength(const std::string& text) {
    return text.find("\r\n\r\n") + 4;
}

TEST(ProgramEntry, UsageTextWithoutArguments) {
    FakeJobRunner fake;
    const ProgramRun run = runWith(ArgumentList{}, fake);
    EXPECT_EQ(run.status, success);
    EXPECT_TRUE(fake.jobs.empty());
    expectBanner(run.printed, "v1.02");
    const std::string expectedBody =
        "Parameters:\n"
        "<input file> input file\n"
        "<output file> output file\n"
        "-scale(n)\tscale percentage from current page size (ignores -pagesize setting below)\n"
        "-scalex(n)\tscale percentage from current page size X coordinate (ignores -pagesize setting below)\n"
        "-scaley(n)\tscale percentage from current page size Y coordinate (ignores -pagesize setting below)\n"
        "-pagesize (n),(n),(n),(n)\tscale to output page size instead of using % scale parameter e.g. "
        "0,0,842,1191    (ignores above -scale)\n"
        "-page <text> scale to output page size in portrait mode instead of using % scale or -pagesize e.g. "
        "-page a4\n"
        "-pageL <text> scale to output page size in landscape mode instead of using % scale or -pagesize e.g. "
        "-page a4\n"
        "-con\t\tconstrain proportions when using above scale to  -pagesize\n"
        "-center\t\tcenter on page x,y when using above -con and -pagesize\n"
        "-s(n)\t\tfor page ranges, e.g. -s1-2   e.g. -sodd  e.g. -seven\n"
        "-noscale\tfor changing page size with centering -center\n"
        "-offsetx(n)\tfor shifting the content position\n"
        "-offsety(n)\tfor shifting the content position\n"
        "\r\nExample usage:-\r\n"
        "Quillmor test.pdf out-test.pdf -scale200\r\n"
        "Quillmor test.pdf out-test.pdf -scale200 -s1,3-4,6\r\n"
        "Quillmor test.pdf out-test.pdf -scalex200 -scaley150\r\n"
        "Quillmor test.pdf out-test.pdf -pagesize 0,0,1000,500\r\n"
        "Quillmor test.pdf out-test.pdf -page a4 -con -center\r\n"
        "Quillmor test.pdf out-test.pdf -page a3 -con -center\r\n"
        "Quillmor test.pdf out-test.pdf -page letter -con -center\r\n"
        "Quillmor test.pdf out-test.pdf -pageL letter -con -center\r\n"
        "Quillmor test.pdf out-test.pdf -pagesize 0,0,1000,500 -con -center\r\n"
        "Quillmor test.pdf out-test.pdf -pagesize 0,0,1000,500 -con\r\n"
        "Quillmor test.pdf out-test-noscale.pdf -noscale -pagesize 0,0,1234,1234 -con -center -scale100\r\n"
        "see examples folder for all parameters usage in test.bat, list.bat and list.bat\r\n"
        "NOTE: first 2 parameters have to be filein and fileout respectively\r\n\r\n\r\n"
        "NOTE: the parameters have to be in the exact order, i.e. -o parameter has to be at the end, also if "
        "your filename has spaces in it then use double quotes around the filename, e.g. "
        "\"c:\\my test\\test file.pdf\"\n"
        "\nWildcards * are not permitted, if you want to process many files then do: dir /B *.pdf > list.txt, "
        "then Quillmor list.txt -fout -scale200\n\r\n\r\n";
    EXPECT_EQ(run.printed.substr(bannerLength(run.printed)), expectedBody);
}

TEST(ProgramEntry, WildcardsAreRefusedBeforeAnythingElse) {
    const std::string refusal =
        "\nError! Wildcards * are not permitted, if you want to process many files then do: dir /B *.pdf > "
        "list.txt, then quillmor list.txt -fc:\\test\n\n";
    using Texts = std::vector<std::string>;
    for (const Texts& texts : {Texts{"*.pdf", "out.pdf"}, Texts{"a.pdf", "o*.pdf"}, Texts{"list.txt", "-fout", "-s1*"}}) {
        FakeJobRunner fake;
        const ProgramRun run = runWith(ArgumentList(texts), fake);
        EXPECT_EQ(run.status, failure);
        EXPECT_EQ(run.printed, refusal);
        EXPECT_TRUE(fake.jobs.empty());
    }
}

TEST(ProgramEntry, OneJobWithTheProgramsArguments) {
    FakeJobRunner fake;
    const ProgramRun run = runWith(ArgumentList{"in.pdf", "out.pdf", "-scale50", "-s1"}, fake);
    EXPECT_EQ(run.status, success);
    ASSERT_EQ(fake.jobs.size(), 1u);
    EXPECT_EQ(fake.jobs[0], (std::vector<std::string>{"quillmor", "in.pdf", "out.pdf", "-scale50", "-s1"}));
    expectBanner(run.printed, "1.02");
    EXPECT_EQ(run.printed.substr(bannerLength(run.printed)), done);
}

TEST(ProgramEntry, FailingJobPrintsItsMessageOnly) {
    FakeJobRunner fake;
    fake.refusedInputs = {"in.pdf", "100%s.pdf"};
    const ProgramRun run = runWith(ArgumentList{"in.pdf", "out.pdf"}, fake);
    EXPECT_EQ(run.status, failure);
    EXPECT_EQ(run.printed.substr(bannerLength(run.printed)), "Input file open error\n");

    fake.failure = FakeJobRunner::Failure::otherError;
    const ProgramRun other = runWith(ArgumentList{"in.pdf", "out.pdf"}, fake);
    EXPECT_EQ(other.status, failure);
    EXPECT_EQ(other.printed.substr(bannerLength(other.printed)), "Unexpected exception");
}

TEST(ProgramEntry, MessagesArePrintedAsTheyAre) {
    const JobRunner throwsPercent = [](int, const char* const*) { throw CPdfException("cannot open 100%s%d.pdf\n"); };
    ArgumentList arguments{"in.pdf", "out.pdf"};
    int status = -1;
    const std::string printed = capturedOutput([&] { status = runProgram(arguments.count(), arguments.data(), throwsPercent); });
    EXPECT_EQ(status, failure);
    EXPECT_EQ(printed.substr(bannerLength(printed)), "cannot open 100%s%d.pdf\n");
}

TEST(ProgramEntry, SingleArgumentLacksAnOutputName) {
    // A lone wildcard is not refused; it is a file name without an output name.
    for (const char* input : {"a.pdf", "*.pdf"}) {
        FakeJobRunner fake;
        const ProgramRun run = runWith(ArgumentList{input}, fake);
        EXPECT_EQ(run.status, failure);
        EXPECT_TRUE(fake.jobs.empty());
        const std::string message = run.printed.substr(bannerLength(run.printed));
        EXPECT_NE(message.find("output file name is missing"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
    }
}

TEST(ProgramEntry, ListFileStatuses) {
    TempDir folder;
    const std::string list = folder.file("list.txt");
    writeFile(list, "a.pdf\nb.pdf\n");
    const std::string output = "-f" + folder.file("out");

    FakeJobRunner fake;
    const ProgramRun run = runWith(ArgumentList{list, output, "-scale50"}, fake);
    EXPECT_EQ(run.status, success);
    EXPECT_EQ(fake.inputs(), (std::vector<std::string>{"a.pdf", "b.pdf"}));
    EXPECT_EQ(run.printed.substr(bannerLength(run.printed)), std::string(done) + done);

    fake.jobs.clear();
    fake.refusedInputs = {"b.pdf"};
    const ProgramRun failed = runWith(ArgumentList{list, output}, fake);
    EXPECT_EQ(failed.status, failure);
    EXPECT_EQ(failed.printed.substr(bannerLength(failed.printed)), std::string(done) + "Input file open error\n");

    using Texts = std::vector<std::string>;
    for (const Texts& texts : {Texts{list}, Texts{list, "out"}, Texts{folder.file("none.txt"), output}}) {
        FakeJobRunner unused;
        const ProgramRun refused = runWith(ArgumentList(texts), unused);
        EXPECT_EQ(refused.status, failure) << texts.back();
        EXPECT_TRUE(unused.jobs.empty());
    }
}

}  // namespace
