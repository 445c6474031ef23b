#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pdf/document/LinkAction.h"
#include "pdf/objects/PdfElement.h"

class CPdfDictionary;
class CPdfResolver;

// One outline entry. Its children (the First chain) stay unresolved references.
class OutlineItem {
public:
    OutlineItem(const CPdfDictionary& dictionary, CPdfResolver* xref);
    OutlineItem(OutlineItem&&) = default;
    OutlineItem& operator=(OutlineItem&&) = default;
    OutlineItem(const OutlineItem&) = delete;
    OutlineItem& operator=(const OutlineItem&) = delete;
    ~OutlineItem();

    CPdfResolver* getXRef() const { return xref_; }
    // The Title string's bytes as stored (a hex string decoded).
    const std::string& getTitleText() const { return titleText_; }
    // The title as code points: UTF-16BE after an FE FF mark, PDFDocEncoding otherwise.
    const std::vector<uint32_t>& getTitle() const { return title_; }
    // 0xRRGGBB from C; 0 when not given.
    uint32_t getColour() const { return colour_; }
    // "Bold", "Italic", "BoldItalic" or "Plain".
    const std::string& getStyle() const { return style_; }
    // In trigger order; an entry is null where an action was present but unusable.
    const std::vector<std::unique_ptr<LinkAction>>& getActions() const { return actions_; }
    const CPdfElement& getFirst() const { return first_; }
    const CPdfElement& getLast() const { return last_; }
    const CPdfElement& getNext() const { return next_; }
    // Count is an integer of 1 or more: the item is shown with its children expanded.
    bool isOpen() const { return open_; }

private:
    void readTitle(const CPdfDictionary& dictionary);
    void readActions(const CPdfDictionary& dictionary);
    void readActionChain(const CPdfDictionary& dictionary);
    void readColour(const CPdfDictionary& dictionary);
    void readStyle(const CPdfDictionary& dictionary);

    CPdfResolver* xref_;
    std::string titleText_;
    std::vector<uint32_t> title_;
    uint32_t colour_ = 0;
    std::string style_;
    std::vector<std::unique_ptr<LinkAction>> actions_;
    CPdfElement first_;
    CPdfElement last_;
    CPdfElement next_;
    bool open_ = false;
};

// The items of one chain, from `first` along Next, up to and including `last`. A chain that comes
// back to an item already read, or reaches one that cannot be read, ends there.
std::vector<OutlineItem> readOutlineItems(const CPdfElement& first, const CPdfElement& last, CPdfResolver* xref);

// The document outline: its top-level items in chain order.
class CPdfOutline {
public:
    // `outlines` is the catalog's Outlines value, resolved; anything but a dictionary gives no items.
    CPdfOutline(const CPdfElement& outlines, CPdfResolver* xref);
    CPdfOutline(const CPdfOutline&) = delete;
    CPdfOutline& operator=(const CPdfOutline&) = delete;
    virtual ~CPdfOutline();

    const std::vector<OutlineItem>& getItems() const { return items_; }

private:
    std::vector<OutlineItem> items_;
};
