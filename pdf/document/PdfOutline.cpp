#include "pdf/document/PdfOutline.h"

#include <cmath>
#include <set>
#include <utility>

#include "pdf/document/ElementText.h"
#include "pdf/document/PdfDocEncoding.h"
#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"

namespace {

using RefKey = std::pair<int32_t, uint32_t>;

RefKey refKey(const CPdfElement& reference) { return {reference.getRefNumber(), reference.getRefGeneration()}; }

constexpr int32_t kColourComponents = 3;
constexpr double kFullIntensity = 255.0;
constexpr double kByteRange = 256.0;
constexpr unsigned kBitsPerByte = 8;
constexpr int32_t kItalicFlag = 1;
constexpr int32_t kBoldFlag = 2;
constexpr double kIntLow = -2147483648.0;
constexpr double kIntHigh = 2147483648.0;

// A real component scales to 0..255 and keeps its low byte; an integer one gives (-v) mod 256.
uint8_t colourByte(const CPdfElement& component) {
    if (component.is(kindReal)) {
        double scaled = std::trunc(component.getReal() * kFullIntensity);
        scaled = std::fmod(scaled, kByteRange);
        if (scaled < 0) scaled += kByteRange;
        return static_cast<uint8_t>(scaled);
    }
    if (component.is(kindInteger)) return static_cast<uint8_t>(0u - static_cast<uint32_t>(component.getInteger()));
    return 0;
}

int32_t truncatedFlags(const CPdfElement& flags) {
    if (flags.is(kindInteger)) return flags.getInteger();
    const double value = flags.getReal();
    return value > kIntLow && value < kIntHigh ? static_cast<int32_t>(value) : 0;
}

}  // namespace

OutlineItem::OutlineItem(const CPdfDictionary& dictionary, CPdfResolver* xref) : xref_(xref) {
    readTitle(dictionary);
    readActions(dictionary);
    dictionary.lookupUnresolved("First", first_);
    dictionary.lookupUnresolved("Last", last_);
    dictionary.lookupUnresolved("Next", next_);
    CPdfElement count;
    dictionary.lookup("Count", count);
    open_ = count.is(kindInteger) && count.getInteger() >= 1;
    readColour(dictionary);
    readStyle(dictionary);
}

OutlineItem::~OutlineItem() = default;

void OutlineItem::readTitle(const CPdfDictionary& dictionary) {
    CPdfElement title;
    dictionary.lookup("Title", title);
    if (getStringBytes(title, titleText_)) title_ = decodeTextString(titleText_);
}

void OutlineItem::readActions(const CPdfDictionary& dictionary) {
    // An action or destination that cannot be fetched ends the item's list where it stands.
    try {
        readActionChain(dictionary);
    } catch (const CPdfException&) {
    }
}

void OutlineItem::readActionChain(const CPdfDictionary& dictionary) {
    CPdfElement destination;
    dictionary.lookup("Dest", destination);
    if (!destination.is(kindNull)) {
        auto goTo = std::make_unique<LinkGoTo>(destination);
        if (!goTo->isOk()) goTo.reset();
        actions_.push_back(std::move(goTo));
        return;
    }
    // A, then each action's Next. Only an indirect action can lead back to one already taken.
    std::set<RefKey> taken;
    CPdfElement stored;
    dictionary.lookupUnresolved("A", stored);
    CPdfResolver* resolver = dictionary.getXRef();
    while (true) {
        if (stored.is(kindReference) && !taken.insert(refKey(stored)).second) return;
        CPdfElement action;
        stored.fetch(resolver, action);
        if (action.is(kindNull)) return;
        actions_.push_back(makeLinkAction(action, std::string()));
        if (!action.is(kindDictionary)) return;
        stored.free();
        action.getDictionary()->lookupUnresolved("Next", stored);
        resolver = action.getDictionary()->getXRef();
    }
}

void OutlineItem::readColour(const CPdfDictionary& dictionary) {
    CPdfElement colour;
    dictionary.lookup("C", colour);
    if (!colour.is(kindArray) || colour.getArray()->getLength() != kColourComponents) return;
    for (int32_t i = 0; i < kColourComponents; ++i) {
        CPdfElement component;
        colour.getArray()->get(i, component);
        colour_ = colour_ << kBitsPerByte | colourByte(component);
    }
}

void OutlineItem::readStyle(const CPdfDictionary& dictionary) {
    CPdfElement flags;
    dictionary.lookup("F", flags);
    if (flags.isNumber()) {
        const int32_t f = truncatedFlags(flags);
        if (f & kBoldFlag) style_ = "Bold";
        if (f & kItalicFlag) style_ += "Italic";
    }
    if (style_.empty()) style_ = "Plain";
}

std::vector<OutlineItem> readOutlineItems(const CPdfElement& first, const CPdfElement& last, CPdfResolver* xref) {
    std::vector<OutlineItem> items;
    std::set<RefKey> read;
    CPdfElement current(first);
    while (current.is(kindReference)) {
        const RefKey key = refKey(current);
        if (!read.insert(key).second) break;
        // An item that cannot be read ends the chain, as one that is no dictionary does.
        try {
            CPdfElement item;
            current.fetch(xref, item);
            if (!item.is(kindDictionary)) break;
            items.emplace_back(*item.getDictionary(), xref);
        } catch (const CPdfException&) {
            break;
        }
        if (last.is(kindReference) && refKey(last) == key) break;
        current = items.back().getNext();
    }
    return items;
}

CPdfOutline::CPdfOutline(const CPdfElement& outlines, CPdfResolver* xref) {
    if (!outlines.is(kindDictionary)) return;
    CPdfElement first;
    CPdfElement last;
    outlines.getDictionary()->lookupUnresolved("First", first);
    outlines.getDictionary()->lookupUnresolved("Last", last);
    items_ = readOutlineItems(first, last, xref);
}

CPdfOutline::~CPdfOutline() = default;
