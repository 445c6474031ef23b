#pragma once
// Renders of pages with mutool, and the comparison of a page drawn at twice its size (at half the
// resolution) with the input's page.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>

#include "tests/integration/Jobs.h"

inline constexpr int kFullResolution = 72;  // one pixel per point
inline constexpr int kHalfResolution = 36;
// A gray level at or above this counts as paper, below it as ink.
inline constexpr int kPaper = 250;
inline constexpr int kWhite = 255;

// A -scale200 page drawn at half the resolution puts every point on the input's pixel at full
// resolution; only values written with two decimals (annotation rectangles) move an edge by under
// a pixel: measured, below 0.06 gray levels on average and 1.2% of the ink. A lost, misplaced or
// wrongly scaled element changes at least as much as its ink, far beyond both limits.
inline constexpr double kMaxMeanDifference = 0.5;
inline constexpr double kMaxDifferenceShareOfInk = 0.05;

struct Image {
    int width = 0, height = 0;
    std::string gray;

    int at(int x, int y) const { return static_cast<unsigned char>(gray[static_cast<size_t>(y) * width + x]); }
};

// The page drawn by mutool in gray, read back from its binary PGM: "P5", width, height, maximum, pixels.
inline Image render(const TempDir& dir, const std::string& pdf, int resolution, int page, const std::string& name) {
    const std::string pgm = dir.file(name + ".pgm");
    Image image;
    if (runCommand("mutool draw -q -r " + std::to_string(resolution) + " -c gray -o " + shellQuote(pgm) + " " +
                   shellQuote(pdf) + " " + std::to_string(page))
            .status != 0) {
        return image;
    }
    std::istringstream in(readFile(pgm));
    std::string magic;
    int maximum = 0;
    in >> magic >> image.width >> image.height >> maximum;
    in.get();  // the one white-space byte before the pixels
    image.gray.assign(std::istreambuf_iterator<char>(in), {});
    if (magic != "P5" || image.gray.size() != static_cast<size_t>(image.width) * image.height) return Image();
    return image;
}

// The output of the job, made in its own folder below `dir`; the test fails where the job did.
inline std::string resized(const std::string& input, const TempDir& dir, const std::string& name,
                           const std::string& options) {
    std::filesystem::create_directory(dir.file(name));
    const Job job = runJob(input, dir.file(name), options);
    EXPECT_EQ(job.problem, "");
    EXPECT_EQ(job.run.status, 0) << job.run.output;
    return job.output;
}

inline void expectDoubledPageLooksLikeTheInput(const TempDir& dir, const std::string& input,
                                               const std::string& output, int page) {
    const Image before = render(dir, input, kFullResolution, page, "before");
    const Image after = render(dir, output, kHalfResolution, page, "after");
    ASSERT_GT(before.width, 0);
    ASSERT_EQ(after.width, before.width);
    ASSERT_EQ(after.height, before.height);
    double difference = 0, ink = 0;
    for (size_t i = 0; i < before.gray.size(); ++i) {
        const int a = static_cast<unsigned char>(before.gray[i]);
        difference += std::abs(a - static_cast<unsigned char>(after.gray[i]));
        ink += kWhite - a;
    }
    ASSERT_GT(ink, 0) << "a blank page proves nothing";
    EXPECT_LT(difference / before.gray.size(), kMaxMeanDifference);
    EXPECT_LT(difference / ink, kMaxDifferenceShareOfInk);
}

