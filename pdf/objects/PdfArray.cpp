#include "pdf/objects/PdfArray.h"

#include <utility>

CPdfArray::CPdfArray(CPdfResolver* xref) : xref_(xref) {}

CPdfArray::~CPdfArray() = default;

void CPdfArray::add(const CPdfElement& element) { elements_.push_back(element); }

void CPdfArray::add(CPdfElement&& element) { elements_.push_back(std::move(element)); }

void CPdfArray::get(int32_t i, CPdfElement& out) const { at(i).fetch(xref_, out); }

void CPdfArray::getUnresolved(int32_t i, CPdfElement& out) const { out.copyFrom(at(i)); }

void CPdfArray::decRef() {
    if (--refCount_ == 0) delete this;
}
