#pragma once
// The real program run as a user would, and what every job owes its user whatever its input: status 0, "Done."
// and the output, or status 1, a message and no file; never a changed input, a stray file, a crash or a hang.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/GeneratedPdfs.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

// qpdf --check: 0 is clean, 2 means errors, 3 warnings only.
constexpr int kQpdfErrors = 2;
constexpr int kQpdfWarnings = 3;

struct Job {
    CommandResult run;
    std::string output;   // folder + "/out.pdf"
    std::string problem;  // a broken promise, or empty
};

// `folder` holds nothing but, perhaps, the input. A generous time limit turns a hang into a failure.
inline Job runJob(const std::string& input, const std::string& folder, const std::string& options) {
    namespace fs = std::filesystem;
    Job job;
    job.output = folder + "/out.pdf";
    const std::string before = readFile(input);
    job.run = runCommand("timeout 60 " + shellQuote(QUILLMOR_BINARY) + " " + shellQuote(input) + " " +
                         shellQuote(job.output) + " " + options);
    const std::string& console = job.run.output;
    size_t left = 0;
    for (const auto& entry : fs::directory_iterator(folder)) left += entry.path() != fs::path(input);
    const bool written = fs::exists(job.output);
    const bool done = console.find("\nDone.\n") != std::string::npos;
    // The job's own message follows the names of the files (the output's once the input is read).
    std::string said = console.substr(std::min(console.find("Input file: '" + input + "'"), console.size()));
    for (const std::string& named : {"Input file: '" + input + "'", ", output file: '" + job.output + "'\n"}) {
        if (said.compare(0, named.size(), named) == 0) said.erase(0, named.size());
    }
    const bool saysWhy = said.find_first_not_of(" \r\n") != std::string::npos;
    const int status = job.run.status;
    const std::pair<bool, const char*> promises[] = {
        {readFile(input) != before, "the input changed"},
        {left > (written ? 1u : 0u), "stray files beside the output"},
        {console.find("Unexpected exception") != std::string::npos, "an unexpected exception"},
        {status == 0 && !(written && done), "status 0 without \"Done.\" and the output"},
        {status == 1 && (written || done || !saysWhy), "status 1 with an output, with \"Done.\" or without a message"},
        {status != 0 && status != 1, "a status other than 0 and 1"}};
    for (const auto& [broken, what] : promises) {
        if (broken && job.problem.empty()) job.problem = what + (": " + console);
    }
    return job;
}

// A job that must succeed, in the folder `name` it makes below `dir`; the test fails where it did not.
inline Job succeeded(const std::string& input, const TempDir& dir, const std::string& name,
                     const std::string& options) {
    std::filesystem::create_directory(dir.file(name));
    Job job = runJob(input, dir.file(name), options);
    EXPECT_EQ(job.problem + std::to_string(job.run.status), "0") << job.run.output;
    return job;
}

struct OptionSet {
    const char* name;
    const char* options;
};

inline void PrintTo(const OptionSet& set, std::ostream* out) { *out << set.options; }

// The option sets users reach for, which the whole-program tests run.
inline const OptionSet kOptionSets[] = {
    {"NoOptions", ""},
    {"ScaleXY", "-scalex200 -scaley150"},  // a uniform -scale takes the same path
    {"A4Centred", "-page a4 -con -center"},
    {"LetterLandscape", "-pageL letter -con"},
    {"PageSizeFirstPage", "-pagesize 0,0,1000,500 -s1"},
    {"NoScaleCentred", "-noscale -pagesize 0,0,1234,1234 -con -center -scale100"},
    {"Offsets", "-offsetx10 -offsety-20"},
};

inline constexpr int kFullResolution = 72;  // one pixel per point
inline constexpr int kHalfResolution = 36;
// A gray level at or above this counts as paper, below it as ink.
inline constexpr int kPaper = 250;
inline constexpr int kWhite = 255;
inline constexpr int kBlock = 3;  // points compared as one

// The program run in `folder`.
inline CommandResult inFolder(const std::string& folder, const std::string& arguments) {
    return runCommand("cd " + shellQuote(folder) + " && " + shellQuote(QUILLMOR_BINARY) + " " + arguments);
}

// How often `part` occurs in `text`.
inline size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

struct Placement {
    double pageWidth, pageHeight, factorX, factorY, left, bottom;  // in points, from the lower-left corner
};

// The gray of the rectangle [x0, x1) x [y0, y1) of `image`'s pixels, white beyond its edges.
inline double areaGray(const Image& image, double x0, double x1, double y0, double y1) {
    double sum = 0;
    for (int y = static_cast<int>(std::floor(y0)); y < y1; ++y) {
        const double wy = std::min<double>(y1, y + 1) - std::max<double>(y0, y);
        for (int x = static_cast<int>(std::floor(x0)); x < x1; ++x) {
            const double wx = std::min<double>(x1, x + 1) - std::max<double>(x0, x);
            const bool inside = x >= 0 && y >= 0 && x < image.width && y < image.height;
            sum += wx * wy * (inside ? image.at(x, y) : kWhite);
        }
    }
    return sum / ((x1 - x0) * (y1 - y0));
}

// The output page, drawn at one pixel per point, has the size the placement gives and looks like
// the input's drawing (at `inputScale` pixels per point) resized and placed there on white paper.
inline void expectPlacedLikeTheInput(const Image& before, double inputScale, const Image& after, const Placement& p,
                                     double maxShareOfInk) {
    ASSERT_GT(before.width, 0);
    ASSERT_GT(after.width, 0);
    EXPECT_NEAR(after.width, p.pageWidth, 1.5);
    EXPECT_NEAR(after.height, p.pageHeight, 1.5);
    const double top = p.pageHeight - p.bottom - before.height / inputScale * p.factorY;
    double difference = 0, ink = 0;
    for (int y = 0; y + kBlock <= after.height; y += kBlock) {
        for (int x = 0; x + kBlock <= after.width; x += kBlock) {
            const double expected = areaGray(before, (x - p.left) / p.factorX * inputScale,
                                             (x + kBlock - p.left) / p.factorX * inputScale,
                                             (y - top) / p.factorY * inputScale, (y + kBlock - top) / p.factorY * inputScale);
            const double actual = areaGray(after, x, x + kBlock, y, y + kBlock);
            difference += std::abs(expected - actual);
            ink += kWhite - expected;
        }
    }
    ASSERT_GT(ink, 0) << "a blank page proves nothing";
    EXPECT_LT(difference / ink, maxShareOfInk);
}

// A page drawn at twice its size and half the resolution looks like the input's page: measured, its blocks differ
// by under 0.5% of the ink, by 2.2% or more when moved by two points; a lost element changes as much as its ink.
inline constexpr double kMaxDoubledDifference = 0.02;
inline void expectDoubledPageLooksLikeTheInput(const std::string& input, const std::string& output, int page) {
    const Image before = render(input, kFullResolution, page);
    const Placement same{double(before.width), double(before.height), 1, 1, 0, 0};
    expectPlacedLikeTheInput(before, 1, render(output, kHalfResolution, page), same, kMaxDoubledDifference);
}
