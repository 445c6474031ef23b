#pragma once

#include <string>

#include "cli/ResizeSettings.h"

// One job: one input PDF resized into one output PDF.
class CQuillmorHandler {
public:
    CQuillmorHandler();
    virtual ~CQuillmorHandler();
    CQuillmorHandler(const CQuillmorHandler&) = delete;
    CQuillmorHandler& operator=(const CQuillmorHandler&) = delete;

    // Runs the whole job; throws CPdfException on every error and then leaves no output file.
    void resizeFile(int argumentCount, const char* const* arguments);

    int parseOptions(int argumentCount, const char* const* arguments);
    const ResizeSettings& getSettings() const { return settings_; }

    // (The engine's private state is its implementer's to lay out.)
private:
    std::string inputFileName_;
    std::string outputFileName_;
    ResizeSettings settings_;
};
