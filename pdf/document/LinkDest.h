#pragma once

#include <cstdint>

class CPdfArray;

enum DestKind : int32_t { destXYZ, destFit, destFitH, destFitV, destFitR, destFitB, destFitBH, destFitBV };

// An explicit destination: a page (by reference or by index) and a view. Numbers that the
// array does not give stay 0.
class LinkDest {
public:
    // Parses [page /Kind numbers...]; isOk() tells whether the array was a valid destination.
    explicit LinkDest(const CPdfArray& array);

    bool isOk() const { return ok_; }
    DestKind getKind() const { return kind_; }
    bool isPageRef() const { return pageIsRef_; }
    // With isPageRef(): the page object's number and generation; otherwise the page index + 1.
    uint32_t getPageNumber() const { return pageNumber_; }
    uint32_t getPageGeneration() const { return pageGeneration_; }
    double getLeft() const { return left_; }
    double getBottom() const { return bottom_; }
    double getRight() const { return right_; }
    double getTop() const { return top_; }
    double getZoom() const { return zoom_; }
    // XYZ only: whether the number was given rather than null (null keeps the current value).
    bool getChangeLeft() const { return changeLeft_; }
    bool getChangeTop() const { return changeTop_; }
    bool getChangeZoom() const { return changeZoom_; }

private:
    bool parse(const CPdfArray& array);
    bool parsePage(const CPdfArray& array);
    bool parseXYZ(const CPdfArray& array);

    DestKind kind_ = destXYZ;
    bool pageIsRef_ = false;
    uint32_t pageNumber_ = 0;
    uint32_t pageGeneration_ = 0;
    double left_ = 0;
    double bottom_ = 0;
    double right_ = 0;
    double top_ = 0;
    double zoom_ = 0;
    bool changeLeft_ = false;
    bool changeTop_ = false;
    bool changeZoom_ = false;
    bool ok_ = false;
};
