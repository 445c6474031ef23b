#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/objects/PdfElement.h"

// A counted dictionary: keys in unsigned byte order, the first of two equal keys wins.
class CPdfDictionary {
public:
    explicit CPdfDictionary(CPdfResolver* xref);
    CPdfDictionary(const CPdfDictionary&) = delete;
    CPdfDictionary& operator=(const CPdfDictionary&) = delete;

    void add(const char* key, const CPdfElement& element);
    // Takes the element over, unless the key is already there (then `element` stays as it was).
    void add(const char* key, CPdfElement&& element);
    void lookup(const char* key, CPdfElement& out) const;
    void lookupUnresolved(const char* key, CPdfElement& out) const;
    // The stored value of `key`, or null when absent; no copy.
    const CPdfElement* find(const char* key) const;
    bool isType(const char* typeName) const;

    int32_t getLength() const { return static_cast<int32_t>(isFlat() ? flat_.size() : tree_->size()); }
    std::string getKey(int32_t i) const;
    void getValue(int32_t i, CPdfElement& out) const;

    CPdfResolver* getXRef() const { return xref_; }
    void setXRef(CPdfResolver* xref) { xref_ = xref; }

    void incRef() { ++refCount_; }
    void decRef();
    int32_t getRefCount() const { return refCount_; }

protected:
    virtual ~CPdfDictionary();

private:
    // Nearly every dictionary is small: its entries stand sorted in one block, found by binary
    // search. One that outgrows kFlatLimit moves into a tree, so that adding stays logarithmic.
    static constexpr size_t kFlatLimit = 32;

    struct Entry {
        std::string key;
        CPdfElement value;
    };
    using Tree = std::map<std::string, CPdfElement>;

    bool isFlat() const { return !tree_; }
    const CPdfElement& valueAt(int32_t i) const;
    void moveIntoTree();
    // The first flat entry whose key is not below `key`.
    std::vector<Entry>::const_iterator flatLowerBound(std::string_view key) const;

    int32_t refCount_ = 1;
    CPdfResolver* xref_;
    std::vector<Entry> flat_;
    std::unique_ptr<Tree> tree_;  // null while the entries are flat
};
