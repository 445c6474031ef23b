#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pdf/xref/PdfXRef.h"
#include "resize/PageRecord.h"

class OutputWriter;
class RawObjectReader;

// Copies the bytes of every input object to the output in ascending object number and records
// their offsets. Free entries, unreadable objects and object streams are left out (the members
// of an object stream are copied one by one in their rebuilt form); the page objects of the
// selected pages get their row but no bytes, since their rewrite comes later.
// The copy may run ahead of the page walk: it then holds back the pages found so far, and copies
// below the object number that it takes the next page to have at least.
class CopyPass {
public:
    CopyPass(RawObjectReader& reader, OutputWriter& output, const std::vector<XRefEntry>& entries);

    // Leaves the object out of the copy; false when the copy has passed it without.
    bool holdBack(uint32_t number);
    // Copies the objects below `bound` that are neither copied yet nor held back.
    void copyBelow(uint32_t bound);
    // Whether the objects passed so far were held back exactly where the selected pages of
    // `records` lie: the copy made so far is then the one a copy after the walk would make.
    bool heldBackAsSelected(const std::vector<PageRecord>& records) const;
    // Copies the rest, holding back the selected pages of `records`. Gives the objects that a
    // selected page names as its /Contents and whose head begins a stream: the copy has their
    // heads at hand, so that the page rewrite need not read them again (it only asks what kind of
    // object they are).
    std::vector<bool> finish(const std::vector<PageRecord>& records);

private:
    void copyObject(uint32_t number);

    RawObjectReader& reader_;
    OutputWriter& output_;
    const std::vector<XRefEntry>& entries_;
    std::vector<bool> heldBack_;
    std::vector<bool> streams_;  // copied objects whose head begins a stream
    std::string rebuilt_;        // the bytes of a member of an object stream
    uint32_t next_ = 0;          // the objects below it are passed
};

// The whole copy at once, after the walk.
std::vector<bool> copyObjects(RawObjectReader& reader, OutputWriter& output,
                              const std::vector<XRefEntry>& entries, const std::vector<PageRecord>& records);
