#pragma once

#include <cstdint>
#include <string>

#include "resize/PageRecord.h"
#include "resize/PageTransform.h"
#include "resize/ResizeSettings.h"

class ObjectText;

// The new values of a page's boxes, from the page's transform and the job's options. The content
// is only scaled; the boxes are scaled, then moved by the centring margins and offsets.
class PageGeometry {
public:
    // Throws when a factor of the transform is not finite. `mediaBox` is the page's MediaBox as read;
    // `pageObjectNumber` names the page in errors.
    PageGeometry(const ResizeSettings& settings, const PageTransform& transform, const PageBox& mediaBox,
                 uint32_t pageObjectNumber);

    // The box's new values. With -noscale, -con and -center a box of the MediaBox's size becomes the
    // target page.
    PageBox resizeBox(PageBox& box) const;

    // Writes the box's new values into the page object's text under `key` ("/MediaBox", ...)
    // (under -visible, the MediaBox and CropBox become the new page):
    // the entry at the top level of the page dictionary is replaced; an absent one is inserted
    // after the dictionary's "<<" when the key is "/MediaBox" or `insertIfAbsent` is set.
    void rewriteBox(ObjectText& text, PageBox& box, const std::string& key, bool insertIfAbsent) const;

private:
    bool centred() const;
    // Under -visible: the MediaBox (and a CropBox) become the new page, other boxes follow the content.
    PageBox placedBox(const PageBox& box, const std::string& key) const;

    const ResizeSettings& settings_;
    PageTransform transform_;
    PageBox mediaBox_;
    uint32_t pageObjectNumber_;
};
