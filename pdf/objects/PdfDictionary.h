#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "pdf/objects/PdfElement.h"

// A counted dictionary: keys in unsigned byte order, the first of two equal keys wins.
class CPdfDictionary {
public:
    explicit CPdfDictionary(CPdfResolver* xref);
    CPdfDictionary(const CPdfDictionary&) = delete;
    CPdfDictionary& operator=(const CPdfDictionary&) = delete;

    void add(const char* key, const CPdfElement& element);
    void lookup(const char* key, CPdfElement& out) const;
    void lookupUnresolved(const char* key, CPdfElement& out) const;
    // The stored value of `key`, or null when absent; no copy.
    const CPdfElement* find(const char* key) const;
    bool isType(const char* typeName) const;

    int32_t getLength() const { return static_cast<int32_t>(entries_.size()); }
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
    using Entries = std::map<std::string, std::unique_ptr<CPdfElement>>;
    Entries::const_iterator entryAt(int32_t i) const;

    int32_t refCount_ = 1;
    CPdfResolver* xref_;
    Entries entries_;
};
