#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/ResizeSettings.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/PageRecord.h"

class CInputFile;
class CPdfDocument;
class OutputEncryption;
class OutputWriter;
class RawObjectReader;

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

    // The page records of the job's page pass, in page order.
    const std::vector<PageRecord>& getPageRecords() const { return records_; }

private:
    void openInput();
    // Refuses an encrypted input that cannot be opened without a password; for one that can,
    // prepares the encryption of what the job writes anew.
    void setUpEncryption();
    uint32_t readPagesNumber();
    void collectPages();
    // Unselects, with a warning each, the selected pages that cannot be resized (no area, or
    // factors that are not finite numbers), so that they are copied unchanged.
    void leaveUnresizablePages();
    uint32_t getPageCount();
    void rewritePages();
    void finishOutput();

    std::string inputFileName_;
    std::string outputFileName_;
    std::unique_ptr<CPdfDocument> document_;
    CPdfXRef* xref_ = nullptr;  // owned by the document
    ObjectRef info_;
    ObjectRef root_;
    uint32_t pagesNumber_ = 0;
    uint32_t pageCount_ = 0;
    std::unique_ptr<OutputWriter> output_;
    std::unique_ptr<OutputEncryption> encryption_;  // null for a plain input
    std::unique_ptr<RawObjectReader> reader_;
    ResizeSettings settings_;
    std::vector<PageRecord> records_;
    std::vector<bool> knownStreams_;  // see copyObjects
};
