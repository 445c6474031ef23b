#pragma once

#include <string>

// The options of one job, filled by the option parser and only read by the resize engine.
struct ResizeSettings {
    double offsetX = 0;
    double offsetY = 0;
    bool constrainProportions = false;
    bool center = false;
    bool noScale = false;
    double pageSize[4] = {0, 0, 0, 0};  // x1, y1, x2, y2; all zero: no target size
    double scale = 100;
    double scaleX = 100;
    double scaleY = 100;
    bool evenPagesOnly = false;
    bool oddPagesOnly = false;
    bool incremental = false;  // the output is the input's bytes and an update after them
    bool visible = false;      // sizes, factors and placement are those of the page as a reader shows it
    bool noEnlarge = false;    // no factor above 1: small pages stay as they are
    bool keepSize = false;     // the page boxes stay; only the content is scaled (and moved)
    std::string pageRanges;
    std::string paperName;
    std::string password;  // the user or the owner password; empty: none given

    bool hasPageSize() const {
        return pageSize[0] != 0 || pageSize[1] != 0 || pageSize[2] != 0 || pageSize[3] != 0;
    }
};

// The file name that stands for standard input (as the input) or standard output (as the output).
inline constexpr char standardStreamName[] = "-";

// One job as the command line gives it: which file is resized into which, and how.
struct JobRequest {
    std::string inputFileName;
    std::string outputFileName;
    ResizeSettings settings;
    // How messages name the input when inputFileName is a stand-in (the copy of standard input).
    std::string inputLabel = {};

    const std::string& shownInputName() const { return inputLabel.empty() ? inputFileName : inputLabel; }
};
