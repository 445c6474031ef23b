#include "resize/CoordinateText.h"

#include <vector>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfElement.h"
#include "resize/NumberFormat.h"
#include "resize/PageRecord.h"
#include "resize/RewriteSupport.h"

namespace {

constexpr size_t kRectNumbers = 4;

bool numbersOf(const CPdfElement& value, std::vector<double>& numbers) {
    if (!value.is(kindArray)) return false;
    const CPdfArray& array = *value.getArray();
    for (int32_t i = 0; i < array.getLength(); ++i) {
        CPdfElement element;
        array.get(i, element);
        if (!element.isNumber()) return false;
        numbers.push_back(element.getNumber());
    }
    return true;
}

// Indexes 0 and 2 of a rectangle are x coordinates.
bool isBoxX(size_t index) { return index == 0 || index == 2; }

void mapBox(std::vector<double>& values, const PageTransform& transform) {
    if (values.size() == kRectNumbers) {
        const PageBox corners = PageBox{transform.contentX(values[0]), transform.contentY(values[1]),
                                        transform.contentX(values[2]), transform.contentY(values[3])}.normalized();
        values = {corners.x1, corners.y1, corners.x2, corners.y2};
        return;
    }
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = isBoxX(i) ? transform.contentX(values[i]) : transform.contentY(values[i]);
    }
}

}  // namespace

bool mappedNumbers(const CPdfElement& value, CoordinateKind kind, const PageTransform& transform,
                   const NumberOwner& owner, std::string& inside) {
    std::vector<double> values;
    if (!numbersOf(value, values)) return false;
    if (kind == CoordinateKind::box) {
        // Files may give any two opposite corners; readers take the lower-left and the upper-right.
        mapBox(values, transform);
    } else {
        for (size_t i = 0; i < values.size(); ++i) {
            const bool x = i % 2 == 0;
            if (kind == CoordinateKind::distances) {
                values[i] *= x ? transform.contentFactors.x : transform.contentFactors.y;
            } else {
                values[i] = x ? transform.contentX(values[i]) : transform.contentY(values[i]);
            }
        }
    }
    for (const double mapped : values) requireFinite(mapped, owner.what, owner.objectNumber);
    inside = formatScaleList(values);
    return true;
}

bool mappedPointLists(const CPdfElement& value, const PageTransform& transform, const NumberOwner& owner,
                      std::string& inside) {
    if (!value.is(kindArray)) return false;
    const CPdfArray& paths = *value.getArray();
    std::string text;
    for (int32_t i = 0; i < paths.getLength(); ++i) {
        CPdfElement path;
        paths.get(i, path);
        std::string points;
        if (!mappedNumbers(path, CoordinateKind::points, transform, owner, points)) return false;
        text += " [" + points + "] ";
    }
    inside = std::move(text);
    return true;
}
