#include "pdf/document/PdfPage.h"

#include "pdf/objects/PdfDictionary.h"

namespace {

constexpr int32_t kFullTurn = 360;

bool isAcceptedContents(const CPdfElement& contents) {
    return contents.is(kindReference) || contents.is(kindArray) || contents.is(kindNull);
}

}  // namespace

int32_t normaliseRotation(int32_t degrees) {
    const int32_t rest = degrees % kFullTurn;
    return rest < 0 ? rest + kFullTurn : rest;
}

CPdfPage::CPdfPage() = default;

CPdfPage::~CPdfPage() = default;

void CPdfPage::load(int32_t pageNumber, CPdfResolver* xref, const CPdfDictionary& pageDictionary,
                    const CPdfElement& stored) {
    pageNumber_ = pageNumber;
    xref_ = xref;

    contents_.free();
    pageDictionary.lookupUnresolved("Contents", contents_);
    if (!isAcceptedContents(contents_)) {
        contents_.free();
        contents_.initNull();
    }

    resources_.free();
    pageDictionary.lookup("Resources", resources_);
    if (!resources_.is(kindDictionary)) resources_.free();
    stored_.free();
    resourcesLoaded_ = true;
    if (stored.is(kindReference) && resources_.is(kindDictionary)) {
        // Looked up once here all the same, so that a page whose resources cannot be read fails now.
        stored_.copyFrom(stored);
        resources_.free();
        resourcesLoaded_ = false;
    }

    // A real rotation such as 90.0 is not an integer and is ignored, like a missing one.
    CPdfElement rotate;
    pageDictionary.lookup("Rotate", rotate);
    rotate_ = rotate.is(kindInteger) ? normaliseRotation(rotate.getInteger()) : 0;
}

const CPdfElement& CPdfPage::getResources() const {
    if (resourcesLoaded_) return resources_;
    resourcesLoaded_ = true;
    CPdfElement page;
    stored_.fetch(xref_, page);
    if (page.is(kindDictionary)) page.getDictionary()->lookup("Resources", resources_);
    if (!resources_.is(kindDictionary)) resources_.free();
    return resources_;
}
