#include "pdf/document/PdfDocument.h"

#include <cstring>
#include <string>
#include <utility>

#include "pdf/document/PdfCatalog.h"
#include "pdf/document/PdfOutline.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/security/SecurityHandler.h"
#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/xref/PdfXRef.h"

namespace {

// The header may follow some leading junk: it is looked for in the file's first bytes only.
constexpr size_t kHeaderWindow = 1023;
constexpr char kHeaderMark[] = "%PDF-";
constexpr size_t kHeaderMarkLength = sizeof(kHeaderMark) - 1;
// 1018 candidate positions (0 to 1017), so the last byte of the window never starts a match.
constexpr size_t kHeaderPositions = kHeaderWindow - kHeaderMarkLength;
// Bytes past the end of a short file read as 0xFF, which can never be part of the mark.
constexpr uint8_t kPastEndFill = 0xFF;

struct StreamReleaser {
    void operator()(CPdfStream* stream) const { stream->decRef(); }
};

std::string passwordText(const char* password) { return password ? std::string(password) : std::string(); }

}  // namespace

struct CPdfDocument::Impl {
    bool ok = false;
    bool permissionsSealIntact = true;
    std::unique_ptr<CInputFile> file;
    std::unique_ptr<CPdfStream, StreamReleaser> stream;
    std::unique_ptr<CPdfXRef> xref;
    std::unique_ptr<CPdfOutline> outline;
    std::unique_ptr<CPdfCatalog> catalog;

    bool setUp(const std::string& ownerPassword, const std::string& userPassword);
    void checkHeader();
    bool setupEncryption(const std::string& ownerPassword, const std::string& userPassword);

    // Everything built for the file goes, the objects bound to the xref before the xref itself.
    void release() {
        ok = false;
        permissionsSealIntact = true;
        outline.reset();
        catalog.reset();
        xref.reset();
        stream.reset();
        file.reset();
    }
};

CPdfDocument::CPdfDocument() : impl_(std::make_unique<Impl>()) {}

CPdfDocument::~CPdfDocument() { close(); }

void CPdfDocument::open(const char* fileName, const char* ownerPassword, const char* userPassword) {
    std::unique_ptr<CInputFile> file = fileName ? CInputFile::open(fileName) : nullptr;
    if (!file) {
        close();
        throw CPdfException("Can't open file");
    }
    open(std::move(file), ownerPassword, userPassword);
}

void CPdfDocument::open(std::unique_ptr<CInputFile> file, const char* ownerPassword, const char* userPassword) {
    close();
    impl_->file = std::move(file);
    try {
        if (impl_->file->tooLarge()) throw CPdfException("File too large (2 GiB or more)");
        CPdfElement noDictionary;
        noDictionary.initNull();
        impl_->stream.reset(new CPdfFileStream(impl_->file.get(), 0, 0, noDictionary));
        impl_->ok = impl_->setUp(passwordText(ownerPassword), passwordText(userPassword));
    } catch (...) {
        close();
        throw;
    }
}

bool CPdfDocument::Impl::setUp(const std::string& ownerPassword, const std::string& userPassword) {
    stream->reset();
    checkHeader();
    xref = std::make_unique<CPdfXRef>();
    xref->open(stream.get());
    return setupEncryption(ownerPassword, userPassword);
}

void CPdfDocument::Impl::checkHeader() {
    uint8_t window[kHeaderWindow];
    const size_t got = stream->read(window, kHeaderWindow);
    std::memset(window + got, kPastEndFill, kHeaderWindow - got);
    const void* found = memmem(window, kHeaderPositions + kHeaderMarkLength - 1, kHeaderMark, kHeaderMarkLength);
    if (!found) return;
    stream->moveStart(static_cast<uint32_t>(static_cast<const uint8_t*>(found) - window));
}

bool CPdfDocument::Impl::setupEncryption(const std::string& ownerPassword, const std::string& userPassword) {
    const CPdfElement& trailer = xref->getTrailer();
    if (!trailer.is(kindDictionary)) return true;
    CPdfElement encrypt;
    trailer.getDictionary()->lookup("Encrypt", encrypt);
    if (!encrypt.is(kindDictionary)) return true;
    std::unique_ptr<CSecurityHandler> handler = makeSecurityHandler(trailer, encrypt);
    if (!handler) return false;
    if (!handler->checkEncryption(ownerPassword, userPassword)) return false;
    xref->setEncryption(handler->getPermissionFlags(), handler->getOwnerPasswordOk(), handler->getFileKey(),
                        handler->getFileKeyLength(), handler->getEncVersion(), handler->getCipherKind());
    xref->setEncryptMetadata(handler->getEncryptMetadata());
    permissionsSealIntact = handler->permissionsSealIntact();
    return true;
}

bool CPdfDocument::isOk() const { return impl_->ok; }

bool CPdfDocument::permissionsSealIntact() const { return impl_->permissionsSealIntact; }

CPdfXRef* CPdfDocument::getXRef() const { return impl_->xref.get(); }

CInputFile* CPdfDocument::getInputFile() const { return impl_->file.get(); }

CPdfCatalog* CPdfDocument::getCatalog() {
    if (!impl_->ok || impl_->catalog) return impl_->catalog.get();
    auto catalog = std::make_unique<CPdfCatalog>();
    impl_->xref->readRebuilding([&] {
        catalog = std::make_unique<CPdfCatalog>();
        catalog->load(*impl_->xref);
    });
    impl_->catalog = std::move(catalog);
    return impl_->catalog.get();
}

CPdfOutline* CPdfDocument::getOutline() {
    if (!impl_->ok || impl_->outline) return impl_->outline.get();
    // Only the catalog's Outlines entry is read: the outline does not depend on the page tree.
    CPdfElement outlines;
    try {
        const ObjectRef rootRef = impl_->xref->getRootRef();
        CPdfElement catalog;
        impl_->xref->fetch(rootRef.number, rootRef.generation, catalog);
        if (catalog.is(kindDictionary)) catalog.getDictionary()->lookup("Outlines", outlines);
    } catch (const CPdfException&) {
        outlines.free();
    }
    impl_->outline = std::make_unique<CPdfOutline>(outlines, impl_->xref.get());
    return impl_->outline.get();
}

void CPdfDocument::close() { impl_->release(); }
