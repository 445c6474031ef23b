#include "pdf/objects/PdfElement.h"

#include <array>
#include <cstring>
#include <functional>
#include <utility>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/objects/PdfString.h"
#include "pdf/stream/PdfStream.h"

namespace {

// Texts carry their byte count in front of them, so that a string keeps the bytes after a
// zero byte (keys and passwords are binary) while its text stays zero-terminated.
constexpr size_t kLengthPrefix = sizeof(size_t);

char* copyText(const char* bytes, size_t length) {
    char* block = new char[kLengthPrefix + length + 1];
    std::memcpy(block, &length, kLengthPrefix);
    if (length) std::memcpy(block + kLengthPrefix, bytes, length);
    block[kLengthPrefix + length] = '\0';
    return block + kLengthPrefix;
}

size_t textLength(const char* text) {
    size_t length = 0;
    std::memcpy(&length, text - kLengthPrefix, kLengthPrefix);
    return length;
}

void deleteText(char* text) { delete[] (text - kLengthPrefix); }

bool ownsText(ElementKind kind) { return kind == kindString || kind == kindName || kind == kindCommand; }

// The keywords that every object is made of, in one block: commands that spell one of them point
// into it instead of owning their own text, which saves an allocation for most parser tokens.
constexpr char kSharedCommands[] = "<<\0>>\0[\0]\0R\0obj\0endobj\0stream\0endstream";

constexpr size_t kSharedCommandCount = 9;

// Where each keyword of the block starts, found once by the compiler.
constexpr std::array<const char*, kSharedCommandCount> sharedCommandStarts() {
    std::array<const char*, kSharedCommandCount> starts{};
    const char* at = kSharedCommands;
    for (size_t i = 0; i < kSharedCommandCount; ++i) {
        starts[i] = at;
        while (*at != '\0') ++at;
        ++at;
    }
    return starts;
}
constexpr std::array<const char*, kSharedCommandCount> kSharedCommandStarts = sharedCommandStarts();
static_assert(kSharedCommandStarts.back() + sizeof "endstream" == kSharedCommands + sizeof kSharedCommands,
              "every keyword of the block has its start");

const char* sharedCommand(const char* text) {
    for (const char* shared : kSharedCommandStarts) {
        if (shared[0] == text[0] && std::strcmp(shared, text) == 0) return shared;
    }
    return nullptr;
}

bool isSharedCommand(ElementKind kind, const char* text) {
    const std::less<const char*> before;
    return kind == kindCommand && !before(text, kSharedCommands) && before(text, kSharedCommands + sizeof kSharedCommands);
}

}  // namespace

CPdfElement::CPdfElement() : kind_(kindNone), payload_() {}

CPdfElement::CPdfElement(const CPdfElement& source) : CPdfElement() { copyFrom(source); }

CPdfElement::CPdfElement(CPdfElement&& source) noexcept : kind_(source.kind_), payload_(source.payload_) {
    source.kind_ = kindNone;
}

CPdfElement& CPdfElement::operator=(const CPdfElement& source) {
    if (this != &source) {
        CPdfElement copy(source);
        *this = std::move(copy);
    }
    return *this;
}

CPdfElement& CPdfElement::operator=(CPdfElement&& source) noexcept {
    if (this != &source) {
        free();
        kind_ = source.kind_;
        payload_ = source.payload_;
        source.kind_ = kindNone;
    }
    return *this;
}

CPdfElement::~CPdfElement() { free(); }

bool CPdfElement::isCommand(const char* text) const {
    return kind_ == kindCommand && payload_.text[0] == text[0] && std::strcmp(payload_.text, text) == 0;
}

void CPdfElement::initBool(bool value) {
    kind_ = kindBool;
    payload_.boolean = value ? 1 : 0;
}

void CPdfElement::initInteger(int32_t value) {
    kind_ = kindInteger;
    payload_.integer = value;
}

void CPdfElement::initReal(double value) {
    kind_ = kindReal;
    payload_.real = value;
}

void CPdfElement::initNull() { kind_ = kindNull; }

void CPdfElement::initError() { kind_ = kindError; }

void CPdfElement::initEof() { kind_ = kindEof; }

void CPdfElement::initReference(int32_t objectNumber, uint32_t generation) {
    kind_ = kindReference;
    payload_.reference.number = objectNumber;
    payload_.reference.generation = generation;
}

void CPdfElement::initText(ElementKind kind, const char* text) {
    payload_.text = copyText(text, std::strlen(text));
    kind_ = kind;
}

void CPdfElement::initString(const char* text) { initText(kindString, text); }

void CPdfElement::initString(const char* bytes, size_t length) {
    payload_.text = copyText(bytes, length);
    kind_ = kindString;
}

size_t CPdfElement::getStringLength() const { return textLength(payload_.text); }

void CPdfElement::initName(const char* text) { initText(kindName, text); }

void CPdfElement::initName(const char* bytes, size_t length) {
    payload_.text = copyText(bytes, length);
    kind_ = kindName;
}

void CPdfElement::initCommand(const char* text) {
    const char* shared = sharedCommand(text);
    if (!shared) {
        initText(kindCommand, text);
        return;
    }
    payload_.text = const_cast<char*>(shared);  // never written through, never deleted
    kind_ = kindCommand;
}

void CPdfElement::initHexString(const CPdfString& string) {
    payload_.hexString = string.clone();
    kind_ = kindHexString;
}

void CPdfElement::initArray(CPdfResolver* xref) {
    payload_.array = new CPdfArray(xref);
    kind_ = kindArray;
}

void CPdfElement::initDictionary(CPdfResolver* xref) {
    payload_.dictionary = new CPdfDictionary(xref);
    kind_ = kindDictionary;
}

void CPdfElement::initDictionary(CPdfDictionary* dictionary) {
    dictionary->incRef();
    payload_.dictionary = dictionary;
    kind_ = kindDictionary;
}

void CPdfElement::initStream(CPdfStream* stream) {
    stream->incRef();
    payload_.stream = stream;
    kind_ = kindStream;
}

void CPdfElement::free() {
    if (ownsText(kind_)) {
        if (!isSharedCommand(kind_, payload_.text)) deleteText(payload_.text);
    } else if (kind_ == kindHexString) {
        delete payload_.hexString;
    } else if (kind_ == kindArray) {
        payload_.array->decRef();
    } else if (kind_ == kindDictionary) {
        payload_.dictionary->decRef();
    } else if (kind_ == kindStream) {
        payload_.stream->decRef();
    }
    kind_ = kindNone;
    payload_ = Payload();
}

void CPdfElement::copyFrom(const CPdfElement& source) {
    if (isSharedCommand(source.kind_, source.payload_.text)) {
        payload_.text = source.payload_.text;
    } else if (ownsText(source.kind_)) {
        payload_.text = copyText(source.payload_.text, textLength(source.payload_.text));
    } else if (source.kind_ == kindHexString) {
        payload_.hexString = source.payload_.hexString->clone();
    } else {
        payload_ = source.payload_;
        if (source.kind_ == kindArray) payload_.array->incRef();
        if (source.kind_ == kindDictionary) payload_.dictionary->incRef();
        if (source.kind_ == kindStream) payload_.stream->incRef();
    }
    kind_ = source.kind_;
}

void CPdfElement::fetch(CPdfResolver* xref, CPdfElement& out) const {
    if (kind_ == kindReference && xref) {
        xref->fetch(payload_.reference.number, payload_.reference.generation, out);
        return;
    }
    out.copyFrom(*this);
}
