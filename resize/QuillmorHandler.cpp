#include "resize/QuillmorHandler.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "pdf/document/PdfDocument.h"
#include "pdf/document/PdfSignatures.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/InputFile.h"
#include "resize/ContentFollower.h"
#include "resize/CopyPass.h"
#include "resize/DirectObjectText.h"
#include "resize/OutputEncryption.h"
#include "resize/OutputWriter.h"
#include "resize/PageCollector.h"
#include "resize/PageRewriter.h"
#include "resize/PageScale.h"
#include "resize/PageSelection.h"
#include "resize/RawObjectReader.h"
#include "resize/UpdateSection.h"

namespace {

constexpr char kStandardHandler[] = "Standard";
constexpr char kNeedsPassword[] =
    "\nEncrypted PDF file needs a password to be opened: it cannot be resized without it; give the user or the owner "
    "password with -password\n";
constexpr char kPermsWarning[] =
    "Warning: the sealed permissions (Perms) of the encryption dictionary do not agree with the rest of it: the file "
    "is opened all the same\n";
constexpr char kOtherHandler[] = "\nEncrypted PDF file uses a security handler other than Standard: not supported\n";

// Copies objects while the page walk goes on, holding back the pages found that the job
// rewrites. It takes the pages to come to have higher numbers than the pages before them, as
// files mostly number them: below the lowest sibling still to come, or past the last page.
// Stops at the first page it has copied already, and at the first error.
class CopyAheadOfWalk : public PageWalkObserver {
public:
    CopyAheadOfWalk(CopyPass* pass, const ResizeSettings& settings, const CPdfXRef& xref)
        : pass_(pass), settings_(settings), xref_(xref) {}

    void pageRecorded(const PageRecord& record, uint32_t lowestSiblingAhead) override {
        // After a repair the entries are others, and what was copied is of no use.
        if (stopped_ || xref_.wasRepaired()) {
            stopped_ = true;
            return;
        }
        const bool rewritten =
            record.filled && !staysAsItIs(settings_, record) && unresizableReason(settings_, record).empty();
        if (rewritten && !pass_->holdBack(record.objectNumber)) {
            stopped_ = true;
            return;
        }
        uint32_t bound = lowestSiblingAhead;
        // A page without an object of its own tells nothing of the numbers to come.
        if (bound == std::numeric_limits<uint32_t>::max()) bound = record.filled ? record.objectNumber + 1 : 0;
        try {
            pass_->copyBelow(bound);
        } catch (const CPdfException&) {
            stopped_ = true;
        }
    }
    bool stopped() const { return stopped_; }

private:
    CopyPass* pass_;
    const ResizeSettings& settings_;
    const CPdfXRef& xref_;
    bool stopped_ = false;
};

}  // namespace

CQuillmorHandler::CQuillmorHandler(JobRequest job, std::unique_ptr<OutputFile> standardOutput)
    : job_(std::move(job)), standardOutput_(std::move(standardOutput)) {}

CQuillmorHandler::~CQuillmorHandler() = default;

void CQuillmorHandler::resizeFile() {
    openInput();
    const bool toStandardOutput = job_.outputFileName == standardStreamName;
    // An update's copy of the input runs on the output's own thread while the page tree is read.
    // Standard output takes no byte before the pages are found: a damaged tree leaves it empty.
    bool inputCopied = job_.settings.incremental && !toStandardOutput && !xref_->wasRepaired();
    if (inputCopied) {
        createOutput(toStandardOutput);
        copyInputForUpdate();
    }
    // A new file takes the objects that no page can be while the page tree is read.
    std::unique_ptr<CopyPass> earlyCopy = startCopyDuringWalk(toStandardOutput);
    CopyAheadOfWalk ahead(earlyCopy.get(), job_.settings, *xref_);
    // A damaged page tree ends the job before the output is named, as any damage the opening finds.
    CollectedPages pages;
    xref_->readRebuilding([&] { pages = PageCollector::collect(*xref_, earlyCopy ? &ahead : nullptr); });
    records_ = std::move(pages.records);
    // Repaired by the walk, the input takes no update after all: the copy goes.
    if (inputCopied && xref_->wasRepaired()) {
        output_.reset();
        inputCopied = false;
    }
    // So does a copy that ran during a repair, or stopped on an error: the copy after the walk
    // meets that error again.
    if (earlyCopy && (ahead.stopped() || xref_->wasRepaired())) dropOutput(earlyCopy);

    const std::vector<XRefEntry>& entries = xref_->getEntries();
    if (!output_) createOutput(toStandardOutput);
    if (!earlyCopy) output_->resetTable(entries.size());
    std::printf(", output file: '%s'\n", job_.outputFileName.c_str());
    if (xref_->wasRepaired()) {
        std::printf("Warning: the cross-reference data of the input is damaged: rebuilt from the objects in the file\n");
    }
    // Readers open such files; the damage touches no byte the job reads or writes.
    if (!document_->permissionsSealIntact()) std::fputs(kPermsWarning, stdout);

    const bool update = job_.settings.incremental && !xref_->wasRepaired();
    if (job_.settings.incremental && !update) {
        std::printf("Warning: a repaired input cannot take an update: the output is written whole\n");
    }
    reportSignatures(update);

    if (update) {
        openRawReader();
        if (!inputCopied) copyInputForUpdate();
    } else if (!earlyCopy) {
        openRawReader();
        reader_->copyHeader(*output_);
    }
    selectPages(pages.pageCount);
    // A copy that ran ahead of the walk and held back other objects than the selection's pages
    // is written again.
    if (earlyCopy && !earlyCopy->heldBackAsSelected(records_)) {
        dropOutput(earlyCopy);
        startWholeOutput(toStandardOutput);
    }
    // An update copies no object: the rewrite finds out itself which contents are streams.
    if (earlyCopy) {
        knownStreams_ = earlyCopy->finish(records_);
    } else if (!update) {
        knownStreams_ = copyObjects(*reader_, *output_, entries, records_);
    }
    earlyCopy.reset();
    rewritePages();
    if (update) {
        finishUpdate();
    } else {
        finishOutput();
    }
}

std::unique_ptr<CopyPass> CQuillmorHandler::startCopyDuringWalk(bool toStandardOutput) {
    const ResizeSettings& settings = job_.settings;
    // Without a selection every page of the tree is selected, and whether the job rewrites one
    // depends on that page alone.
    const bool everyPage = settings.pageRanges.empty() && settings.oddPagesOnly == settings.evenPagesOnly;
    if (toStandardOutput || settings.incremental || !everyPage || xref_->wasRepaired()) return nullptr;
    try {
        startWholeOutput(toStandardOutput);
    } catch (const CPdfException&) {
        // Set up again after the walk, the output then tells what fails.
        reader_.reset();
        output_.reset();
        return nullptr;
    }
    return std::make_unique<CopyPass>(*reader_, *output_, xref_->getEntries());
}

void CQuillmorHandler::startWholeOutput(bool toStandardOutput) {
    createOutput(toStandardOutput);
    output_->resetTable(xref_->getEntries().size());
    openRawReader();
    reader_->copyHeader(*output_);
}

void CQuillmorHandler::dropOutput(std::unique_ptr<CopyPass>& copy) {
    copy.reset();
    reader_.reset();
    output_.reset();
}

void CQuillmorHandler::openRawReader() {
    reader_.reset(new RawObjectReader(*document_->getInputFile(), *xref_, xref_->getStart()));
    reader_->setRebuiltStringEncryption(encryption_.get());
}

void CQuillmorHandler::createOutput(bool toStandardOutput) {
    output_.reset(toStandardOutput ? new OutputWriter(std::move(standardOutput_))
                                   : new OutputWriter(job_.outputFileName));
}

std::vector<PageRecord> CQuillmorHandler::surveyPages() {
    openInput();
    CollectedPages pages;
    xref_->readRebuilding([&] { pages = PageCollector::collect(*xref_); });
    ::selectPages(job_.settings, pages.pageCount, pages.records);
    return std::move(pages.records);
}

void CQuillmorHandler::reportSignatures(bool update) const {
    if (!documentIsSigned(*xref_)) return;
    if (update) {
        std::printf("Note: the input's signatures stay valid for its revision before this change; viewers will show "
                    "its pages as changed after signing\n");
    } else {
        std::printf("Warning: the input is signed: its signatures will not validate in the output; -incremental "
                    "keeps them\n");
    }
}

void CQuillmorHandler::copyInputForUpdate() {
    CInputFile& input = *document_->getInputFile();
    output_->copyFile(job_.inputFileName, input.size());
    uint8_t last = 0;
    const bool endsLine = input.size() > 0 && input.readAt(input.size() - 1, &last, 1) == 1 &&
                          (last == '\n' || last == '\r');
    if (!endsLine) output_->write("\n");
    // The update's offsets count from where the input's own do.
    output_->setOffsetOrigin(xref_->getStart());
}

void CQuillmorHandler::finishUpdate() {
    UpdateSection::Trailer trailer;
    trailer.root = root_;
    trailer.info = info_;
    trailer.previous = xref_->getNewestSection().position;
    const CPdfDictionary& inputTrailer = *xref_->getTrailer().getDictionary();
    CPdfElement size;
    inputTrailer.lookup("Size", size);
    if (size.is(kindInteger) && size.getInteger() > 0) trailer.inputSize = static_cast<uint32_t>(size.getInteger());
    if (encryption_) {
        trailer.extraKeys = encryption_->trailerKeys();
    } else if (const CPdfElement* id = inputTrailer.find("ID")) {
        trailer.extraKeys = "/ID " + directObjectText(*id) + "\n";
    }
    UpdateSection::write(*output_, xref_->getNewestSection().form, trailer);
    closeAndCommit();
}

void CQuillmorHandler::openInput() {
    std::unique_ptr<CInputFile> input = CInputFile::open(job_.inputFileName);
    if (!input) throw CPdfException("Input file open error\n");
    std::printf("Input file: '%s'", job_.shownInputName().c_str());
    if (input->tooLarge()) throw CPdfException("\nInput file is larger than 2 GB\n");
    document_.reset(new CPdfDocument());
    // Raw reads later go through the document's handle, so that they and the parser share one
    // block of the file.
    const char* password = job_.settings.password.empty() ? nullptr : job_.settings.password.c_str();
    document_->open(std::move(input), password, password);
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

void CQuillmorHandler::selectPages(uint32_t pageCount) {
    // The selection checks its numbers against the count that the page tree's root promises;
    // without "-s" it chooses every page that a page of the tree filled.
    ::selectPages(job_.settings, pageCount, records_);
    leaveUnresizablePages();
}

void CQuillmorHandler::leaveUnresizablePages() {
    size_t selected = 0;
    size_t left = 0;
    for (size_t i = 0; i < records_.size(); ++i) {
        PageRecord& record = records_[i];
        if (!record.selected || !record.filled) continue;
        ++selected;
        if (staysAsItIs(job_.settings, record)) {
            // Copied as it stands, annotations and all: nothing on the page would change.
            record.selected = false;
            continue;
        }
        const std::string reason = unresizableReason(job_.settings, record);
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
    ResizeJob job{*xref_, xref_->getEntries(), *reader_, *output_, job_.settings, encryption_.get(), &knownStreams_};
    ContentFollower follower(job);
    job.follower = &follower;
    // Links on any page may point at any other: every transform is known before the first rewrite.
    for (const PageRecord& record : records_) {
        if (record.selected && record.filled) follower.addPage(record, pageTransformOf(job_.settings, record));
    }
    follower.planAnnotations(records_);
    for (size_t i = 0; i < records_.size(); ++i) {
        PageRecord& record = records_[i];
        if (!record.selected || !record.filled) continue;
        PageRewriter(job).rewritePage(record, pageTransformOf(job_.settings, record));
    }
    follower.finish(root_, records_);
}

void CQuillmorHandler::finishOutput() {
    const uint32_t startXRef = output_->position();
    output_->writeXRefTable();
    output_->writeTrailer(startXRef, info_, root_, encryption_ ? encryption_->trailerKeys() : std::string());
    closeAndCommit();
}

void CQuillmorHandler::closeAndCommit() {
    output_->finishCopies();
    reader_.reset();
    xref_ = nullptr;
    document_->close();
    document_.reset();
    // Only now does the output name appear (or change, when it names the input itself).
    output_->commit();
}
