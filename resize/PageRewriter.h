#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resize/ResizeSettings.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/PageRecord.h"
#include "resize/PageTransform.h"

class ContentFollower;
class OutputEncryption;
class OutputWriter;
class RawObjectReader;
class CPdfDictionary;
class ObjectText;

// What one page rewrite reads and writes; owned by the handler for the job.
struct ResizeJob {
    CPdfXRef& xref;
    const std::vector<XRefEntry>& entries;
    RawObjectReader& reader;
    OutputWriter& output;
    const ResizeSettings& settings;
    const OutputEncryption* encryption = nullptr;  // set when the input is encrypted
    // Objects the copy pass found to be streams; others are read to learn their kind.
    const std::vector<bool>* knownStreams = nullptr;
    // What follows the content outside the pages (destinations, shared annotations); null: the
    // page's own objects only.
    ContentFollower* follower = nullptr;
};

// Rewrites one selected page: its boxes, two new content streams around its content, its
// annotation rectangles and pattern matrices; appends everything to the output.
class PageRewriter {
public:
    explicit PageRewriter(ResizeJob& job);

    // Throws CPdfException when the page cannot be rewritten (unreadable object, non-finite factors).
    void rewritePage(PageRecord& record, const PageTransform& transform);

private:
    // The page's viewports (VP) follow its content; those in the page text are edited there.
    void followViewports(const CPdfDictionary& page, const PageTransform& transform, ObjectText& pageText);

    ResizeJob& job_;
};
