#include "pdf/xref/PdfXRefReader.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/xref/PdfByteReader.h"

namespace {

constexpr uint32_t kTailLength = 1023;
constexpr char kStartXRef[] = "startxref";
constexpr size_t kStartXRefLength = sizeof kStartXRef - 1;
constexpr int kWidthCount = 3;
constexpr uint32_t kMaxEntryType = static_cast<uint32_t>(XRefEntryType::compressed);

[[noreturn]] void damaged() { throw CPdfException("PDF file was damaged"); }

CPdfElement readObject(CPdfParser& parser) {
    CPdfElement object;
    parser.getObject(object);
    return object;
}

// The decimal number at `text` as the C runtime converts it: white space, an optional sign,
// digits; 0 without digits. A 32-bit long clamps.
int32_t decimalAt(const char* text) {
    while (*text && std::isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = std::min<int64_t>(value * 10 + (*text - '0'), INT64_C(1) << 32);
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A field of a cross-reference stream entry: `width` bytes, big-endian, low 32 bits kept.
uint32_t readField(CPdfByteReader& reader, uint32_t width) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < width; ++i) {
        const int c = reader.getChar();
        if (c == CPdfStream::kEnd) throw CPdfException("Unexpected EOF while reading xref stream section");
        value = value << 8 | static_cast<uint32_t>(c);
    }
    return value;
}

bool isUndefined(const XRefEntry& entry) { return entry.offset == XRefEntry::kUndefined; }

}  // namespace

CPdfXRefReader::CPdfXRefReader(CPdfStream* stream, std::vector<XRefEntry>& entries, CPdfElement& trailer)
    : stream_(stream), entries_(entries), trailer_(trailer), start_(stream->getStart()) {
    stream_->setPos(0, CPdfStream::kFromEnd);
    fileEnd_ = stream_->getPos();
}

uint32_t CPdfXRefReader::findStartXRef() {
    stream_->setPos(fileEnd_ > kTailLength ? fileEnd_ - kTailLength : 0, CPdfStream::kFromStart);
    char tail[kTailLength + 1];
    const size_t count = stream_->read(reinterpret_cast<uint8_t*>(tail), kTailLength);
    std::replace(tail, tail + count, '\0', ' ');
    tail[count] = '\0';
    if (count < kStartXRefLength) return 0;
    for (size_t at = count - kStartXRefLength + 1; at-- > 0;) {
        if (std::memcmp(tail + at, kStartXRef, kStartXRefLength) == 0) {
            return static_cast<uint32_t>(decimalAt(tail + at + kStartXRefLength));
        }
    }
    return 0;
}

void CPdfXRefReader::readChain(uint32_t position) {
    // A chain that comes back to a section already read ends there instead of going round.
    std::set<uint32_t> visited;
    while (visited.insert(position).second) {
        if (visited.size() > kMaxSections) throw CPdfException("Too many cross-reference sections");
        uint32_t prev = 0;
        if (!readXRef(position, prev)) return;
        position = prev;
    }
}

CPdfParser* CPdfXRefReader::makeParserAt(uint32_t position) {
    // A position beyond the file reads as the end of the input, without wrapping round.
    const uint64_t at = std::min<uint64_t>(uint64_t{start_} + position, fileEnd_);
    CPdfElement noDictionary;
    noDictionary.initNull();
    return new CPdfParser(nullptr, stream_->makeSubStream(static_cast<uint32_t>(at), 0, noDictionary));
}

bool CPdfXRefReader::readXRef(uint32_t position, uint32_t& prev) {
    const std::unique_ptr<CPdfParser> parser(makeParserAt(position));
    const CPdfElement first = readObject(*parser);
    if (first.isCommand("xref")) return readXRefTable(*parser, prev);
    if (!first.is(kindInteger)) throw CPdfException("Couldn't parse an xref");
    const CPdfElement generation = readObject(*parser);
    if (!generation.is(kindInteger)) throw CPdfException("Couldn't parse an xref stream");
    const CPdfElement keyword = readObject(*parser);
    if (!keyword.isCommand("obj")) throw CPdfException("Couldn't parse an xref stream");
    const CPdfElement streamObject = readObject(*parser);
    if (!streamObject.is(kindStream)) throw CPdfException("Couldn't parse an xref stream");
    return readXRefStream(streamObject, prev);
}

void CPdfXRefReader::checkRange(int32_t first, int32_t count, uint64_t bytesPerEntry) const {
    if (first < 0 || count < 0) damaged();
    if (uint64_t{static_cast<uint32_t>(first)} + static_cast<uint32_t>(count) > kMaxEntries) damaged();
    if (uint64_t{static_cast<uint32_t>(count)} * std::max<uint64_t>(bytesPerEntry, 1) > fileEnd_) damaged();
}

void CPdfXRefReader::growTo(uint64_t count) {
    if (entries_.size() < count) entries_.resize(static_cast<size_t>(count));
}

void CPdfXRefReader::keepTrailer(const CPdfElement& dictionary) {
    if (trailer_.is(kindNone)) trailer_.copyFrom(dictionary);
}

bool CPdfXRefReader::previousSection(const CPdfElement& dictionary, uint32_t& prev) {
    const CPdfElement* value = dictionary.getDictionary()->find("Prev");
    if (!value) return false;
    if (value->is(kindInteger)) {
        prev = static_cast<uint32_t>(value->getInteger());
        return true;
    }
    if (value->is(kindReference)) {
        prev = static_cast<uint32_t>(value->getRefNumber());
        return true;
    }
    return false;
}

bool CPdfXRefReader::readXRefTable(CPdfParser& parser, uint32_t& prev) {
    static const char* const kBadTable = "Couldn't parse an xref table";
    // Entries this table marks free may still be filled by its cross-reference stream (hybrid files).
    std::vector<uint32_t> freedByTable;
    for (;;) {
        const CPdfElement head = readObject(parser);
        if (head.isCommand("trailer")) break;
        if (!head.is(kindInteger)) throw CPdfException(kBadTable);
        const CPdfElement countElement = readObject(parser);
        if (!countElement.is(kindInteger)) throw CPdfException(kBadTable);
        const int32_t first = head.getInteger();
        const int32_t count = countElement.getInteger();
        checkRange(first, count, kClassicEntryBytes);
        const uint32_t last = static_cast<uint32_t>(first) + static_cast<uint32_t>(count);
        growTo(last);
        for (uint32_t i = static_cast<uint32_t>(first); i < last; ++i) {
            const CPdfElement offset = readObject(parser);
            if (!offset.is(kindInteger)) throw CPdfException(kBadTable);
            const CPdfElement generation = readObject(parser);
            if (!generation.is(kindInteger)) throw CPdfException(kBadTable);
            const CPdfElement kind = readObject(parser);
            XRefEntryType type;
            if (kind.isCommand("n")) {
                type = XRefEntryType::inUse;
            } else if (kind.isCommand("f")) {
                type = XRefEntryType::free;
            } else {
                throw CPdfException(kBadTable);
            }
            XRefEntry& entry = entries_[i];
            if (!isUndefined(entry)) continue;
            entry = {static_cast<uint32_t>(offset.getInteger()), static_cast<uint32_t>(generation.getInteger()), type};
            if (type == XRefEntryType::free) freedByTable.push_back(i);
        }
    }
    const CPdfElement dictionary = readObject(parser);
    if (!dictionary.is(kindDictionary)) throw CPdfException("Trailer dictionary is wrong type");
    keepTrailer(dictionary);
    const CPdfElement* hybrid = dictionary.getDictionary()->find("XRefStm");
    if (hybrid && hybrid->is(kindInteger)) {
        std::sort(freedByTable.begin(), freedByTable.end());
        readHybridStream(static_cast<uint32_t>(hybrid->getInteger()), freedByTable);
    }
    return previousSection(dictionary, prev);
}

bool CPdfXRefReader::readXRefStream(const CPdfElement& streamObject, uint32_t& prev) {
    readXRefStreamEntries(streamObject, nullptr);
    CPdfElement dictionary;
    dictionary.initDictionary(streamObject.getStream()->getDict());
    keepTrailer(dictionary);
    return previousSection(dictionary, prev);
}

void CPdfXRefReader::readXRefStreamEntries(const CPdfElement& streamObject, PendingEntries* pending) {
    CPdfStream* stream = streamObject.getStream();
    if (!stream->getDict()) throw CPdfException("Size of xref Stream is wrong type");
    const CPdfDictionary& dictionary = *stream->getDict();

    const CPdfElement* size = dictionary.find("Size");
    if (!size || !size->is(kindInteger)) throw CPdfException("Size of xref Stream is wrong type");
    // Every object number needs some byte of the file.
    if (size->getInteger() > static_cast<int64_t>(std::min(kMaxEntries, fileEnd_))) damaged();
    if (!pending && size->getInteger() > 0) growTo(static_cast<uint32_t>(size->getInteger()));

    const CPdfElement* w = dictionary.find("W");
    if (!w || !w->is(kindArray)) throw CPdfException("W item of xref Stream is wrong type");
    const CPdfArray& wArray = *w->getArray();
    if (wArray.getLength() < kWidthCount) throw CPdfException("W item of xref Stream is wrong length");
    uint32_t width[kWidthCount];
    for (int i = 0; i < kWidthCount; ++i) {
        CPdfElement value;
        wArray.get(i, value);
        if (!value.is(kindInteger)) throw CPdfException("W item of xref Stream is wrong type");
        if (value.getInteger() < 0) damaged();
        width[i] = static_cast<uint32_t>(value.getInteger());
    }
    const Widths widths{width[0], width[1], width[2]};

    stream->reset();
    CPdfByteReader reader(stream);
    const CPdfElement* index = dictionary.find("Index");
    if (!index || !index->is(kindArray)) {
        readXRefStreamSection(reader, widths, 0, std::max(size->getInteger(), 0), pending);
        return;
    }
    const CPdfArray& pairs = *index->getArray();
    for (int32_t i = 0; i + 1 < pairs.getLength(); i += 2) {
        const CPdfElement& first = pairs.at(i);
        const CPdfElement& count = pairs.at(i + 1);
        if (!first.is(kindInteger) || !count.is(kindInteger)) {
            throw CPdfException("Index item of xref Stream is wrong type");
        }
        readXRefStreamSection(reader, widths, first.getInteger(), count.getInteger(), pending);
    }
}

void CPdfXRefReader::readXRefStreamSection(CPdfByteReader& reader, const Widths& widths, int32_t first,
                                           int32_t count, PendingEntries* pending) {
    // Entries that take no bytes still count one each, so that a tiny file cannot ask for
    // millions of them.
    checkRange(first, count, widths.total());
    const uint32_t last = static_cast<uint32_t>(first) + static_cast<uint32_t>(count);
    for (uint32_t i = static_cast<uint32_t>(first); i < last; ++i) {
        // A first field of no bytes means an object in use.
        const uint32_t type =
            widths.type == 0 ? static_cast<uint32_t>(XRefEntryType::inUse) : readField(reader, widths.type);
        const uint32_t offset = readField(reader, widths.offset);
        const uint32_t generation = readField(reader, widths.generation);
        if (type > kMaxEntryType) throw CPdfException("Wrong type of xref entry while reading xref stream section");
        const XRefEntry entry{offset, generation, static_cast<XRefEntryType>(type)};
        if (pending) {
            pending->emplace_back(i, entry);
            continue;
        }
        // The vector grows with the data actually read, so a count the data cannot back
        // ends in an error before it costs memory.
        growTo(uint64_t{i} + 1);
        if (isUndefined(entries_[i])) entries_[i] = entry;
    }
}

void CPdfXRefReader::readHybridStream(uint32_t position, const std::vector<uint32_t>& freedByTable) {
    PendingEntries pending;
    try {
        const std::unique_ptr<CPdfParser> parser(makeParserAt(position));
        const CPdfElement number = readObject(*parser);
        const CPdfElement generation = readObject(*parser);
        const CPdfElement keyword = readObject(*parser);
        const CPdfElement streamObject = readObject(*parser);
        if (!number.is(kindInteger) || !generation.is(kindInteger) || !keyword.isCommand("obj") ||
            !streamObject.is(kindStream)) {
            return;
        }
        readXRefStreamEntries(streamObject, &pending);
    } catch (const CPdfException&) {
        // The table alone still describes the file, as it does for readers without streams.
        return;
    }
    for (const auto& [i, entry] : pending) {
        growTo(uint64_t{i} + 1);
        XRefEntry& target = entries_[i];
        if (isUndefined(target) ||
            (target.type == XRefEntryType::free && std::binary_search(freedByTable.begin(), freedByTable.end(), i))) {
            target = entry;
        }
    }
}
