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
        const std::string_view wanted(key);
        const auto at = flatLowerBound(wanted);
        // The first of two equal keys wins.
        if (at != flat_.end() && at->key == wanted) return;
        flat_.insert(at, Entry{key, std::move(element)});
        return;
    }
    if (isFlat()) moveIntoTree();
    tree_->try_emplace(key, std::move(element));
}

std::vector<CPdfDictionary::Entry>::const_iterator CPdfDictionary::flatLowerBound(std::string_view key) const {
    return std::lower_bound(flat_.begin(), flat_.end(), key,
                            [](const Entry& entry, std::string_view k) { return std::string_view(entry.key) < k; });
}

void CPdfDictionary::moveIntoTree() {
    tree_ = std::make_unique<Tree>();
    for (Entry& entry : flat_) tree_->emplace(std::move(entry.key), std::move(entry.value));
    std::vector<Entry>().swap(flat_);
}

const CPdfElement* CPdfDictionary::find(const char* key) const {
    if (isFlat()) {
        const std::string_view wanted(key);
        const auto at = flatLowerBound(wanted);
        return at != flat_.end() && at->key == wanted ? &at->value : nullptr;
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
