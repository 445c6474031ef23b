#include "pdf/objects/PdfDictionary.h"

#include <cstring>
#include <iterator>

CPdfDictionary::CPdfDictionary(CPdfResolver* xref) : xref_(xref) {}

CPdfDictionary::~CPdfDictionary() = default;

void CPdfDictionary::add(const char* key, const CPdfElement& element) {
    // The first of two equal keys wins.
    if (entries_.count(key) != 0) return;
    entries_.emplace(key, std::make_unique<CPdfElement>(element));
}

const CPdfElement* CPdfDictionary::find(const char* key) const {
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : found->second.get();
}

void CPdfDictionary::lookup(const char* key, CPdfElement& out) const {
    const CPdfElement* value = find(key);
    if (!value) {
        out.initNull();
        return;
    }
    value->fetch(xref_, out);
}

void CPdfDictionary::lookupUnresolved(const char* key, CPdfElement& out) const {
    const CPdfElement* value = find(key);
    if (!value) {
        out.initNull();
        return;
    }
    out.copyFrom(*value);
}

bool CPdfDictionary::isType(const char* typeName) const {
    const CPdfElement* type = find("Type");
    return type && type->is(kindName) && std::strcmp(type->getName(), typeName) == 0;
}

CPdfDictionary::Entries::const_iterator CPdfDictionary::entryAt(int32_t i) const {
    return std::next(entries_.begin(), i);
}

std::string CPdfDictionary::getKey(int32_t i) const { return entryAt(i)->first; }

void CPdfDictionary::getValue(int32_t i, CPdfElement& out) const { out.copyFrom(*entryAt(i)->second); }

void CPdfDictionary::decRef() {
    if (--refCount_ == 0) delete this;
}
