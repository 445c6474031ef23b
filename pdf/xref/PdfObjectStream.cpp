#include "pdf/xref/PdfObjectStream.h"

#include <algorithm>
#include <utility>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/stream/PdfEmbedStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "pdf/stream/PdfStream.h"

namespace {

constexpr size_t kReadBlock = size_t{16} << 10;
// Object streams up to this size are decoded once, straight into their buffer.
constexpr size_t kDirectReadBytes = size_t{1} << 20;
// The shortest header pair is a digit, a space, a digit and a separator.
constexpr uint32_t kMinPairBytes = 4;

// A parser over bytes [begin, end) of `data`. The embed stream in front keeps stream objects out:
// decoded data cannot hold them.
struct WindowParser {
    WindowParser(const uint8_t* data, uint32_t begin, uint32_t end, CPdfResolver* xref)
        : window(new CPdfMemoryStream(data, begin, end - begin)),
          parser(xref, new CPdfEmbedStream(window.get(), CPdfElement(), false, 0)) {}

    CPdfStreamRef window;
    CPdfParser parser;
};

bool lookupInteger(const CPdfDictionary& dictionary, const char* key, int32_t& value) {
    CPdfElement element;
    dictionary.lookup(key, element);
    if (!element.is(kindInteger)) return false;
    value = element.getInteger();
    return true;
}

}  // namespace

std::shared_ptr<const CPdfObjectStreamData> CPdfObjectStreamData::load(CPdfResolver& xref, uint32_t number) {
    std::shared_ptr<CPdfObjectStreamData> result(new CPdfObjectStreamData(number));
    CPdfElement object;
    xref.fetch(static_cast<int32_t>(number), 0, object);
    if (!object.is(kindStream) || !object.getStream()->getDict()) return result;
    const CPdfDictionary& dictionary = *object.getStream()->getDict();
    int32_t count = 0;
    int32_t first = 0;
    if (!lookupInteger(dictionary, "N", count) || count <= 0) return result;
    if (!lookupInteger(dictionary, "First", first) || first < 0) return result;
    size_t total = 0;
    if (!result->readData(*object.getStream(), total)) {
        // A fresh fetch decodes from the start again; a reset would keep a predictor's state.
        CPdfElement again;
        xref.fetch(static_cast<int32_t>(number), 0, again);
        if (!again.is(kindStream)) return result;
        result->data_.resize(total);
        result->data_.resize(again.getStream()->read(result->data_.data(), total));
    }
    const uint32_t headerEnd = static_cast<uint32_t>(first);
    // A header that lies beyond the data, or cannot hold N pairs, names no object.
    if (headerEnd > result->data_.size()) return result;
    if (static_cast<uint32_t>(count) > (headerEnd + 1) / kMinPairBytes) return result;
    result->first_ = headerEnd;
    result->readHeader(count);
    return result;
}

bool CPdfObjectStreamData::readData(CPdfStream& stream, size_t& total) {
    uint8_t block[kReadBlock];
    for (size_t got; (got = stream.read(block, kReadBlock)) != 0;) {
        data_.insert(data_.end(), block, block + got);
        if (data_.size() > kDirectReadBytes) break;
    }
    total = data_.size();
    if (total <= kDirectReadBytes) return true;
    // Large data is first only counted, so that a decompression bomb ends before it costs memory.
    for (size_t got; (got = stream.read(block, kReadBlock)) != 0;) {
        total += got;
        if (total > kMaxDecodedBytes) throw CPdfException("Object stream too large");
    }
    data_.clear();
    return false;
}

void CPdfObjectStreamData::readHeader(int32_t count) {
    WindowParser header(data_.data(), 0, first_, nullptr);
    numbers_.reserve(static_cast<size_t>(count));
    offsets_.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        CPdfElement number;
        CPdfElement offset;
        header.parser.getObject(number);
        header.parser.getObject(offset);
        if (!number.is(kindInteger) || !offset.is(kindInteger)) {
            // One bad pair leaves the offsets of every object in doubt.
            numbers_.clear();
            offsets_.clear();
            return;
        }
        numbers_.push_back(static_cast<uint32_t>(number.getInteger()));
        offsets_.push_back(offset.getInteger());
    }
}

bool CPdfObjectStreamData::findObject(int32_t index, int32_t number, uint32_t& begin, uint32_t& end) const {
    if (index < 0 || index >= getCount()) return false;
    const size_t i = static_cast<size_t>(index);
    if (numbers_[i] != static_cast<uint32_t>(number)) return false;
    const uint64_t size = data_.size();
    if (offsets_[i] < 0 || first_ + uint64_t(offsets_[i]) > size) return false;
    begin = first_ + static_cast<uint32_t>(offsets_[i]);
    end = static_cast<uint32_t>(size);
    // An object ends where the next begins; an offset out of order or beyond the data lets it
    // run to the end of the data instead of outside it.
    if (i + 1 < numbers_.size() && offsets_[i + 1] >= offsets_[i]) {
        end = static_cast<uint32_t>(std::min<uint64_t>(first_ + uint64_t(offsets_[i + 1]), size));
    }
    return true;
}

CPdfObjectStream::CPdfObjectStream(std::shared_ptr<const CPdfObjectStreamData> data, CPdfResolver* xref)
    : data_(std::move(data)), xref_(xref), objects_(static_cast<size_t>(data_->getCount())) {}

void CPdfObjectStream::getStoredObject(int32_t index, int32_t number, CPdfElement& out) {
    uint32_t begin = 0;
    uint32_t end = 0;
    if (!data_->findObject(index, number, begin, end)) {
        out.initNull();
        return;
    }
    CPdfElement& stored = objects_[static_cast<size_t>(index)];
    if (stored.is(kindNone)) {
        parsedBytes_ += end - begin;
        WindowParser object(data_->getData(), begin, end, xref_);
        CPdfElement parsed;
        object.parser.getObject(parsed);
        stored = std::move(parsed);
    }
    out.copyFrom(stored);
}

std::shared_ptr<const CPdfObjectStreamData> CPdfObjectStreamStore::get(CPdfResolver& xref, uint32_t number) {
    const auto found = std::find_if(recent_.begin(), recent_.end(),
                                    [number](const auto& data) { return data->getNumber() == number; });
    if (found != recent_.end()) {
        recent_.splice(recent_.begin(), recent_, found);
        return recent_.front();
    }
    std::shared_ptr<const CPdfObjectStreamData> data = CPdfObjectStreamData::load(xref, number);
    recent_.push_front(data);
    bytes_ += data->getMemorySize();
    while (recent_.size() > 1 && (bytes_ > kMemoryBudget || recent_.size() > kMaxStreams)) {
        bytes_ -= recent_.back()->getMemorySize();
        recent_.pop_back();
    }
    return data;
}

void CPdfObjectStreamStore::clear() {
    recent_.clear();
    bytes_ = 0;
}
