#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pdf/xref/PdfXRef.h"

class CInputFile;
class OutputEncryption;
class OutputWriter;
struct ObjectHead;

// Where an in-use (type 1) object's bytes lie in the input file.
struct RawObjectSpan {
    uint64_t position = 0;  // file position of the object's header
    uint32_t length = 0;    // through the byte after its "endobj"
    bool isStream = false;
    bool isObjectStream = false;  // a stream whose own dictionary has /Type /ObjStm
};

// Raw access to the input's objects by number, through the job's own handle on the input.
class RawObjectReader {
public:
    // `headerStart` is the position of "%PDF-" in the file, added to every entry offset.
    RawObjectReader(CInputFile& file, CPdfXRef& xref, uint32_t headerStart);

    // The object's bytes from its header through the byte after "endobj" (rebuilt with a
    // " 0 obj\r" header for objects in object streams); false when it cannot be read.
    bool readRawObject(uint32_t objectNumber, std::string& out);

    // With an encrypted input, the strings of rebuilt objects are encrypted for their new place
    // (not owned; null for a plain input).
    void setRebuiltStringEncryption(const OutputEncryption* encryption) { encryption_ = encryption; }

    // The extent of a type 1 object; false for other entries and when no "endobj" ends it.
    // A stream's "endobj" is searched after the data its /Length gives, so data holding
    // "endobj" stays whole; an unusable /Length falls back to the first "endobj".
    bool locateObject(uint32_t objectNumber, RawObjectSpan& span);
    // Whether a type 1 object's first bytes begin a stream ("n g obj << ... >> stream"), without
    // looking for its end.
    bool headShowsStream(uint32_t objectNumber);
    // Writes the bytes of a located object, joining the copy of the object before when it ends
    // where this one starts.
    void copySpan(const RawObjectSpan& span, OutputWriter& output);

    // File offset of the last byte of the first occurrence of `pattern` at or after `start`; 0 when none.
    uint32_t findBytesInFile(uint32_t start, const char* pattern, size_t patternLength);

    // Writes the input's bytes before its first object (from the header on).
    void copyHeader(OutputWriter& output);

private:
    // Scans the head of the object at `position`; false when its header names another object.
    bool readHead(uint32_t objectNumber, uint64_t position, ObjectHead& head);
    bool findObjectEnd(uint32_t objectNumber, uint64_t position, uint64_t& end, RawObjectSpan& span);
    uint64_t streamDataLength(uint32_t objectNumber, const ObjectHead& head, bool& usable);
    bool endstreamFollows(uint64_t dataEnd);
    uint64_t findInFile(uint64_t start, const char* pattern, size_t patternLength);
    // Whether an earlier search showed that no occurrence of `pattern` starts at or after `start`.
    bool knownAbsent(const char* pattern, size_t patternLength, uint64_t start) const;
    void noteAbsent(const char* pattern, size_t patternLength, uint64_t start);
    void loadWindow(uint64_t position, size_t length);
    bool windowHolds(const RawObjectSpan& span) const;

    CInputFile& file_;
    CPdfXRef& xref_;
    uint32_t headerStart_;
    const OutputEncryption* encryption_ = nullptr;
    // Buffers only grow, so that no read pays for clearing bytes it is about to overwrite.
    // The first bytes of the object located last; small objects are copied straight from here.
    std::vector<char> window_;
    size_t windowLength_ = 0;
    uint64_t windowPosition_ = 0;
    std::vector<char> searchBlock_;
    // The last pattern a search did not find, and from where on it is absent: objects without an
    // "endobj" would otherwise each search the rest of the file.
    std::string absentPattern_;
    uint64_t absentFrom_ = 0;
};
