#include "resize/QuillmorHandler.h"

#include <cstdio>

#include "cli/OptionParser.h"
#include "cli/PageSelection.h"
#include "pdf/document/PdfDocument.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/InputFile.h"
#include "resize/CopyPass.h"
#include "resize/OutputEncryption.h"
#include "resize/OutputWriter.h"
#include "resize/PageRewriter.h"
#include "resize/PageScale.h"
#include "resize/PageTreeWalker.h"
#include "resize/RawObjectReader.h"

namespace {

constexpr char kPagesKey[] = "/Pages";
constexpr char kCountKey[] = "/Count";
constexpr char kStandardHandler[] = "Standard";
constexpr char kNeedsPassword[] = "\nEncrypted PDF file needs a password to be opened: it cannot be resized\n";
constexpr char kOtherHandler[] = "\nEncrypted PDF file uses a security handler other than Standard: not supported\n";

}  // namespace

CQuillmorHandler::CQuillmorHandler() = default;

CQuillmorHandler::~CQuillmorHandler() = default;

int CQuillmorHandler::parseOptions(int argumentCount, const char* const* arguments) {
    ::parseOptions(argumentCount, arguments, inputFileName_, outputFileName_, settings_);
    return 0;
}

void CQuillmorHandler::resizeFile(int argumentCount, const char* const* arguments) {
    parseOptions(argumentCount, arguments);
    openInput();

    const std::vector<XRefEntry>& entries = xref_->getEntries();
    output_.reset(new OutputWriter(outputFileName_));
    output_->resetTable(entries.size());
    std::printf(", output file: '%s'\n", outputFileName_.c_str());
    if (xref_->wasRepaired()) {
        std::printf("Warning: the cross-reference data of the input is damaged: rebuilt from the objects in the file\n");
    }

    reader_.reset(new RawObjectReader(*document_->getInputFile(), *xref_, xref_->getStart()));
    reader_->setRebuiltStringEncryption(encryption_.get());
    reader_->copyHeader(*output_);
    pagesNumber_ = readPagesNumber();
    collectPages();
    knownStreams_ = copyObjects(*reader_, *xref_, *output_, entries, records_);
    rewritePages();
    finishOutput();
}

void CQuillmorHandler::openInput() {
    {
        // Only looked at for these two messages: raw reads later go through the document's own
        // handle, so that they and the parser share one block of the file.
        const std::unique_ptr<CInputFile> input = CInputFile::open(inputFileName_);
        if (!input) throw CPdfException("Input file open error\n");
        std::printf("Input file: '%s'", inputFileName_.c_str());
        if (input->tooLarge()) throw CPdfException("\nInput file is larger than 2 GB\n");
    }
    document_.reset(new CPdfDocument());
    document_->open(inputFileName_.c_str(), nullptr, nullptr);
    xref_ = document_->getXRef();
    if (!xref_) throw CPdfException("PDF file was damaged");
    setUpEncryption();
    root_ = xref_->getRootRef();
    info_ = xref_->getInfoRef();
}

void CQuillmorHandler::setUpEncryption() {
    if (!document_->isOk()) {
        // The document refuses only an encryption it cannot open: say which kind.
        const CPdfElement& trailer = xref_->getTrailer();
        CPdfElement encrypt;
        if (trailer.is(kindDictionary)) trailer.getDictionary()->lookup("Encrypt", encrypt);
        CPdfElement filter;
        if (encrypt.is(kindDictionary)) encrypt.getDictionary()->lookup("Filter", filter);
        const bool standard = filter.is(kindName) && std::string(filter.getName()) == kStandardHandler;
        throw CPdfException(standard ? kNeedsPassword : kOtherHandler);
    }
    encryption_ = OutputEncryption::fromDocument(*xref_);
}

uint32_t CQuillmorHandler::readPagesNumber() {
    std::string catalog;
    if (!reader_->readRawObject(static_cast<uint32_t>(root_.number), catalog)) return 0;
    bool isReference = false;
    return findKeyNumber(catalog.data(), catalog.size(), kPagesKey, isReference);
}

uint32_t CQuillmorHandler::getPageCount() {
    const uint32_t pagesNumber = readPagesNumber();
    std::string pages;
    if (!reader_->readRawObject(pagesNumber, pages)) return 0;
    bool isReference = false;
    return findKeyNumber(pages.data(), pages.size(), kCountKey, isReference);
}

void CQuillmorHandler::collectPages() {
    records_ = PageTreeWalker(*xref_).collect(root_, pagesNumber_);
    // The selection checks its numbers against the count in the file's text; without "-s" it
    // chooses every page that a leaf filled.
    pageCount_ = settings_.pageRanges.empty() ? static_cast<uint32_t>(records_.size()) : getPageCount();
    selectPages(settings_, pageCount_, records_);
    leaveUnresizablePages();
}

void CQuillmorHandler::leaveUnresizablePages() {
    size_t selected = 0;
    size_t left = 0;
    for (size_t i = 0; i < records_.size(); ++i) {
        PageRecord& record = records_[i];
        if (!record.selected || !record.filled) continue;
        ++selected;
        const std::string reason = unresizableReason(settings_, record);
        if (reason.empty()) continue;
        // Unselected, the page is copied as it stands like every page the selection leaves out.
        record.selected = false;
        ++left;
        std::printf("Warning: page %zu %s: left unchanged\n", i + 1, reason.c_str());
    }
    if (left > 0 && left == selected) {
        std::printf("Warning: no selected page could be resized: every page is left unchanged\n");
    }
}

void CQuillmorHandler::rewritePages() {
    ResizeJob job{*xref_, xref_->getEntries(), *reader_, *output_, settings_, encryption_.get(), &knownStreams_};
    for (size_t i = 0; i < records_.size(); ++i) {
        PageRecord& record = records_[i];
        if (!record.selected || !record.filled) continue;
        setPageScale(settings_, record);
        PageRewriter(job).rewritePage(record);
    }
}

void CQuillmorHandler::finishOutput() {
    const uint32_t startXRef = output_->position();
    output_->writeXRefTable();
    output_->writeTrailer(startXRef, info_, root_, encryption_ ? encryption_->trailerKeys() : std::string());

    reader_.reset();
    xref_ = nullptr;
    document_->close();
    document_.reset();
    // Only now does the output name appear (or change, when it names the input itself).
    output_->commit();
}
