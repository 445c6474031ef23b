#pragma once
// Parses PDF syntax held in memory, and a resolver that hands out fixed objects.

#include <map>
#include <string>

#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/stream/PdfMemoryStream.h"

class ParsedText {
public:
    explicit ParsedText(std::string text, CPdfResolver* xref = nullptr)
        : text_(std::move(text)),
          parser_(xref, new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(text_.data()), 0,
                                             static_cast<uint32_t>(text_.size()))) {}

    CPdfElement next() {
        CPdfElement element;
        parser_.getObject(element);
        return element;
    }
    CPdfParser& parser() { return parser_; }

private:
    std::string text_;
    CPdfParser parser_;
};

// Objects by number, each given as an integer value; every other number is null.
class IntegerResolver : public CPdfResolver {
public:
    void set(int32_t number, int32_t value) { values_[number] = value; }
    void fetch(int32_t number, uint32_t, CPdfElement& out) override {
        ++fetches;
        const auto found = values_.find(number);
        if (found == values_.end()) {
            out.initNull();
        } else {
            out.initInteger(found->second);
        }
    }
    int fetches = 0;

private:
    std::map<int32_t, int32_t> values_;
};

// Every byte of a stream's data, through getChar.
std::string readAll(CPdfStream* stream);
