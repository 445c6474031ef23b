#include "cli/Usage.h"

#include <cstdio>
#include <initializer_list>
#include <string>

namespace {

constexpr char productName[] = "Quillmor";
constexpr char productVersion[] = "1.02";
constexpr char authorNotice[] = "(c) The Quillmor developers";
constexpr char website[] = "https://quillmor.example.org";
constexpr char supportEmail[] = "support@quillmor.example.org";
constexpr char commandName[] = "quillmor";
constexpr char licenceLine[] = "Licence: Apache-2.0 (Apache License, Version 2.0; see the file LICENSE)\n";

void printHeader(const std::string& version) {
    const std::string header = std::string("\r\n") + productName + " " + version + "  " + authorNotice + "\r\n" +
                               "Website: " + website + "\r\n" + "Email: " + supportEmail + "\r\n\r\n";
    std::fputs(header.c_str(), stdout);
}

constexpr const char* usageLines[] = {
    "Parameters:\n",
    "<input file> input file\n",
    "<output file> output file\n",
    "-scale(n)\tscale percentage from current page size (ignores -pagesize setting below)\n",
    "-scalex(n)\tscale percentage from current page size X coordinate (ignores -pagesize setting below)\n",
    "-scaley(n)\tscale percentage from current page size Y coordinate (ignores -pagesize setting below)\n",
    "-pagesize (n),(n),(n),(n)\tscale to output page size instead of using % scale parameter e.g. 0,0,842,1191"
    "    (ignores above -scale)\n",
    "-page <text> scale to output page size in portrait mode instead of using % scale or -pagesize e.g. -page a4\n",
    "-pageL <text> scale to output page size in landscape mode instead of using % scale or -pagesize e.g. -page a4\n",
    "-con\t\tconstrain proportions when using above scale to  -pagesize\n",
    "-center\t\tcenter on page x,y when using above -con and -pagesize\n",
    "-s(n)\t\tfor page ranges, e.g. -s1-2   e.g. -sodd  e.g. -seven\n",
    "-noscale\tfor changing page size with centering -center\n",
    "-offsetx(n)\tfor shifting the content position\n",
    "-offsety(n)\tfor shifting the content position\n",
    "\r\n",
    "Example usage:-\r\n",
    "Quillmor test.pdf out-test.pdf -scale200\r\n",
    "Quillmor test.pdf out-test.pdf -scale200 -s1,3-4,6\r\n",
    "Quillmor test.pdf out-test.pdf -scalex200 -scaley150\r\n",
    "Quillmor test.pdf out-test.pdf -pagesize 0,0,1000,500\r\n",
    "Quillmor test.pdf out-test.pdf -page a4 -con -center\r\n",
    "Quillmor test.pdf out-test.pdf -page a3 -con -center\r\n",
    "Quillmor test.pdf out-test.pdf -page letter -con -center\r\n",
    "Quillmor test.pdf out-test.pdf -pageL letter -con -center\r\n",
    "Quillmor test.pdf out-test.pdf -pagesize 0,0,1000,500 -con -center\r\n",
    "Quillmor test.pdf out-test.pdf -pagesize 0,0,1000,500 -con\r\n",
    "Quillmor test.pdf out-test-noscale.pdf -noscale -pagesize 0,0,1234,1234 -con -center -scale100\r\n",
    "see examples folder for all parameters usage in test.bat, list.bat and list.bat\r\n",
    "NOTE: first 2 parameters have to be filein and fileout respectively\r\n",
    "\r\n",
    "\r\n",
    "NOTE: the parameters have to be in the exact order, i.e. -o parameter has to be at the end, also if your "
    "filename has spaces in it then use double quotes around the filename, e.g. \"c:\\my test\\test file.pdf\"\n",
    "\nWildcards * are not permitted, if you want to process many files then do: dir /B *.pdf > list.txt, then "
    "Quillmor list.txt -fout -scale200\n",
    "\r\n",
    "\r\n",
};

// Options that came after the lines above, one line each ("-name\tmeaning\n"), appended in the
// order they were added so that the text above stays as it always was.
constexpr std::initializer_list<const char*> laterOptionLines = {
    "-keepgoing\twith a list file: go on after a file that fails, then sum up\n",
    "-incremental\tkeep the input's bytes and signatures: append the change as an update\n",
    "-password <text> the user or the owner password of an encrypted input\n",
    "-visible\tsizes as the page is seen (CropBox, Rotate, UserUnit), e.g. -visible -page a4 -con -center\n",
    "-noenlarge\tnever enlarge: smaller pages stay as they are, e.g. -noenlarge -page a4 -con -center\n",
    "-keepsize\tkeep the page size, scale the content, e.g. -keepsize -scale90 -center (5% margin)\n",
    "-\t\tas <input file>: standard input; as <output file>: standard output, messages then go to standard error, "
    "e.g. cat in.pdf | quillmor - - -page a4 > out.pdf\n",
    "-info <file> [options] before all: print each page's boxes and size as seen and what the options would make of "
    "it, write nothing, e.g. quillmor -info in.pdf -page a4 -con\n",
};

}  // namespace

void printBanner() {
    printHeader(productVersion);
}

void printUsage() {
    printHeader(std::string("v") + productVersion);
    for (const char* line : usageLines) {
        std::fputs(line, stdout);
    }
    for (const char* line : laterOptionLines) {
        std::fputs(line, stdout);
    }
}

void printVersion() {
    std::printf("%s %s\n%s", commandName, productVersion, licenceLine);
}
