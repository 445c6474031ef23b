#include "resize/RawObjectReader.h"

#include <algorithm>
#include <cstring>

#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/InputFile.h"
#include "pdf/syntax/PdfSyntax.h"
#include "pdf/syntax/SyntaxText.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectHeadScanner.h"
#include "resize/OutputEncryption.h"
#include "resize/OutputWriter.h"

namespace {

constexpr char kEndObj[] = "endobj";
constexpr size_t kEndObjLength = sizeof kEndObj - 1;
constexpr char kEndStream[] = "endstream";
constexpr size_t kEndStreamLength = sizeof kEndStream - 1;
// Blank bytes and comments tolerated between a stream's data and its "endstream".
constexpr size_t kEndStreamSlack = 32;
// An integer object ("n g obj 1234 endobj") fits in this many bytes.
constexpr size_t kIntegerObjectPeek = 64;

// Most objects are a few hundred bytes: start small and double, so reads stay linear in the object.
constexpr size_t kFirstWindow = 512;
// "endobj" mostly stands a few bytes on: a first small block keeps the search from reading far ahead.
constexpr size_t kFirstSearchBlock = 64;
constexpr size_t kLargestSearchBlock = 1 << 20;

constexpr char kRebuiltHeader[] = " 0 obj\r";
constexpr char kHeaderMark[] = "%PDF-";
constexpr size_t kHeaderMarkLength = sizeof kHeaderMark - 1;
// Opens an output whose input had no header: readers look for "%PDF-" near the start and would
// otherwise take any such text in a copied object for the header, and every offset with it.
constexpr char kSubstituteHeader[] = "%PDF-1.4\n";
constexpr char kRebuiltTrailer[] = " endobj\r";


// The first occurrence of `pattern` lying wholly in [first, last), or null.
const char* findPattern(const char* first, const char* last, const char* pattern, size_t length) {
    if (length == 0 || static_cast<size_t>(last - first) < length) return nullptr;
    const char* const limit = last - length + 1;
    const char* at = first;
    while (at < limit) {
        at = static_cast<const char*>(std::memchr(at, pattern[0], static_cast<size_t>(limit - at)));
        if (!at) return nullptr;
        if (std::memcmp(at, pattern, length) == 0) return at;
        ++at;
    }
    return nullptr;
}

// Whether the bytes are "n g obj" followed by an unsigned integer: fetching such an object
// parses a number, never a stream whose own /Length could lead back here.
bool holdsIntegerObject(const char* bytes, size_t length) {
    const SyntaxText syntax(std::string_view(bytes, length));
    const SyntaxToken number = syntax.nextToken(0);
    const SyntaxToken generation = syntax.nextToken(number.last);
    const SyntaxToken obj = syntax.nextToken(generation.last);
    const SyntaxToken value = syntax.nextToken(obj.last);
    return number.is(TokenKind::integer) && generation.is(TokenKind::integer) && syntax.isKeyword(obj, "obj") &&
           value.is(TokenKind::integer) && isDigit(bytes[value.first]) &&
           (value.last == length || !isRegular(bytes[value.last]));
}

}  // namespace

RawObjectReader::RawObjectReader(CInputFile& file, CPdfXRef& xref, uint32_t headerStart)
    : file_(file), xref_(xref), headerStart_(headerStart) {}

bool RawObjectReader::readRawObject(uint32_t objectNumber, std::string& out) {
    const std::vector<XRefEntry>& entries = xref_.getEntries();
    if (objectNumber >= entries.size()) return false;
    const XRefEntry& entry = entries[objectNumber];
    if (entry.type == XRefEntryType::inUse) {
        RawObjectSpan span;
        if (!locateObject(objectNumber, span)) return false;
        if (windowHolds(span)) {
            out.assign(window_.data() + (span.position - windowPosition_), span.length);
            return true;
        }
        out.resize(span.length);
        const size_t got = file_.readAt(span.position, reinterpret_cast<uint8_t*>(&out[0]), span.length);
        out.resize(got);
        return true;
    }
    if (entry.type != XRefEntryType::compressed) return false;
    uint32_t length = 0;
    const char* text = xref_.getCompressedObjectText(static_cast<int32_t>(objectNumber), 0, length);
    if (!text || length == 0) return false;
    out = formatInteger(objectNumber);
    out += kRebuiltHeader;
    if (encryption_) {
        out += encryption_->encryptRebuiltStrings(std::string_view(text, length), objectNumber);
    } else {
        out.append(text, length);
    }
    out += kRebuiltTrailer;
    return true;
}

bool RawObjectReader::locateObject(uint32_t objectNumber, RawObjectSpan& span) {
    span = RawObjectSpan();
    const std::vector<XRefEntry>& entries = xref_.getEntries();
    if (objectNumber >= entries.size() || entries[objectNumber].type != XRefEntryType::inUse) return false;
    const uint64_t position = static_cast<uint64_t>(headerStart_) + entries[objectNumber].offset;
    if (position >= file_.size()) return false;
    uint64_t end = 0;
    span.position = position;
    if (!findObjectEnd(objectNumber, position, end, span)) return false;
    span.length = static_cast<uint32_t>(end - position);
    return true;
}

bool RawObjectReader::headShowsStream(uint32_t objectNumber) {
    const std::vector<XRefEntry>& entries = xref_.getEntries();
    if (objectNumber >= entries.size() || entries[objectNumber].type != XRefEntryType::inUse) return false;
    const uint64_t position = static_cast<uint64_t>(headerStart_) + entries[objectNumber].offset;
    ObjectHead head;
    return position < file_.size() && readHead(objectNumber, position, head) && head.status == ObjectHead::Status::stream;
}

bool RawObjectReader::readHead(uint32_t objectNumber, uint64_t position, ObjectHead& head) {
    const uint64_t fileSize = file_.size();
    size_t windowLength = static_cast<size_t>(std::min<uint64_t>(kFirstWindow, fileSize - position));
    for (;;) {
        loadWindow(position, windowLength);
        const bool complete = position + windowLength_ >= fileSize;
        head = scanObjectHead(window_.data(), windowLength_, complete);
        if (head.status != ObjectHead::Status::needMore) break;
        // A head still open where an "endobj" already stands is no stream head, and a window that
        // cannot grow (a short read) will not tell more: stop reading.
        const uint64_t windowSearched = position + windowLength_ - std::min(windowLength_, kEndObjLength - 1);
        if (windowLength >= fileSize - position || knownAbsent(kEndObj, kEndObjLength, windowSearched) ||
            findPattern(window_.data(), window_.data() + windowLength_, kEndObj, kEndObjLength)) {
            head.status = ObjectHead::Status::plain;
            break;
        }
        windowLength = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(windowLength) * 2, fileSize - position));
    }

    // Bytes that are not this object's (a stale or wrong offset) would give the output a
    // cross-reference row pointing at another object; the reader takes the object for absent too.
    const XRefEntry& entry = xref_.getEntries()[objectNumber];
    return head.hasHeader && head.number == objectNumber && head.generation == entry.generation;
}

bool RawObjectReader::findObjectEnd(uint32_t objectNumber, uint64_t position, uint64_t& end, RawObjectSpan& span) {
    const uint64_t fileSize = file_.size();
    ObjectHead head;
    if (!readHead(objectNumber, position, head)) return false;

    uint64_t last = 0;  // file position of the "j" of the "endobj" that ends the object
    if (head.status == ObjectHead::Status::stream) {
        span.isStream = true;
        span.isObjectStream = head.isObjectStream;
        bool usable = false;
        const uint64_t dataEnd = position + head.dataOffset + streamDataLength(objectNumber, head, usable);
        if (usable && dataEnd <= fileSize && endstreamFollows(dataEnd)) {
            last = findInFile(dataEnd, kEndObj, kEndObjLength);
        }
    }
    if (last == 0) {
        const char* hit = findPattern(window_.data(), window_.data() + windowLength_, kEndObj, kEndObjLength);
        if (hit) {
            last = position + static_cast<uint64_t>(hit - window_.data()) + kEndObjLength - 1;
        } else {
            const size_t overlap = std::min(windowLength_, kEndObjLength - 1);
            last = findInFile(position + windowLength_ - overlap, kEndObj, kEndObjLength);
            if (last == 0) noteAbsent(kEndObj, kEndObjLength, position);
        }
    }
    if (last == 0) return false;
    // The byte after the "j" belongs to the object (usually its line end).
    end = std::min(last + 2, fileSize);
    return true;
}

uint64_t RawObjectReader::streamDataLength(uint32_t objectNumber, const ObjectHead& head, bool& usable) {
    usable = false;
    if (head.lengthKind == ObjectHead::LengthKind::direct) {
        usable = true;
        return head.length;
    }
    if (head.lengthKind != ObjectHead::LengthKind::reference || head.lengthNumber == objectNumber) return 0;
    const std::vector<XRefEntry>& entries = xref_.getEntries();
    if (head.lengthNumber >= entries.size()) return 0;
    const XRefEntry& target = entries[head.lengthNumber];
    if (target.type == XRefEntryType::inUse) {
        char peek[kIntegerObjectPeek];
        const uint64_t targetPosition = static_cast<uint64_t>(headerStart_) + target.offset;
        const size_t got = file_.readAt(targetPosition, reinterpret_cast<uint8_t*>(peek), sizeof peek);
        if (!holdsIntegerObject(peek, got)) return 0;
    } else if (target.type != XRefEntryType::compressed) {
        return 0;
    }
    try {
        CPdfElement value;
        xref_.fetch(static_cast<int32_t>(head.lengthNumber), head.lengthGeneration, value);
        if (!value.is(kindInteger) || value.getInteger() < 0) return 0;
        usable = true;
        return static_cast<uint64_t>(value.getInteger());
    } catch (const CPdfException&) {
        return 0;  // an unreadable /Length is as good as a missing one
    }
}

bool RawObjectReader::endstreamFollows(uint64_t dataEnd) {
    char bytes[kEndStreamSlack + kEndStreamLength];
    const size_t got = file_.readAt(dataEnd, reinterpret_cast<uint8_t*>(bytes), sizeof bytes);
    // Bytes after the window may go on with the keyword's own bytes: the parser would see them.
    const SyntaxText text(std::string_view(bytes, got), got < sizeof bytes);
    const SyntaxToken keyword = text.nextToken(0);
    return keyword.first <= kEndStreamSlack && text.bytes(keyword) == kEndStream &&
           (keyword.is(TokenKind::keyword) || keyword.is(TokenKind::partial));
}

uint32_t RawObjectReader::findBytesInFile(uint32_t start, const char* pattern, size_t patternLength) {
    return static_cast<uint32_t>(findInFile(start, pattern, patternLength));
}

uint64_t RawObjectReader::findInFile(uint64_t start, const char* pattern, size_t patternLength) {
    if (patternLength == 0 || start >= file_.size() || knownAbsent(pattern, patternLength, start)) return 0;
    // Where the pattern is known to be absent the search may stop, once a match that starts
    // before that point could no longer be missed.
    const bool samePattern = absentPattern_.size() == patternLength &&
                             std::memcmp(absentPattern_.data(), pattern, patternLength) == 0;
    const uint64_t fileSize = samePattern ? std::min(file_.size(), absentFrom_ + patternLength - 1) : file_.size();
    size_t blockLength = kFirstSearchBlock;
    uint64_t at = start;
    for (;;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(blockLength, fileSize - at));
        if (searchBlock_.size() < want) searchBlock_.resize(want);
        const size_t got = file_.readAt(at, reinterpret_cast<uint8_t*>(searchBlock_.data()), want);
        const char* hit = findPattern(searchBlock_.data(), searchBlock_.data() + got, pattern, patternLength);
        if (hit) return at + static_cast<uint64_t>(hit - searchBlock_.data()) + patternLength - 1;
        if (got < patternLength || at + got >= fileSize) {
            noteAbsent(pattern, patternLength, start);
            return 0;
        }
        // Keep the pattern's length less one byte, so a match across two blocks is found.
        at += got - (patternLength - 1);
        blockLength = std::min(blockLength * 2, kLargestSearchBlock);
    }
}

bool RawObjectReader::knownAbsent(const char* pattern, size_t patternLength, uint64_t start) const {
    return !absentPattern_.empty() && start >= absentFrom_ && absentPattern_.size() == patternLength &&
           std::memcmp(absentPattern_.data(), pattern, patternLength) == 0;
}

void RawObjectReader::noteAbsent(const char* pattern, size_t patternLength, uint64_t start) {
    if (absentPattern_.size() == patternLength && std::memcmp(absentPattern_.data(), pattern, patternLength) == 0) {
        absentFrom_ = std::min(absentFrom_, start);
        return;
    }
    absentPattern_.assign(pattern, patternLength);
    absentFrom_ = start;
}

void RawObjectReader::loadWindow(uint64_t position, size_t length) {
    if (window_.size() < length) window_.resize(length);
    windowLength_ = file_.readAt(position, reinterpret_cast<uint8_t*>(window_.data()), length);
    windowPosition_ = position;
}

bool RawObjectReader::windowHolds(const RawObjectSpan& span) const {
    return span.position >= windowPosition_ && span.position + span.length <= windowPosition_ + windowLength_;
}

void RawObjectReader::copySpan(const RawObjectSpan& span, OutputWriter& output) {
    output.copyRange(file_.file(), span.position, span.length);
}

void RawObjectReader::copyHeader(OutputWriter& output) {
    const std::vector<XRefEntry>& entries = xref_.getEntries();
    size_t first = 1;
    while (first < entries.size() && entries[first].type != XRefEntryType::inUse) ++first;
    uint32_t headerLength = first < entries.size() ? entries[first].offset : 0;
    for (size_t i = first + 1; i < entries.size(); ++i) {
        if (entries[i].type == XRefEntryType::inUse && entries[i].offset != 0) headerLength = std::min(headerLength, entries[i].offset);
    }
    char mark[kHeaderMarkLength] = {};
    const size_t got =
        headerLength < kHeaderMarkLength ? 0 : file_.readAt(headerStart_, reinterpret_cast<uint8_t*>(mark), sizeof mark);
    if (got != kHeaderMarkLength || std::memcmp(mark, kHeaderMark, kHeaderMarkLength) != 0) {
        output.write(kSubstituteHeader, sizeof kSubstituteHeader - 1);
    }
    if (headerLength == 0) return;
    output.copyRange(file_.file(), headerStart_, headerLength);
}
