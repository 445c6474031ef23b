#include "pdf/document/LinkDest.h"

#include <cstring>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"

namespace {

constexpr int32_t kMinimumLength = 2;
constexpr int32_t kOneNumberLength = 3;
constexpr int32_t kRectangleLength = 6;
constexpr int32_t kFirstNumber = 2;

// A number of the view: a number sets it, null leaves it unset; anything else is invalid.
bool readOptionalNumber(const CPdfArray& array, int32_t index, double& value, bool& given) {
    CPdfElement element;
    array.get(index, element);
    if (element.is(kindNull)) {
        given = false;
        return true;
    }
    if (!element.isNumber()) return false;
    value = element.getNumber();
    given = true;
    return true;
}

bool readNumber(const CPdfArray& array, int32_t index, double& value) {
    CPdfElement element;
    array.get(index, element);
    if (!element.isNumber()) return false;
    value = element.getNumber();
    return true;
}

bool readOneNumberView(const CPdfArray& array, double& value) {
    if (array.getLength() < kOneNumberLength) return false;
    bool given = false;
    return readOptionalNumber(array, kFirstNumber, value, given);
}

struct ViewName {
    const char* name;
    DestKind kind;
};

constexpr ViewName kViewNames[] = {
    {"XYZ", destXYZ},   {"Fit", destFit},   {"FitH", destFitH},   {"FitV", destFitV},
    {"FitR", destFitR}, {"FitB", destFitB}, {"FitBH", destFitBH}, {"FitBV", destFitBV},
};

bool findView(const char* name, DestKind& kind) {
    for (const ViewName& view : kViewNames) {
        if (std::strcmp(view.name, name) == 0) {
            kind = view.kind;
            return true;
        }
    }
    return false;
}

}  // namespace

LinkDest::LinkDest(const CPdfArray& array) {
    // An element that cannot be fetched makes the destination unusable, nothing more.
    try {
        ok_ = parse(array);
    } catch (const CPdfException&) {
        ok_ = false;
    }
}

bool LinkDest::parsePage(const CPdfArray& array) {
    const CPdfElement& page = array.at(0);
    if (page.is(kindInteger)) {
        pageIsRef_ = false;
        pageNumber_ = static_cast<uint32_t>(page.getInteger()) + 1;
        return true;
    }
    if (page.is(kindReference)) {
        pageIsRef_ = true;
        pageNumber_ = static_cast<uint32_t>(page.getRefNumber());
        pageGeneration_ = page.getRefGeneration();
        return true;
    }
    return false;
}

bool LinkDest::parseXYZ(const CPdfArray& array) {
    kind_ = destXYZ;
    const int32_t length = array.getLength();
    double* const values[] = {&left_, &top_, &zoom_};
    bool* const flags[] = {&changeLeft_, &changeTop_, &changeZoom_};
    constexpr int32_t kXYZNumbers = 3;
    for (int32_t i = 0; i < kXYZNumbers && kFirstNumber + i < length; ++i) {
        if (!readOptionalNumber(array, kFirstNumber + i, *values[i], *flags[i])) return false;
    }
    return true;
}

bool LinkDest::parse(const CPdfArray& array) {
    if (array.getLength() < kMinimumLength) return false;
    if (!parsePage(array)) return false;

    CPdfElement view;
    array.get(1, view);
    if (!view.is(kindName) || !findView(view.getName(), kind_)) return false;
    switch (kind_) {
        case destXYZ:
            return parseXYZ(array);
        case destFit:
        case destFitB:
            return true;
        case destFitH:
        case destFitBH:
            return readOneNumberView(array, top_);
        case destFitV:
        case destFitBV:
            return readOneNumberView(array, left_);
        case destFitR:
            return array.getLength() >= kRectangleLength && readNumber(array, kFirstNumber, left_) &&
                   readNumber(array, kFirstNumber + 1, bottom_) && readNumber(array, kFirstNumber + 2, right_) &&
                   readNumber(array, kFirstNumber + 3, top_);
    }
    return false;
}
