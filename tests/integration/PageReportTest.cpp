// -info: a row per page with its boxes, its size as seen and what the options would make of it; writes nothing.

#include "tests/integration/Jobs.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

Lines linesOf(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A row with its runs of blanks made single, so that rows compare whatever the columns' widths.
std::string fieldsOf(const std::string& row) { return std::regex_replace(row, std::regex(" +"), " "); }

// An upright A4 page as scanners write it, a turned Letter page, a cropped one, one in units of two
// points, and two under a node that turns them and gives a MediaBox away from 0, 0.
std::string mixedPages() {
    PdfBuilder pdf;
    pdf.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.addObject(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R 7 0 R] /Count 6 /MediaBox [0 0 612 792] >>");
    pdf.addObject(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.28 841.89] >>");
    pdf.addObject(4, "<< /Type /Page /Parent 2 0 R /Rotate 90 >>");
    pdf.addObject(5, "<< /Type /Page /Parent 2 0 R /CropBox [18 18 594 774] >>");
    pdf.addObject(6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /UserUnit 2 >>");
    pdf.addObject(7, "<< /Type /Pages /Parent 2 0 R /Kids [8 0 R 9 0 R] /Count 2 /Rotate 270"
                     " /MediaBox [10 20 852 615] >>");
    pdf.addObject(8, "<< /Type /Page /Parent 7 0 R >>");
    pdf.addObject(9, "<< /Type /Page /Parent 7 0 R /Rotate -90 /MediaBox [0 0 1224 792] >>");
    pdf.setTrailer("/Root 1 0 R");
    return pdf.build();
}

TEST(PageReport, EveryPageAsSeenAndWhatTheOptionsWouldDo) {
    TempDir dir;
    const std::string input = dir.file("mixed.pdf");
    writeFile(input, mixedPages());
    const CommandResult run = inFolder(dir.path(), "-info " + shellQuote(input) + " -page a4 -con -s1-5");
    ASSERT_EQ(run.status, 0) << run.output;
    const Lines lines = linesOf(run.output);
    ASSERT_EQ(lines.size(), 9u) << run.output;
    EXPECT_EQ(lines[0], "Input file: '" + input + "'");
    const Lines expected = {
        "page mediabox cropbox rotate userunit seen-pt seen-mm selected box-factors content-factors new-pt paper",
        "1 0,0,595.28,841.89 - 0 - 595.28x841.89 210x297 yes 0.9995,1.0001 0.9995,0.9995 595x842 a4",
        "2 0,0,612,792 - 90 - 792x612 279.4x215.9 yes 0.9722,1.0631 0.9722,0.9722 842x595 letter landscape",
        // The CropBox follows the box factors: its new size is what the page then shows.
        "3 0,0,612,792 18,18,594,774 0 - 576x756 203.2x266.7 yes 0.9722,1.0631 0.9722,0.9722 560x803.73 -",
        // The UserUnit stays: the new MediaBox of A4's numbers shows at twice the size.
        "4 0,0,300,400 - 0 2 600x800 211.7x282.2 yes 1.9833,2.105 1.9833,1.9833 1190x1684 -",
        "5 10,20,852,615 - 270 - 595x842 209.9x297 yes 0.6984,1.3691 0.6984,0.6984 814.62x588.02 a4",
        "6 0,0,1224,792 - 270 - 792x1224 279.4x431.8 no - - - ledger",
    };
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(fieldsOf(lines[i + 1]), expected[i]);
    EXPECT_EQ(lines[8], "pages: 6, sizes as seen: 6 (595.28x841.89: 1, 792x612: 1, 576x756: 1, 600x800: 1, "
                        "595x842: 1, 792x1224: 1)");
    // Aligned: every column starts where its heading does.
    for (size_t column = lines[1].find("  "); column != std::string::npos; column = lines[1].find("  ", column + 1)) {
        column = lines[1].find_first_not_of(' ', column);
        for (size_t row = 2; row < 8; ++row)
            EXPECT_TRUE(lines[row][column - 1] == ' ' && lines[row][column] != ' ') << lines[row] << " at " << column;
    }
    // Lists, standard input and files that cannot be read; nothing is written.
    writeFile(dir.file("list.txt"), "mixed.pdf\nmixed.pdf\n");
    writeFile(dir.file("junk.pdf"), "%PDF-1.4\njunk\n");
    const std::tuple<const char*, int, std::string, size_t> rows[] = {  // arguments, status, a text and its count
        {"list.txt -scale50", 0, "pages: 6, sizes as seen: 6", 2}, {"- -s2 < mixed.pdf", 0, "Input file: '-'\n", 1},
        {"- -s2 < mixed.pdf", 0, " yes ", 1}, {"missing.pdf", 1, "Input file open error\n", 1},
        {"junk.pdf", 1, "Input file: 'junk.pdf'", 1},
        {"", 1, "Error! -info needs a PDF or a list file after it, e.g. quillmor -info input.pdf -page a4\n", 1},
    };
    for (const auto& [arguments, status, text, count] : rows) {
        const CommandResult listed = inFolder(dir.path(), "-info " + std::string(arguments));
        EXPECT_EQ(listed.status, status) << arguments << ": " << listed.output;
        EXPECT_EQ(countOf(listed.output, text), count) << arguments << ": " << listed.output;
    }
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"junk.pdf", "list.txt", "mixed.pdf"}));
}

TEST(CorpusPageReport, AgreesWithQpdfOnThePagesAndTheirBoxes) {
    SKIP_WITHOUT_CORPUS();
    if (!haveTool("qpdf") || !haveTool("python3")) GTEST_SKIP() << "qpdf and python3 are needed";
    const std::vector<std::string> files = corpusFiles();
    const std::string script = shellQuote(QUILLMOR_SOURCE_DIR "/tests/integration/qpdf_boxes.py");
    const std::vector<std::string> problems = judgeInParallel(files.size(), [&](size_t i, const std::string& folder) {
        const std::string name = fs::path(files[i]).filename().string();
        const CommandResult run = inFolder(folder, "-info " + shellQuote(files[i]));
        if (run.status != 0) return std::string();  // a file it cannot read is the resize tests' business
        const Lines ours = linesOf(run.output);
        const Lines theirs = linesOf(runCommand(script + " " + shellQuote(files[i])).output);
        if (ours.size() != theirs.size() + 3) {
            return name + ": " + std::to_string(ours.size() - 3) + " pages, qpdf " + std::to_string(theirs.size());
        }
        for (size_t page = 0; page < theirs.size(); ++page) {
            std::istringstream row(ours[page + 2]);
            std::string number, media, crop;
            row >> number >> media >> crop;
            // A page without a MediaBox anywhere gets Letter's, which readers take it for.
            const std::string expected = theirs[page].rfind("- ", 0) == 0 ? "0,0,612,792" + theirs[page].substr(1)
                                                                          : theirs[page];
            if (media + " " + crop != expected) return name + " page " + number + ": " + media + " " + crop;
        }
        return std::string();
    });
    EXPECT_TRUE(problems.empty()) << testing::PrintToString(problems);
}

}  // namespace
