#include "resize/PageRewriter.h"

#include <string>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "resize/AnnotationScaler.h"
#include "resize/ContentFollower.h"
#include "resize/ContentWrapper.h"
#include "resize/DictionaryScanner.h"
#include "resize/NumberFormat.h"
#include "resize/ObjectText.h"
#include "resize/PageGeometry.h"
#include "resize/PatternScaler.h"
#include "resize/RawObjectReader.h"
#include "resize/RewriteSupport.h"

PageRewriter::PageRewriter(ResizeJob& job) : job_(job) {}

void PageRewriter::rewritePage(PageRecord& record, const PageTransform& transform) {
    const uint32_t pageNumber = record.objectNumber;
    const std::string pageName = "page object " + formatInteger(pageNumber);
    // Checked before anything is written, so that a bad page leaves no half-written objects.
    const PageGeometry geometry(job_.settings, transform, record.mediaBox, pageNumber);

    std::string raw;
    if (!job_.reader.readRawObject(pageNumber, raw)) throw CPdfException("Cannot read " + pageName + "\n");
    ObjectText pageText(std::move(raw));

    if (!transform.keepsBoxes) {
        geometry.rewriteBox(pageText, record.mediaBox, "/MediaBox", false);
        geometry.rewriteBox(pageText, record.cropBox, "/CropBox", record.hasCropBox);
        geometry.rewriteBox(pageText, record.bleedBox, "/BleedBox", false);
        geometry.rewriteBox(pageText, record.trimBox, "/TrimBox", false);
        geometry.rewriteBox(pageText, record.artBox, "/ArtBox", false);
    }

    // The walk's copy, if it kept one: the page is read once.
    CPdfElement page = std::move(record.page);
    if (!page.is(kindDictionary)) {
        job_.xref.fetch(static_cast<int32_t>(pageNumber), fetchGeneration(job_.entries, pageNumber), page);
    }
    if (!page.is(kindDictionary)) throw CPdfException("Cannot resize " + pageName + ": it is not a dictionary\n");
    const CPdfDictionary& pageDictionary = *page.getDictionary();

    ContentWrapper(job_, transform, pageNumber).wrapContents(pageDictionary, pageText);
    AnnotationScaler(job_, transform, pageNumber).scaleAnnotations(pageDictionary, pageText);
    PatternScaler(job_, transform).scalePatterns(pageDictionary);
    if (job_.follower) followViewports(pageDictionary, transform, pageText);

    writeObjectAgain(job_, pageNumber, pageText.bytes());
}

void PageRewriter::followViewports(const CPdfDictionary& page, const PageTransform& transform, ObjectText& pageText) {
    CPdfElement viewports;
    page.lookupUnresolved("VP", viewports);
    if (viewports.is(kindNull)) return;
    std::vector<TextEdit> edits;
    {
        const DictionaryScanner scanner(pageText.bytes());
        TextEntry entry;
        if (!scanner.findKey("/VP", entry)) return;
        job_.follower->visit(ContentFollower::Holder::viewports, viewports, scanner, entry.valueFirst, &transform, edits);
    }
    applyEdits(pageText, std::move(edits));
}
