// The command line: options, paper sizes, page selection, program entry, batch lists, the program.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cli/BatchList.h"
#include "cli/Messages.h"
#include "cli/OptionParser.h"
#include "cli/ProgramEntry.h"
#include "cli/Usage.h"
#include "pdf/objects/PdfException.h"
#include "tests/support/TestTools.h"

namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const std::string constrain = "Can't constrain proportions if page size not set! e.g. use -pagesize 0,0,800,600\n";
constexpr char paperError[] = "wrong -page parameter, paper name not found.\n";
constexpr char sizeError[] = "wrong -pagesize parameter\n";
constexpr char done[] = "\nDone.\n";
constexpr char folderMessage[] = "please specify -f for output folder, e.g. -fc:\\test\n";

std::string ignored(const Texts& arguments) {
    std::string text;
    for (const std::string& option : arguments) text += "Warning: option '" + option + "' not recognised, ignored\n";
    return text;
}

// What `call` printed, given these arguments after the program's name, and the message it threw ("" when none).
template <typename Call>
std::pair<std::string, std::string> outcomeOf(Call call, Texts texts = {}) {
    texts.insert(texts.begin(), "quillmor");
    std::vector<const char*> arguments;
    for (const std::string& text : texts) arguments.push_back(text.c_str());
    testing::internal::CaptureStdout();
    std::string error;
    try { call(int(arguments.size()), arguments.data()); } catch (const CPdfException& e) { error = e.getMessage(); }
    return {testing::internal::GetCapturedStdout(), error};
}

// The fields that differ from fresh settings, as words; numbers in the shortest text that reads back the same.
std::string changedFields(const ResizeSettings& s) {
    const ResizeSettings f;
    const auto exact = [](double v) { char t[32]; return std::string(t, std::to_chars(t, t + sizeof t, v).ptr); };
    const double* box = s.pageSize;
    const std::pair<bool, std::string> words[] = {
        {s.offsetX != f.offsetX, "offsetX=" + exact(s.offsetX)}, {s.constrainProportions, "con"},
        {s.offsetY != f.offsetY, "offsetY=" + exact(s.offsetY)}, {s.center, "center"}, {s.noScale, "noscale"},
        {s.hasPageSize(), "size=" + exact(box[0]) + ',' + exact(box[1]) + ',' + exact(box[2]) + ',' + exact(box[3])},
        {s.scale != f.scale, "scale=" + exact(s.scale)}, {s.scaleX != f.scaleX, "scaleX=" + exact(s.scaleX)},
        {s.scaleY != f.scaleY, "scaleY=" + exact(s.scaleY)}, {s.evenPagesOnly, "even"}, {s.oddPagesOnly, "odd"},
        {!s.pageRanges.empty(), "s=" + s.pageRanges}, {!s.paperName.empty(), "paper=" + s.paperName},
        {!s.password.empty(), "password=" + s.password}, {s.visible, "visible"}, {s.noEnlarge, "noenlarge"},
        {s.keepSize, "keepsize"}};
    std::string text;
    for (const auto& [changed, word] : words) text += changed ? (text.empty() ? "" : " ") + word : "";
    return text;
}

// "[input output|]changed fields|printed", or the error; unless `files` is false the options follow two names.
std::string parse(Texts options, bool files = true) {
    if (files) options.insert(options.begin(), {"a.pdf", "b.pdf"});
    std::string input, output;
    ResizeSettings settings;
    const auto [printed, error] = outcomeOf(
        [&](int count, const char* const* argv) { parseOptions(count, argv, input, output, settings); }, options);
    if (!error.empty()) return error;
    return (files ? "" : input + " " + output + "|") + changedFields(settings) + "|" + printed;
}

TEST(OptionParser, RulesOrderAndWarnings) {
    const Texts unknown = {"-offsetx", "-offsety-", "-Con", "-CENTER", "-Scale50", "-cneter", "-page4", "x.pdf", "",
                           "-", "-S1"};
    const std::pair<Texts, std::string> rows[] = {
        {{}, "|"}, {{"-scale150", "-scalex200"}, "scale=150 scaleX=200 scaleY=150|"},
        {{"-scalex200", "-scaley30", "-scale150"}, "scale=150 scaleX=150 scaleY=150|"},
        // Numbers as sscanf's %lf reads them: blanks, sign, fraction, exponent; the rest is ignored.
        {{"-offsetx-36", "-offsety+1.5e-1x", "-scalex .5", "-scaley12e"}, "offsetX=-36 offsetY=0.15 scaleX=0.5 scaleY=12|"},
        // "-offset" does not begin with "-s": without a number it matches nothing; case matters. Each is named.
        {unknown, "|" + ignored(unknown)},
        // The names of unknown options come as they are met, before the combination warnings.
        {{"-con", "-pagesL", "-f"}, "|" + ignored({"-pagesL", "-f"}) + constrain},
        {{"-sodd", "-seven", "-noscale"}, "noscale even odd|"}, {{"-s1,3-4", "-soddx", "-s2"}, "s=-s2|"},
        // Paper names match whole, without regard to case; rows with the larger side first are used as stored.
        {{"-pageL", "letter"}, "size=0,0,792,612 paper=letter|"}, {{"-pageL", "C2"}, "size=0,0,578,1837 paper=C2|"},
        {{"-page", "lEtTeR"}, "size=0,0,612,792 paper=lEtTeR|"}, {{"-password", "-con", "-s2"}, "s=-s2 password=-con|"},
        // An empty name finds the table's first empty row: a success that sets no page size.
        {{"-page", "a3", "-page", ""}, "|"}, {{"-pagesize", "-10.5,0,1e3,2E2junk"}, "size=-10.5,0,1000,200|"},
        {{"-page", "a4", "-pagesize", "0,0,10,20"}, "size=0,0,10,20 paper=a4|"},
        {{"-pagesize", "0,0,10,20", "-pageL", "a5", "-con", "-s2"}, "con size=0,0,595,420 s=-s2 paper=a5|"},
        {{"-center", "-con", "-page", "a4"}, "con center size=0,0,595,842 paper=a4|"},
        {{"-center", "-pagesize", "0,0,5,5"}, "size=0,0,5,5|Can't center if not using constrained proportions, use "
                                              "-con option to constrain proportions\n"},
        // Clearing both flags with the first warning leaves nothing for the second.
        {{"-con", "-center"}, "|" + constrain}, {{"-con", "-pagesize", "0,0,0,0"}, "|" + constrain},
        {{"-keepsize", "-visible", "-noenlarge"}, "visible noenlarge keepsize|"},
        // The page itself is what -keepsize centres in: -center needs neither -con nor a size.
        {{"-scale90", "-center", "-keepsize"}, "center scale=90 scaleX=90 scaleY=90 keepsize|"},
        {{"-keepsize", "-con", "-center"}, "center keepsize|" + constrain},
    };
    for (const auto& [options, expected] : rows) EXPECT_EQ(parse(options), expected) << testing::PrintToString(options);
    // A number rule without its number falls through to the page selection.
    for (const char* argument : {"-scale", "-scalex", "-scale-", "-scale.", "-scalee5", "-scaleinf", "-scale1e999"})
        EXPECT_EQ(parse({argument}), std::string("s=") + argument + "|");
    // The value after "-page" and "-pagesize" is consumed even when it looks like an option.
    for (const char* name : {"a4x", "A", "A4 ", "A11", "Executives", "-con"})
        EXPECT_EQ(parse({"-page", name}), paperError) << '"' << name << '"';
    for (const char* text : {"0,0,842", "0,0,842,", "1 ,2,3,4", "1;2;3;4", "", "a,b,1,2", "1,2,3,1e999", "-scale50"})
        EXPECT_EQ(parse({"-pagesize", text}), sizeError) << '"' << text << '"';
    EXPECT_EQ(parse({"-scale50", "-pageL"}) + parse({"-pagesize"}), std::string(paperError) + sizeError);
    EXPECT_EQ(parse({"-password"}), "wrong -password parameter: the password must follow it\n");
    EXPECT_EQ(parse({"-scale50", "a.pdf", "b.pdf"}, false), "-scale50 a.pdf||" + ignored({"b.pdf"}));
    EXPECT_EQ(parse({"a.pdf"}, false), missingOutputFileMessage);
}

// Records every job; fails like the engine on an empty input name, and on "bad.pdf" with a format-like text.
struct FakeJobRunner {
    std::vector<Texts> jobs;
    Texts inputs;

    JobRunner runner() {
        return [this](int count, const char* const* arguments) {
            jobs.emplace_back(arguments, arguments + count);
            inputs.push_back(arguments[1]);
            if (inputs.back().empty()) throw CPdfException("Input file open error\n");
            if (inputs.back() == "bad.pdf") throw CPdfException("cannot open 100%s%d.pdf\n");
        };
    }
    std::string run(const Texts& texts, const JobRunner& runJob = nullptr) {
        int status = -1;
        const std::string printed = outcomeOf([&](int count, const char* const* arguments) {
            status = runProgram(count, arguments, runJob ? runJob : runner());
        }, texts).first;
        return std::to_string(status) + " " + printed;
    }
};

// The banner, checked for its parts; the usage text writes the version as "v1.02".
std::string banner(bool usage = false) {
    std::string text = outcomeOf([](int, const char* const*) { printBanner(); }).first;
    const size_t website = text.find("\r\nWebsite: "), email = text.find("\r\nEmail: "), end = text.find("\r\n\r\n");
    EXPECT_TRUE(text.rfind("\r\nQuillmor 1.02  ", 0) == 0 && 17 < website && website + 11 < email &&
                email + 9 < text.find('@', email) && text.find('@', email) < end - 1 && end + 4 == text.size()) << text;
    return usage ? text.insert(std::strlen("\r\nQuillmor "), "v") : text;
}

// The legacy lines are a constant table; the lines of the newer options are pinned as users read them.
TEST(ProgramEntry, UsageHelpAndVersion) {
    const std::string usage = outcomeOf([](int, const char* const*) { printUsage(); }).first;
    const std::string newer =
        "-visible\tsizes as the page is seen (CropBox, Rotate, UserUnit), e.g. -visible -page a4 -con -center\n"
        "-noenlarge\tnever enlarge: smaller pages stay as they are, e.g. -noenlarge -page a4 -con -center\n"
        "-keepsize\tkeep the page size, scale the content, e.g. -keepsize -scale90 -center (5% margin)\n"
        "-\t\tas <input file>: standard input; as <output file>: standard output, messages then go to standard "
        "error, e.g. cat in.pdf | quillmor - - -page a4 > out.pdf\n"
        "-info <file> [options] before all: print each page's boxes and size as seen and what the options would "
        "make of it, write nothing, e.g. quillmor -info in.pdf -page a4 -con\n";
    EXPECT_EQ(usage.substr(0, banner(true).size() + 12), banner(true) + "Parameters:\n");
    EXPECT_TRUE(usage.size() > newer.size() && usage.compare(usage.size() - newer.size(), newer.size(), newer) == 0)
        << usage;
    // Asked for alone, help and version answer with status 0; in other places they are names.
    const std::pair<Texts, std::string> rows[] = {
        {{}, "0 " + usage}, {{"--help"}, "0 " + usage}, {{"-h"}, "0 " + usage},
        {{"--version"}, "0 quillmor 1.02\nLicence: Apache-2.0 (Apache License, Version 2.0; see the file LICENSE)\n"},
        {{"-h", "-fout"}, "1 " + banner() + "Unable to open file list: '-h'\r\n"},
        {{"--version", "out.pdf"}, "0 " + banner() + done}, {{"--help", "-fout"}, "0 " + banner() + done},
    };
    for (const auto& [arguments, expected] : rows) EXPECT_EQ(FakeJobRunner().run(arguments), expected);
}

TEST(ProgramEntry, JobsListsTheirMessagesAndStatuses) {
    TempDir folder;
    const std::string list = folder.file("list.txt"), failing = folder.file("bad.txt"), empty = folder.file("e.tx1");
    const std::string directory = folder.file("d.txt"), out = "-f" + folder.file("o"), dash = folder.file("-.txt");
    writeFile(list, "a.pdf\n"), writeFile(failing, "a.pdf\nbad.pdf\nc.pdf\n"), writeFile(empty, "");
    writeFile(dash, "-\n"), fs::create_directory(directory);
    const std::string ok = "0 " + banner(), failed = "1 " + banner(), failure = "cannot open 100%s%d.pdf\n";
    const std::string wildcards = "1 \nError! Wildcards * are not permitted, if you want to process many files then "
                                  "do: dir /B *.pdf > list.txt, then quillmor list.txt -fc:\\test\n\n";
    const std::tuple<Texts, std::string, Texts> rows[] = {
        {{"in.pdf", "out.pdf", "-s1"}, ok + done, {"in.pdf"}}, {{"bad.pdf", "out.pdf"}, failed + failure, {"bad.pdf"}},
        // Only ".tx" four characters from the end (case-sensitive) or a name of four characters at most make a list.
        {{"LIST.TXT", "-fout"}, ok + done, {"LIST.TXT"}}, {{"list.txt.pdf", "-fout"}, ok + done, {"list.txt.pdf"}},
        {{"abcd", out}, failed + "Unable to open file list: 'abcd'\r\n", {}},
        // "-" is standard input, a PDF: a list file after it would need a name of its own.
        {{"-", "-"}, ok + done, {"-"}}, {{dash, out}, ok + done, {"./-"}},
        {{"-", out}, failed + "A list file cannot be standard input ('-'): give the name of the list file, e.g. "
                              "quillmor list.txt -fout\n", {}},
        // Wildcards are refused before anything else, but a lone one is an input without an output name.
        {{"*.pdf", "out.pdf"}, wildcards, {}}, {{"a.pdf", "o*.pdf"}, wildcards, {}},
        {{list, out, "-s*"}, wildcards, {}}, {{"in.pdf", "out.pdf", "-password", "p*ss"}, ok + done, {"in.pdf"}},
        {{"*.pdf"}, failed + missingOutputFileMessage, {}},
        {{failing, out}, failed + done + failure, {"a.pdf", "bad.pdf"}}, {{empty, out}, ok, {}},
        // "-f" alone would put every output at the root of the file system.
        {{list}, failed + folderMessage, {}}, {{list, "out"}, failed + folderMessage, {}},
        {{list, "-Fout"}, failed + folderMessage, {}}, {{list, "-f", "-scale50"}, failed + folderMessage, {}},
        // A list that cannot be read must not pass for an empty one.
        {{directory, out}, failed + "Unable to read file list: '" + directory + "'\r\n", {}},
    };
    for (const auto& [arguments, expected, inputs] : rows) {
        FakeJobRunner fake;
        EXPECT_EQ(fake.run(arguments), expected) << arguments[0];
        EXPECT_EQ(fake.inputs, inputs) << arguments[0];
    }
    // A single job gets the program's arguments as they are.
    FakeJobRunner fake;
    fake.run({"in.pdf", "out.pdf", "-s1"});
    EXPECT_EQ(fake.jobs, (std::vector<Texts>{{"quillmor", "in.pdf", "out.pdf", "-s1"}}));
    const JobRunner throwsOther = [](int, const char* const*) { throw 1; };
    EXPECT_EQ(fake.run({"in.pdf", "out.pdf"}, throwsOther), failed + "Unexpected exception\n");
    // A message without a line end gets one, so that the shell's prompt starts on a line of its own.
    for (const char* message : {"Corrupted PDF file", ""}) {
        const JobRunner throwsBare = [message](int, const char* const*) { throw CPdfException(message); };
        EXPECT_EQ(fake.run({"in.pdf", "out.pdf"}, throwsBare), failed + message + "\n");
    }
}

TEST(BatchList, EveryLineIsOneJobWithTheSameOptionsUntilAnEmptyLine) {
    TempDir folder;
    const std::string list = folder.file("list.txt"), out = folder.file("out");
    // CR LF and LF line ends, blanks kept in names, a last line without a line end.
    writeFile(list, "a.pdf\r\nsub/b.pdf\r\n c d.pdf\t\nlast.pdf");
    FakeJobRunner fake;
    EXPECT_EQ(fake.run({list, "-f" + out, "-scale50", "-s1"}), "0 " + banner() + done + done + done + done);
    EXPECT_TRUE(fs::is_directory(out));
    const auto job = [&](const std::string& in) { return Texts{"quillmor", in, out + "/" + in, "-scale50", "-s1"}; };
    EXPECT_EQ(fake.jobs, (std::vector<Texts>{job("a.pdf"), job("sub/b.pdf"), job(" c d.pdf\t"), job("last.pdf")}));

    constexpr std::size_t piece = 254;  // the most one read of a list line takes
    const std::string first(piece, 'a'), second(piece, 'b'), exact(piece, 'e'), exactBeforeCr(piece - 1, 'r');
    // A line end that falls alone into the next piece is no empty line; a real empty line after it is.
    writeFile(list, first + second + "tail.pdf\n" + exact + "\n" + exactBeforeCr + "\r\n" + exact + "\n\nz\n");
    FakeJobRunner pieces;
    std::string expected = "1 " + banner();
    for (int n = 0; n < 6; ++n) expected += done;
    EXPECT_EQ(pieces.run({list, "-f" + out}), expected + "Input file open error\n");
    EXPECT_EQ(pieces.inputs, (Texts{first, second, "tail.pdf", exact, exactBeforeCr, exact, ""}));
    // A folder too long to be made still reaches the job whole; the job reports the failure.
    writeFile(list, "a.pdf\n");
    pieces.run({list, "-f" + first + second});
    EXPECT_EQ(pieces.jobs.back()[2], first + second + "/a.pdf");
}

}  // namespace
