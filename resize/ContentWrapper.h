#pragma once

#include <cstdint>
#include <string>

#include "resize/PageTransform.h"
#include "resize/RewriteSupport.h"

class CPdfDictionary;
class CPdfElement;
class ObjectText;
struct ResizeJob;

// Wraps one page's content between two new content streams, one that saves the graphics state
// and scales, one that restores it, and puts their references around the page's own content
// references in its Contents entry (in the page text, or in the Contents array object).
class ContentWrapper {
public:
    ContentWrapper(ResizeJob& job, const PageTransform& transform, uint32_t pageObjectNumber);

    // Writes the two new streams, then edits the page's Contents; a Contents array object of its
    // own is written again after the streams. Throws when that array object cannot be rewritten.
    void wrapContents(const CPdfDictionary& page, ObjectText& pageText);

    // Writes the two new streams and gives the new list of content references:
    // the scale stream, the old references of `resolved`/`unresolved` (the page's Contents), the restore stream.
    std::string buildContentsList(const CPdfElement& resolved, const CPdfElement& unresolved);

    uint32_t writeScaleStream();
    uint32_t writeRestoreStream();

    // The bytes of a new stream object that holds `data` without a filter.
    static std::string streamObject(uint32_t objectNumber, const std::string& data);
    // The content that saves the graphics state and scales by `factors`.
    static std::string scaleContent(ScaleFactors factors);
    // The same for the whole transform: a matrix that also moves the content, after the clip to
    // what the page showed, when the transform has them.
    static std::string scaleContent(const PageTransform& transform);

private:
    // Writes the two new streams and puts their references around `oldReferences`.
    std::string wrapReferences(const std::string& oldReferences);
    // Whether `unresolved` (the page's Contents) names a stream object.
    bool isStreamObject(const CPdfElement& unresolved) const;
    uint32_t writeStream(const std::string& data);
    void replaceInPageArray(ObjectText& pageText, const std::string& list) const;
    void rewriteArrayObject(uint32_t arrayObjectNumber, const std::string& list);
    void insertContents(ObjectText& pageText, const std::string& list) const;
    void replaceSingleReference(ObjectText& pageText, const std::string& list) const;

    ResizeJob& job_;
    PageTransform transform_;
    uint32_t pageObjectNumber_;
};
