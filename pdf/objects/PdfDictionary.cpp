#include "pdf/objects/PdfDictionary.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

CPdfDictionary::CPdfDictionary(CPdfResolver* xref) : xref_(xref) {}

CPdfDictionary::~CPdfDictionary() = default;

void CPdfDictionary::add(const char* key, const CPdfElement& element) { add(key, CPdfElement(element)); }

void CPdfDictionary::add(const char* key, CPdfElement&& element) {
    if (isFlat() && flat_.size() < kFlatLimit) {
        const auto at = std::lower_bound(flat_.begin(), flat_.end(), key,
                                         [](const Entry& entry, const char* k) { return entry.key.compare(k) < 0; });
        // The first of two equal keys wins.
        if (at != flat_.end() && at->key.compare(key) == 0) return;
        flat_.insert(at, Entry{key, std::move(element)});
        return;
    }
    if (isFlat()) moveIntoTree();
    tree_->try_emplace(key, std::move(element));
}

void CPdfDictionary::moveIntoTree() {
    tree_ = std::make_unique<Tree>();
    for (Entry& entry : flat_) tree_->emplace(std::move(entry.key), std::move(entry.value));
    std::vector<Entry>().swap(flat_);
}

const CPdfElement* CPdfDictionary::find(const char* key) const {
    if (isFlat()) {
        const auto at = std::lower_bound(flat_.begin(), flat_.end(), key,
                                         [](const Entry& entry, const char* k) { return entry.key.compare(k) < 0; });
        return at != flat_.end() && at->key.compare(key) == 0 ? &at->value : nullptr;
    }
    const auto found = tree_->find(key);
    return found == tree_->end() ? nullptr : &found->second;
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

std::string CPdfDictionary::getKey(int32_t i) const {
    if (isFlat()) return flat_[static_cast<size_t>(i)].key;
    return std::next(tree_->begin(), i)->first;
}

const CPdfElement& CPdfDictionary::valueAt(int32_t i) const {
    if (isFlat()) return flat_[static_cast<size_t>(i)].value;
    return std::next(tree_->begin(), i)->second;
}

void CPdfDictionary::getValue(int32_t i, CPdfElement& out) const { out.copyFrom(valueAt(i)); }

void CPdfDictionary::decRef() {
    if (--refCount_ == 0) delete this;
}
