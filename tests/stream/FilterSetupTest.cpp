// Choosing the decoder from a stream dictionary, and the ownership of the raw stream on every
// path (run under AddressSanitizer too, which reports leaks and double frees).

#include <gtest/gtest.h>

#include <map>

#include "FlateFixtures.h"
#include "tests/support/TestTools.h"
#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/stream/FilterSetup.h"
#include "pdf/stream/PdfMemoryStream.h"

namespace {

class TableResolver : public CPdfResolver {
public:
    void fetch(int32_t number, uint32_t, CPdfElement& out) override {
        if (broken) throw CPdfException("broken object");
        const auto found = objects.find(number);
        if (found == objects.end()) out.initNull();
        else out.copyFrom(found->second);
    }
    std::map<int32_t, CPdfElement> objects;
    bool broken = false;
};

class CountedStream : public CPdfMemoryStream {
public:
    CountedStream(const std::string& data, int& destroyed)
        : CPdfMemoryStream(reinterpret_cast<const uint8_t*>(data.data()), 0, static_cast<uint32_t>(data.size())),
          destroyed_(destroyed) {}
    ~CountedStream() override { ++destroyed_; }

private:
    int& destroyed_;
};

CPdfElement name(const char* text) {
    CPdfElement e;
    e.initName(text);
    return e;
}

CPdfElement integer(int value) {
    CPdfElement e;
    e.initInteger(value);
    return e;
}

// One stream dictionary under test, with the resolver it looks references up in.
class FilterCase {
public:
    FilterCase() { dictionary_.initDictionary(&resolver_); }
    void set(const char* key, const CPdfElement& value) { dictionary_.getDictionary()->add(key, value); }
    CPdfElement array(std::initializer_list<CPdfElement> items) {
        CPdfElement a;
        a.initArray(&resolver_);
        for (const CPdfElement& item : items) a.getArray()->add(item);
        return a;
    }
    // What makeFilterStream makes of `data`: decoded text, "none", or the exception's message.
    std::string outcome(const std::string& data) {
        try {
            CPdfStream* made = makeFilterStream(new CountedStream(data, destroyed_), dictionary_);
            if (!made) return "none";
            CPdfStreamRef owner(made);
            std::string out;
            for (int c = made->getChar(); c >= 0; c = made->getChar()) out.push_back(static_cast<char>(c));
            return out;
        } catch (const CPdfException& e) {
            return e.getMessage();
        }
    }

    TableResolver resolver_;
    CPdfElement dictionary_;
    int destroyed_ = 0;
};

TEST(FilterSetup, NamesArraysAndAbbreviations) {
    FilterCase c;
    const std::string packed = deflateBytes("decoded");
    EXPECT_EQ(c.outcome(packed), packed);
    c.set("F", name("Fl"));
    EXPECT_EQ(c.outcome(packed), "decoded");
    EXPECT_EQ(c.destroyed_, 2);

    FilterCase other;
    other.set("Filter", other.array({name("FlateDecode")}));
    EXPECT_EQ(other.outcome(packed), "decoded");
    FilterCase two;
    two.set("Filter", two.array({name("ASCIIHexDecode"), name("FlateDecode")}));
    EXPECT_EQ(two.outcome(packed), "none");
    FilterCase dct;
    dct.set("Filter", name("DCTDecode"));
    EXPECT_EQ(dct.outcome(packed), "Stream filter not supported");
    FilterCase number;
    number.set("Filter", integer(3));
    EXPECT_EQ(number.outcome(packed), "none");
    FilterCase indirect;  // a reference is resolved, also inside the one-element array
    CPdfElement reference;
    reference.initReference(9, 0);
    indirect.resolver_.objects[9] = name("FlateDecode");
    indirect.set("Filter", indirect.array({reference}));
    EXPECT_EQ(indirect.outcome(packed), "decoded");
    EXPECT_EQ(other.destroyed_ + two.destroyed_ + dct.destroyed_ + number.destroyed_ + indirect.destroyed_, 5);
}

TEST(FilterSetup, PredictorParameters) {
    FilterCase c;
    // PNG Up rows of 5 bytes: with the defaults (1 column) the rows would be 1 byte long.
    const std::string rows = deflateBytes(std::string("\x02\x01\x02\x03\x04\x05\x02\x01\x01\x01\x01\x01", 12));
    CPdfElement parms;
    parms.initDictionary(&c.resolver_);
    parms.getDictionary()->add("Predictor", integer(12));
    parms.getDictionary()->add("Columns", integer(5));
    c.set("Filter", name("FlateDecode"));
    c.set("DP", parms);
    EXPECT_EQ(c.outcome(rows), "\x01\x02\x03\x04\x05\x02\x03\x04\x05\x06");

    FilterCase real;  // Columns 5.0 is not an integer: the default 1 stays
    CPdfElement realParms, five;
    five.initReal(5.0);
    realParms.initDictionary(&real.resolver_);
    realParms.getDictionary()->add("Predictor", integer(12));
    realParms.getDictionary()->add("Columns", five);
    real.set("Filter", name("FlateDecode"));
    real.set("DecodeParms", real.array({realParms}));
    EXPECT_EQ(real.outcome(rows), std::string("\x02\x01\x02\x03\x04\x05\x02\x01\x01\x01\x01\x01", 12));
    real.dictionary_.free();
    real.dictionary_.initDictionary(&real.resolver_);
    real.set("Filter", name("FlateDecode"));
    real.set("DecodeParms", realParms);
    EXPECT_EQ(real.outcome(rows), "\x01\x04\x09\x0A\x01\x01");
}

TEST(FilterSetup, RawStreamIsAlwaysTakenOver) {
    FilterCase c;
    c.set("Filter", name("FlateDecode"));
    EXPECT_EQ(c.outcome("\x78\x9D"), "Bad FCHECK in flate stream");
    CPdfElement parms;
    parms.initDictionary(&c.resolver_);
    parms.getDictionary()->add("Predictor", integer(12));
    parms.getDictionary()->add("Columns", integer(-4));
    c.set("DecodeParms", parms);
    EXPECT_EQ(c.outcome(deflateBytes("x")), "Bad predictor parameters");
    EXPECT_EQ(c.destroyed_, 2);

    FilterCase broken;  // the filter's reference cannot be fetched
    CPdfElement reference;
    reference.initReference(4, 0);
    broken.set("Filter", reference);
    broken.resolver_.broken = true;
    EXPECT_EQ(broken.outcome("x"), "broken object");
    EXPECT_EQ(broken.destroyed_, 1);

    // A raw stream that someone else also holds keeps that holder's reference.
    FilterCase shared;
    shared.set("Filter", name("DCTDecode"));
    const std::string data = "x";
    auto* raw = new CountedStream(data, shared.destroyed_);
    raw->incRef();
    EXPECT_THROW(makeFilterStream(raw, shared.dictionary_), CPdfException);
    EXPECT_EQ(raw->getRefCount(), 1);
    EXPECT_EQ(shared.destroyed_, 0);
    raw->decRef();
    EXPECT_EQ(shared.destroyed_, 1);
}

}  // namespace
