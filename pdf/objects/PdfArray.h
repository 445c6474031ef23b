#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pdf/objects/PdfElement.h"

// A counted array of elements in document order, bound to the table it resolves through.
class CPdfArray {
public:
    explicit CPdfArray(CPdfResolver* xref);
    CPdfArray(const CPdfArray&) = delete;
    CPdfArray& operator=(const CPdfArray&) = delete;

    int32_t getLength() const { return static_cast<int32_t>(elements_.size()); }
    void add(const CPdfElement& element);
    void add(CPdfElement&& element);
    void get(int32_t i, CPdfElement& out) const;
    void getUnresolved(int32_t i, CPdfElement& out) const;
    // Element i as stored, without a copy.
    const CPdfElement& at(int32_t i) const { return elements_[static_cast<size_t>(i)]; }
    CPdfResolver* getXRef() const { return xref_; }

    void incRef() { ++refCount_; }
    void decRef();
    int32_t getRefCount() const { return refCount_; }

protected:
    virtual ~CPdfArray();

private:
    int32_t refCount_ = 1;
    CPdfResolver* xref_;
    std::vector<CPdfElement> elements_;
};
