#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <tuple>

#include "tests/resize/ResizeFixtures.h"

namespace {

constexpr char kPage[] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents ";

// Catalog 1, tree 2, font 3, pages 4 and 6 with contents 5 and 7, Info 8, some generations not 0; plus `changes`.
PdfBuilder twoPageBuilder(const std::map<int, std::string>& changes = {}) {
    PdfBuilder builder;
    builder.addObject(1, "<< /Type /Catalog /Pages 2 0 R >>", 1);
    builder.addObject(2, "<< /Type /Pages /Kids [4 3 R 6 0 R] /Count 2 >>");
    builder.addObject(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    builder.addObject(4, std::string(kPage) + "5 0 R /Resources << /Font << /F1 3 0 R >> >> >>", 3);
    builder.addStream(5, "", "BT /F1 12 Tf 72 720 Td (one) Tj ET");
    builder.addObject(6, std::string(kPage) + "7 2 R >>");
    builder.addStream(7, "", "0 0 m 100 100 l S", false, 2);
    builder.addObject(8, "<< /Producer (test) >>", 4);
    builder.setTrailer("/Root 1 1 R /Info 8 4 R");
    for (const auto& [number, body] : changes) builder.addObject(number, body);
    return builder;
}

class Pipeline : public WholeJob {
protected:
    size_t files() const { return filesIn(dir.path()).size(); }  // temporary ones included
};

TEST_F(Pipeline, CopiesEveryObjectWholeAndWrapsEveryPage) {
    const std::string junk = "MIME junk before the header\r\n\r\n";  // and generations other than 0
    const std::string header = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n% a comment before the first object\n";
    PdfBuilder builder = twoPageBuilder();
    builder.setLeadingJunk(junk);
    builder.setHeader(header);
    builder.addStream(9, "/Type /XObject /Subtype /Form /BBox [0 0 1 1] /Note /ObjStm", "% ObjStm\n");
    std::string data = "BT (endobj) Tj ET\nendobj\n";  // larger than the reader's blocks
    for (uint64_t i = 0; data.size() < 3 * 1024 * 1024; ++i) data += std::to_string(i * 7919) + (i % 13 ? " " : "\n");
    builder.addStream(10, "/Subtype /Big", data);
    builder.putInObjectStream(20, {3, 6});
    const std::string pdf = builder.build({/* xrefStream */ true});
    const JobRun job = resize(pdf);
    EXPECT_EQ(job.console, "Input file: '" + input + "', output file: '" + output + "'\n");
    InputJob out(job.output);
    ASSERT_EQ(out.entries().size(), 26u) << "22 input entries and two new streams per page" << job.error;
    EXPECT_EQ(job.output.substr(0, header.size()), header) << "the output starts at the header";
    uint32_t previous = 0;
    for (int number : {1, 2, 5, 7, 8, 9}) {
        EXPECT_GT(out.entries()[number].offset, previous) << "copied in ascending object number";
        previous = out.entries()[number].offset;
        EXPECT_EQ(out.raw(number), objectAt(pdf, junk.size() + builder.offsetOf(number))) << number;
    }
    const size_t big = junk.size() + builder.offsetOf(10);
    EXPECT_TRUE(out.raw(10) == pdf.substr(big, pdf.find("endobj", pdf.find("endstream", big)) + 7 - big));
    // Objects of object streams are rebuilt with generation 0; the page among them is rewritten too.
    EXPECT_EQ(out.raw(3), "3 0 obj\r<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\n endobj\r");
    EXPECT_NE(out.raw(6).find("/Contents  [  24 0 R  7 2 R   25 0 R  ]"), std::string::npos) << out.raw(6);
    const std::map<size_t, uint32_t> generations = {{0, 65535}, {1, 1}, {4, 3}, {7, 2}, {8, 4}};  // others 0
    for (size_t i = 0; i < 26; ++i) EXPECT_EQ(out.entries()[i].generation, generations.count(i) ? generations.at(i) : 0u) << i;
    // New objects are numbered on from the input's entries, page by page.
    EXPECT_NE(out.raw(4).find("/Contents  [  22 0 R  5 0 R   23 0 R  ]"), std::string::npos) << out.raw(4);
    EXPECT_EQ(job.output.find("4 3 obj"), out.entries()[4].offset) << "a page that is rewritten is not copied first";
    EXPECT_EQ(job.output.find("/Type /ObjStm"), std::string::npos) << "the object stream is left out";
    EXPECT_NE(job.output.find("/Type /XRef"), std::string::npos) << "the input's cross-reference stream stays";
    // The rows as read back, 20 bytes each, ending in a space and a CR.
    std::string rows;
    for (const XRefEntry& entry : out.entries()) {
        char row[21];
        rows.append(row, std::snprintf(row, sizeof row, "%010u %05u %c \r", entry.offset, entry.generation,
                                       entry.type != XRefEntryType::free ? 'n' : 'f'));
    }
    const size_t start = job.output.rfind("xref\n0 26\r");
    EXPECT_EQ(job.output.substr(start), "xref\n0 26\r" + rows + "trailer\n<<\n/Size 26\n/Root 1 1 R\n/Info 8 4 R\n>>\n"
                                        "startxref\n" + std::to_string(start) + "\n%%EOF");
    const CommandResult check = haveTool("qpdf") ? runCommand("qpdf --check " + shellQuote(output)) : CommandResult{0, ""};
    EXPECT_EQ(check.status, 0) << check.output;
}

// What the job does not need, or reads at a dictionary's own level only, does not stop it; a page without area
// stays as it is.
TEST_F(Pipeline, ResizesPagesWhateverTheirNeighbourhoodHoldsAndLeavesPagesWithoutArea) {
    const std::string catalog = "<< /Type /Catalog /PieceInfo << /X << /Pages 3 0 R >> >> /Pages 2 0 R /Outlines 9 0 R >>";
    const std::string half = "/MediaBox [ 0.000000 0.000000 297.500000 421.000000 ]", empty = "Warning: page 1 has an "
                             "empty MediaBox: left unchanged\n", wrapped = "/Contents  [  ";
    struct Row {
        std::map<int, std::string> changes;
        std::vector<std::string> options;
        std::string warnings;
        std::map<uint32_t, std::string> holds;  // what objects of the output hold
    };
    const Row rows[] = {
        {{{1, catalog}, {2, "<< /Type /Pages /PieceInfo << /X << /Count 0 >> >> /Kids [4 3 R 6 0 R] /Count 2 >>"}},
         {"-scale50", "-s1"}, "", {{4, half}}},
        // A nested /Pages ahead of the catalog's own, and an outline item whose title cannot be fetched.
        {{{1, catalog}, {9, "<< /First 10 0 R /Last 10 0 R >>"}, {10, "<< /Title 500 0 R /Parent 9 0 R >>"}},
         {"-scale50", "-s2"}, "", {{6, half}}},
        {{{1, catalog}, {6, "<< /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 7 2 R >>"}}, {"-scale50", "-s2"}, "",
         {{6, half}}},
        {{{4, std::string(kPage) + "5 0 R >>"}, {2, "<< /Type /Pages /Kids [6 0 R 4 0 R 9 0 R] /Count 3 >>"},
          {6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 0 0] >>"}, {9, std::string(kPage) + "7 2 R >>"}},
         {"-page", "a4", "-con", "-center"}, empty,
         {{6, "6 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 0 0] >>\nendobj\n"}, {4, wrapped}, {9, wrapped}}},
        // With no page left to resize the output still comes, with nothing new.
        {{{2, "<< /Type /Pages /Kids [6 0 R] /Count 1 >>"},
          {6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 0 842] /Contents 7 2 R >>"}}, {"-pagesize", "0,0,500,500"},
         empty + "Warning: no selected page could be resized: every page is left unchanged\n", {{9, "<unreadable>"}}},
    };
    for (const Row& row : rows) {
        PdfBuilder builder = twoPageBuilder(row.changes);
        if (row.changes.count(1)) builder.addObject(1, row.changes.at(1), 1);
        const JobRun job = resize(builder.build(), row.options);
        ASSERT_EQ(job.error, "<no error>") << row.changes.rbegin()->second;
        EXPECT_EQ(job.console, "Input file: '" + input + "', output file: '" + output + "'\n" + row.warnings);
        InputJob out(job.output);
        for (const auto& [number, text] : row.holds) {
            EXPECT_NE(out.raw(number).find(text), std::string::npos) << number << " of " << row.changes.rbegin()->second;
        }
    }
}

// Centred on another paper, a page whose CropBox frames a figure still shows that figure.
TEST_F(Pipeline, CentredPagesShowWhatTheirCropBoxFramed) {
    if (!haveTool("mutool")) GTEST_SKIP() << "mutool is needed";
    const std::string figure = "0 g 100 600 200 100 re f";
    const std::string pdf = twoPageBuilder({{2, "<< /Type /Pages /Kids [4 0 R] /Count 1 >>"},
                                            {4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
                                                "/CropBox [100 600 300 700] /Contents 5 0 R >>"},
                                            {5, "<< /Length " + std::to_string(figure.size()) + " >>\nstream\n" +
                                                    figure + "\nendstream"}}).build();
    for (const std::vector<std::string>& options : {std::vector<std::string>{"-page", "a4", "-con", "-center"},
                                                    {"-noscale", "-pagesize", "0,0,1000,1000", "-con", "-center"}}) {
        ASSERT_EQ(resize(pdf, options).error, "<no error>");
        const std::string gray = render(output, 36, 1).gray;  // the figure fills the window: all but a few pixels dark
        ASSERT_FALSE(gray.empty()) << options[1];
        EXPECT_LT(std::count_if(gray.begin(), gray.end(), [](char pixel) { return pixel & 0x80; }) * 10, gray.size())
            << options[1] << ": the window left the figure";
    }
}

TEST_F(Pipeline, FailedJobsLeaveNoOutputAndKeepAnExistingOne) {
    // Page 2 has no object of its own, and Count promises a fourth.
    const std::string shortTree =
        twoPageBuilder({{2, "<< /Type /Pages /Kids [4 3 R << /Type /Page >> 6 0 R] /Count 4 >>"}}).build();
    PdfBuilder customEncryption = twoPageBuilder({{9, "<< /Filter /Custom /V 2 /R 3 /P -4 /O <00> /U <00> >>"}});
    customEncryption.setTrailer("/Root 1 1 R /Encrypt 9 0 R /ID [<0102><0102>]");
    const std::tuple<std::string, std::vector<std::string>, std::string> cases[] = {  // input, options, message
        {shortTree, {"-s2"}, "Page 2 is missing"},
        {customEncryption.build(), {}, "\nEncrypted PDF file uses a security handler other than Standard"},
        // Found while objects are already being copied to the output.
        {twoPageBuilder({{2, "<< /Type /Pages /Kids [4 3 R 6 0 R 99 0 R] /Count 3 >>"}}).build(), {}, "Corrupted PDF file"},
    };
    for (const auto& [bytes, options, message] : cases) {
        writeFile(output, "an earlier result");
        const JobRun job = resize(bytes, options);
        EXPECT_NE(job.error.find(message), std::string::npos) << message << ": " << job.error;
        EXPECT_EQ(job.output, "an earlier result") << message;
        EXPECT_EQ(files(), 2u) << "no temporary file is left beside it";
    }
    EXPECT_EQ(InputJob(resize(shortTree).output).entries().size(), 13u) << "two pages rewritten, not four";

    // In place, without Info, and the second page only (its two new streams make the size 11).
    PdfBuilder noInfo = twoPageBuilder();
    noInfo.setTrailer("/Root 1 1 R");
    writeFile(input, noInfo.build());
    const auto privateFile = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::filesystem::permissions(input, privateFile);
    EXPECT_EQ(runWholeJob(input, input, {"-scale50", "-s2"}).error, "<no error>");
    EXPECT_EQ(std::filesystem::status(input).permissions(), privateFile) << "the replaced file's permissions stay";
    EXPECT_NE(readFile(input).find("trailer\n<<\n/Size 11\n/Root 1 1 R\n>>\nstartxref\n"), std::string::npos);
    EXPECT_EQ(files(), 2u);
    const JobRun missing = runWholeJob(dir.file("missing.pdf"), output);
    EXPECT_EQ(missing.error, "Input file open error\n");
    EXPECT_EQ(missing.console, "") << "the input line comes only once the input is open";
    const JobRun noFolder = runWholeJob(input, dir.file("no-folder/out.pdf"));
    EXPECT_EQ(noFolder.error, "\nOutput file create error\n");
    EXPECT_EQ(noFolder.console, "Input file: '" + input + "'");
}

}  // namespace

// The copy during the walk (written again where later pages have lower numbers) equals the one after it.
TEST_F(Pipeline, CopyDuringTheWalkGivesTheOutputOfACopyAfterIt) {
    const std::map<std::string, std::map<int, std::string>> layouts = {
        {"nodes first", {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 4 >>"}, {3, "<< /Kids [10 0 R 12 0 R] >>"},
                         {4, "<< /Kids [14 0 R 16 0 R] >>"}}},
        {"pages in reverse", {{2, "<< /Type /Pages /Kids [16 0 R 14 0 R 12 0 R 10 0 R] /Count 4 >>"}}},
        {"later node lower", {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 4 >>"}, {3, "<< /Kids [14 0 R 16 0 R] >>"},
                              {4, "<< /Kids [10 0 R 12 0 R] >>"}}},
        {"page twice, one direct", {{2, "<< /Type /Pages /Kids [10 0 R 12 0 R 10 0 R << /MediaBox [0 0 9 9] >> 14 0 R 16 0 R]"
                                        " /Count 6 >>"}}},
    };
    for (const auto& [name, tree] : layouts) {
        std::map<int, std::string> objects = tree;
        for (const auto& [number, box] : {std::pair<int, const char*>{10, "595 842"}, {12, "612 792"}, {14, "300 400"},
                                          {16, "595 842"}}) {
            objects[number] = "<< /Type /Page /MediaBox [0 0 " + std::string(box) + "] /Contents 20 0 R >>";
            objects[number + 1] = "<< /Note " + std::to_string(number + 1) + " >>";
        }
        objects[20] = "<< /Length 5 >>\nstream\n0 0 m\nendstream";
        const std::string pdf = pdfOf(objects);
        const int pages = name == "page twice, one direct" ? 6 : 4;
        for (const std::vector<std::string>& options : {std::vector<std::string>{"-page", "a4", "-con", "-center"},
                                                        std::vector<std::string>{"-noenlarge", "-page", "a4"}}) {
            const JobRun during = resize(pdf, options);
            std::vector<std::string> selecting = options;
            selecting.push_back(pages == 6 ? "-s1-3,5-6" : "-s1-4");  // page 4 of six is direct: it cannot be chosen
            const JobRun after = resize(pdf, selecting);
            ASSERT_EQ(during.error + after.error, "<no error><no error>") << name;
            EXPECT_TRUE(during.output == after.output) << name << " " << options[0];
            EXPECT_EQ(files(), 2u) << name;
            InputJob out(during.output);
            ASSERT_EQ(out.records.size(), static_cast<size_t>(pages)) << name;
            for (const PageRecord& record : out.records) {
                if (record.filled && options[0] == "-page") { EXPECT_EQ(record.mediaBox.x2, 595) << name << record.objectNumber; }
            }
        }
    }
}

// A small document keeps its pages from the walk; one with more pages than /Count promised keeps none.
TEST_F(Pipeline, EveryPageIsResizedWhateverTheCountPromised) {
    for (const int pages : {3, 2100}) {
        std::string pdf = buildSimpleDocument(pages);
        const std::string count = "/Count " + std::to_string(pages);
        pdf.replace(pdf.find(count), count.size(), "/Count 1" + std::string(count.size() - 8, ' '));
        const JobRun job = resize(pdf, {"-scale50"});
        ASSERT_EQ(job.error, "<no error>") << pages;
        const std::vector<PageRecord> records = InputJob(job.output).records;
        ASSERT_EQ(records.size(), static_cast<size_t>(pages));
        for (const PageRecord& record : records) {
            ASSERT_EQ(record.mediaBox.x2, 306) << "page object " << record.objectNumber << " of " << pages;
        }
    }
}
