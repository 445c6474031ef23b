// The plain streams (file and memory windows, embed streams) and the decoder chosen from a stream
// dictionary.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/stream/FilterSetup.h"
#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfEmbedStream.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "tests/support/TestTools.h"

namespace {

std::string drain(CPdfStream* stream) {
    std::string out;
    for (int c = stream->getChar(); c >= 0; c = stream->getChar()) out.push_back(static_cast<char>(c));
    return out;
}

// The input file's block keeps what it read, reads ahead for readers moving forward and serves large
// reads partly from the block: whatever the order of positions and sizes, the bytes are the file's.
TEST(PlainStreams, InputFileReadsGiveTheFilesBytesInAnyOrder) {
    TempDir dir;
    std::string content(300000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7919 % 251);
    writeFile(dir.file("in"), content);
    const std::unique_ptr<CInputFile> file = CInputFile::open(dir.file("in"));
    ASSERT_TRUE(file);
    std::vector<uint8_t> buffer(200000);
    uint64_t position = 0;
    uint32_t state = 1;
    const auto next = [&state](uint32_t limit) { return (state = state * 1103515245u + 12345u) / 65536u % limit; };
    for (int i = 0; i < 3000; ++i) {
        // Runs of reads that go on where the last ended, small steps back, jumps, and large reads.
        const uint32_t how = next(10);
        if (how < 5) {
            // go on
        } else if (how < 7) {
            position -= std::min<uint64_t>(position, next(6000));
        } else {
            position = next(static_cast<uint32_t>(content.size()) + 100);
        }
        const size_t count = how == 9 ? 60000 + next(140000) : 1 + next(how == 8 ? 70000 : 3000);
        const size_t got = file->readAt(position, buffer.data(), count);
        const size_t expected = position >= content.size() ? 0 : std::min<size_t>(count, content.size() - position);
        ASSERT_EQ(got, expected) << "read " << i << " at " << position;
        ASSERT_EQ(0, std::memcmp(buffer.data(), content.data() + position, got)) << "read " << i << " at " << position;
        position += got;
    }
}

TEST(PlainStreams, WindowsPositionsAndLimits) {
    TempDir dir;
    std::string content(5000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7919 % 251);
    writeFile(dir.file("in"), content);
    const std::unique_ptr<CInputFile> file = CInputFile::open(dir.file("in"));
    ASSERT_TRUE(file);
    const auto window = [&file](uint32_t start, uint32_t length) {
        return new CPdfFileStream(file.get(), start, length, CPdfElement());
    };
    CPdfStreamRef whole(window(0, 0)), a(window(1000, 300)), b(window(3000, 2000));
    EXPECT_EQ(drain(whole.get()), content) << "length 0 reads to the end of the file";
    // Two windows read alternately, one by bytes over two refills, the other in blocks to its end.
    std::string fromA, fromB;
    uint8_t block[7];
    for (int i = 0; i < 300; ++i) fromA += char(a->getChar()), fromB.append(block, block + b->read(block, 7));
    EXPECT_EQ(fromA + fromB, content.substr(1000, 300) + content.substr(3000, 2000));
    EXPECT_EQ(a->getChar(), -1);
    // Positions are the file's: after moveStart the window's first byte is at 5.
    whole->moveStart(5);
    whole->reset();
    EXPECT_EQ(whole->getPos(), 5u);
    EXPECT_EQ(whole->getChar(), static_cast<uint8_t>(content[5]));
    whole->setPos(static_cast<uint32_t>(-1023), CPdfStream::kFromEnd);
    EXPECT_EQ(whole->getChar(), static_cast<uint8_t>(content[5000 - 1023]));

    // Memory windows clamp positions and sub-streams to their bytes.
    const std::string data = "0123456789abcdef";
    CPdfStreamRef memory(new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(data.data()), 0, 16));
    CPdfStreamRef part(memory->makeSubStream(4, 6, CPdfElement()));
    EXPECT_EQ(part->getPos(), 4u);
    EXPECT_EQ(drain(part.get()), "456789");
    const auto moved = [&part](uint32_t to, int direction) { return part->setPos(to, direction), part->getPos(); };
    EXPECT_EQ(moved(100, CPdfStream::kFromStart), 10u);
    EXPECT_EQ(moved(2, CPdfStream::kFromEnd), 8u);
    EXPECT_EQ(moved(100, CPdfStream::kFromEnd), 4u);
    CPdfStreamRef beyond(part->makeSubStream(8, 20, CPdfElement()));
    EXPECT_EQ(drain(beyond.get()), "89") << "nothing past the parent's window";
    // A limited embed stream with nothing left does not read its source; an unlimited one ends with it.
    CPdfEmbedStream none(memory.get(), CPdfElement(), true, 0), three(memory.get(), CPdfElement(), true, 3);
    EXPECT_EQ(none.getChar(), -1);
    uint8_t buffer[8];
    EXPECT_EQ(three.read(buffer, 8), 3u);
    EXPECT_EQ(std::string(buffer, buffer + 3), "012");
    CPdfEmbedStream rest(memory.get(), CPdfElement(), false, 0);
    EXPECT_EQ(drain(&rest), "3456789abcdef");
}

// Object 9 is the name FlateDecode; fetching any other object fails.
struct OneObject : CPdfResolver {
    void fetch(int32_t number, uint32_t, CPdfElement& out) override {
        if (number != 9) throw CPdfException("broken object");
        out.initName("FlateDecode");
    }
};

// What makeFilterStream makes of `data`: the decoded bytes, "(none)", or "!" and the message. It
// takes over the raw stream on every path (AddressSanitizer reports a leak or a double free).
std::string outcome(const std::string& data, const CPdfElement& dictionary) {
    try {
        CPdfStreamRef made(makeFilterStream(
            new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(data.data()), 0, static_cast<uint32_t>(data.size())),
            dictionary));
        return made.get() ? drain(made.get()) : "(none)";
    } catch (const CPdfException& e) {
        return std::string("!") + e.getMessage();
    }
}

TEST(FilterSetup, ChoosesTheDecoderFromTheDictionary) {
    OneObject xref;
    // A dictionary of these keys and values, or without keys an array of the values.
    const auto make = [&xref](const std::vector<CPdfElement>& values, const std::vector<const char*>& keys = {}) {
        CPdfElement made;
        keys.empty() ? made.initArray(&xref) : made.initDictionary(&xref);
        for (size_t i = 0; i < values.size(); ++i)
            keys.empty() ? made.getArray()->add(values[i]) : made.getDictionary()->add(keys[i], values[i]);
        return made;
    };
    CPdfElement fl, flate, hex, dct, three, twelve, five, minusFour, realFive, reference, broken;
    fl.initName("Fl"), flate.initName("FlateDecode"), hex.initName("ASCIIHexDecode"), dct.initName("DCTDecode");
    three.initInteger(3), twelve.initInteger(12), five.initInteger(5), minusFour.initInteger(-4), realFive.initReal(5);
    reference.initReference(9, 0), broken.initReference(4, 0);
    const auto parms = [&](const CPdfElement& columns) { return make({twelve, columns}, {"Predictor", "Columns"}); };
    const auto withParms = [&](const char* key, const CPdfElement& p) { return make({flate, p}, {"Filter", key}); };
    const std::string packed = deflateBytes("decoded"), raw = "\2\1\2\3\4\5\2\1\1\1\1\1", rows = deflateBytes(raw);
    const struct { const char* what; CPdfElement dictionary; std::string data, expected; } cases[] = {
        {"no filter", make({three}, {"Length"}), packed, packed},
        {"abbreviated name", make({fl}, {"F"}), packed, "decoded"},
        {"array of one", make({make({flate})}, {"Filter"}), packed, "decoded"},
        {"reference in an array", make({make({reference})}, {"Filter"}), packed, "decoded"},
        {"two filters", make({make({hex, flate})}, {"Filter"}), packed, "(none)"},
        {"not a name", make({three}, {"Filter"}), packed, "(none)"},
        {"unsupported", make({dct}, {"Filter"}), packed, "!Stream filter not supported"},
        {"reference that fails", make({broken}, {"Filter"}), packed, "!broken object"},
        {"bad zlib header", make({flate}, {"Filter"}), "\x78\x9D", "!Bad FCHECK in flate stream"},
        {"bad predictor", withParms("DecodeParms", parms(minusFour)), packed, "!Bad predictor parameters"},
        // Two PNG Up rows of 5 bytes; Colors 1 and BitsPerComponent 8 by default, 1 column by default.
        {"abbreviated parameters", withParms("DP", parms(five)), rows, "\1\2\3\4\5\2\3\4\5\6"},
        {"parameters in an array are no dictionary", withParms("DecodeParms", make({parms(five)})), rows, raw},
        {"filter array with its parameters array",
         make({make({flate}), make({parms(five)})}, {"Filter", "DecodeParms"}), rows, "\1\2\3\4\5\2\3\4\5\6"},
        {"real Columns keeps 1", withParms("DecodeParms", parms(realFive)), rows, "\1\4\11\12\1\1"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(c.data, c.dictionary), c.expected) << c.what;
}

}  // namespace
