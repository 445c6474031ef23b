#pragma once
// Test doubles for the object model: a resolver that records what it was asked
// for, and counted objects that report their own deletion.

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/stream/PdfStream.h"

#include <map>
#include <utility>
#include <vector>

// Serves a fixed set of objects by number and generation; anything else is null.
class FakeResolver : public CPdfResolver {
public:
    void define(int32_t number, uint32_t generation, const CPdfElement& value) {
        objects_[{number, generation}] = value;
    }
    void fetch(int32_t number, uint32_t generation, CPdfElement& out) override {
        requests.emplace_back(number, generation);
        const auto found = objects_.find({number, generation});
        if (found == objects_.end()) {
            out.initNull();
            return;
        }
        out.copyFrom(found->second);
    }
    std::vector<std::pair<int32_t, uint32_t>> requests;

private:
    std::map<std::pair<int32_t, uint32_t>, CPdfElement> objects_;
};

class TrackedDictionary : public CPdfDictionary {
public:
    explicit TrackedDictionary(bool& deleted, CPdfResolver* xref = nullptr)
        : CPdfDictionary(xref), deleted_(deleted) {
        deleted_ = false;
    }

protected:
    ~TrackedDictionary() override { deleted_ = true; }

private:
    bool& deleted_;
};

// A stream with no data; only its counting matters here.
class TrackedStream : public CPdfStream {
public:
    explicit TrackedStream(bool& deleted) : deleted_(deleted) { deleted_ = false; }
    ~TrackedStream() override { deleted_ = true; }

    void reset() override {}
    int getChar() override { return kEnd; }
    int peekChar() override { return kEnd; }
    CPdfDictionary* getDict() override { return nullptr; }
    uint32_t getPos() override { return 0; }
    void setPos(uint32_t, int) override {}
    uint32_t getStart() override { return 0; }
    void moveStart(uint32_t) override {}
    uint32_t getLength() override { return 0; }
    CPdfStream* makeSubStream(uint32_t, uint32_t, const CPdfElement&) override { return nullptr; }

private:
    bool& deleted_;
};

// An element holding a fresh tracked dictionary as its only reference.
inline CPdfElement trackedDictionaryElement(bool& deleted, CPdfResolver* xref = nullptr) {
    CPdfDictionary* dictionary = new TrackedDictionary(deleted, xref);
    CPdfElement element;
    element.initDictionary(dictionary);
    dictionary->decRef();  // the element now holds the only reference
    return element;
}
