#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pdf/xref/PdfXRef.h"
#include "platform/OutputFile.h"
#include "resize/PageRecord.h"
#include "resize/ResizeSettings.h"

class CInputFile;
class CopyPass;
class CPdfDocument;
class OutputEncryption;
class OutputWriter;
class RawObjectReader;

// One job: one input PDF resized into one output PDF.
class CQuillmorHandler {
public:
    // `standardOutput` is where an output named "-" goes (OutputFile::takeStandardOutput).
    explicit CQuillmorHandler(JobRequest job, std::unique_ptr<OutputFile> standardOutput = nullptr);
    virtual ~CQuillmorHandler();
    CQuillmorHandler(const CQuillmorHandler&) = delete;
    CQuillmorHandler& operator=(const CQuillmorHandler&) = delete;

    // Runs the whole job; throws CPdfException on every error and then leaves no output file.
    void resizeFile();
    // Opens the input and finds its pages, and those the options select, as resizeFile does; writes
    // nothing. One record per page of the tree, in page order.
    std::vector<PageRecord> surveyPages();

private:
    void openInput();
    void createOutput(bool toStandardOutput);
    // For a new file written whole and every page selected: the output with the input's header,
    // and the copy that runs during the page walk. Null otherwise, or when the output cannot be
    // created yet.
    std::unique_ptr<CopyPass> startCopyDuringWalk(bool toStandardOutput);
    // A new output holding the input's header, and the raw reader that copies into it.
    void startWholeOutput(bool toStandardOutput);
    // Drops the copy, the raw reader and the output with what it holds.
    void dropOutput(std::unique_ptr<CopyPass>& copy);
    void openRawReader();
    // Refuses an encrypted input that cannot be opened without a password; for one that can,
    // prepares the encryption of what the job writes anew.
    void setUpEncryption();
    void selectPages(uint32_t pageCount);
    // Unselects, with a warning each, the selected pages that cannot be resized (no area, or
    // factors that are not finite numbers), so that they are copied unchanged.
    void leaveUnresizablePages();
    void rewritePages();
    void finishOutput();
    // The signature line: signatures stay valid under an update, not under a whole new file.
    void reportSignatures(bool update) const;
    // An update starts with the input's bytes, whole, and a line end if they lack one.
    void copyInputForUpdate();
    void finishUpdate();
    // Closes the input and names the output.
    void closeAndCommit();

    const JobRequest job_;  // read-only for the whole job
    std::unique_ptr<OutputFile> standardOutput_;
    std::unique_ptr<CPdfDocument> document_;
    CPdfXRef* xref_ = nullptr;  // owned by the document
    ObjectRef info_;
    ObjectRef root_;
    std::unique_ptr<OutputWriter> output_;
    std::unique_ptr<OutputEncryption> encryption_;  // null for a plain input
    std::unique_ptr<RawObjectReader> reader_;
    std::vector<PageRecord> records_;
    std::vector<bool> knownStreams_;  // see copyObjects
};
