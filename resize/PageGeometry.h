#pragma once

#include <cstdint>
#include <string>

#include "resize/ResizeSettings.h"
#include "resize/PageRecord.h"
#include "resize/RewriteSupport.h"

class ObjectText;

// The geometry of one page rewrite: from the page's percentages (settings.pageScaleX/Y) and the
// job's options, the factors that scale the content and the boxes, and each box's new values.
// The content is only scaled; the boxes are scaled, then moved by the centring margins and offsets.
// The margins are the page's, taken from its MediaBox, so that every box of the page moves alike.
class PageGeometry {
public:
    // Throws when a percentage of the page is not finite. `mediaBox` is the page's MediaBox as read;
    // `pageObjectNumber` names the page in errors.
    PageGeometry(const ResizeSettings& settings, const PageBox& mediaBox, uint32_t pageObjectNumber);

    // The smaller of the two percentages.
    double smallerScale() const;
    // What the content, annotation rectangles and pattern matrices are scaled by.
    ScaleFactors contentFactors() const;
    // What the page boxes are scaled by, before the margins and offsets.
    ScaleFactors boxFactors() const;

    // The box's new values. With -noscale, -con and -center a box of the MediaBox's size becomes the
    // target page.
    PageBox resizeBox(PageBox& box) const;

    // Writes the box's new values into the page object's text under `key` ("/MediaBox", ...):
    // the entry at the top level of the page dictionary is replaced; an absent one is inserted
    // after the dictionary's "<<" when the key is "/MediaBox" or `insertIfAbsent` is set.
    void rewriteBox(ObjectText& text, PageBox& box, const std::string& key, bool insertIfAbsent) const;

private:
    bool centred() const;

    const ResizeSettings& settings_;
    PageBox mediaBox_;
    uint32_t pageObjectNumber_;
    double marginX_ = 0;
    double marginY_ = 0;
};
