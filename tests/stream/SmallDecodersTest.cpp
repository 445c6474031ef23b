// The hex, ASCII base-85 and run-length decoders, as a stream dictionary selects them.
#include <gtest/gtest.h>

#include <string>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/FilterSetup.h"
#include "pdf/stream/PdfAscii85Stream.h"
#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "tests/support/TestTools.h"

namespace {

// Encoders written from the format descriptions, with the liberties a writer may take: mixed case
// and line breaks in hex, 'z' and line breaks in base 85, literal runs cut at any length.
std::string hexEncode(const std::string& data) {
    static const char digits[] = "0123456789abcdef0123456789ABCDEF";
    std::string out;
    for (size_t k = 0; k < data.size(); ++k) {
        const unsigned char b = static_cast<unsigned char>(data[k]);
        out += digits[(b >> 4) + (k % 2) * 16];
        out += (k % 7 == 6 ? "\n" : "");
        out += digits[(b & 15) + (k % 3 == 0) * 16];
    }
    return out + ">";
}

std::string ascii85Encode(const std::string& data) {
    std::string out;
    for (size_t at = 0; at < data.size(); at += 4) {
        const size_t n = std::min<size_t>(4, data.size() - at);
        uint64_t value = 0;
        for (size_t k = 0; k < 4; ++k) value = value << 8 | (k < n ? static_cast<unsigned char>(data[at + k]) : 0);
        if (value == 0 && n == 4) {
            out += 'z';
            continue;
        }
        char group[5];
        for (int k = 4; k >= 0; --k, value /= 85) group[k] = char('!' + value % 85);
        out.append(group, n + 1);
        if (at % 40 == 36) out += "\r\n";
    }
    return out + "~>";
}

std::string runLengthEncode(const std::string& data) {
    std::string out;
    for (size_t at = 0, run; at < data.size(); at += run) {
        for (run = 1; at + run < data.size() && run < 128 && data[at + run] == data[at];) ++run;
        if (run == 1) run = std::min<size_t>({data.size() - at, 128, 1 + at % 50});  // a literal run
        out += run > 1 && data[at + 1] == data[at] ? char(257 - run) + data.substr(at, 1) : char(run - 1) + data.substr(at, run);
    }
    return out + '\x80';
}

// The decoded bytes, read alternately with peekChar and getChar, then again after reset(); or "!"
// and the message when the decoder throws.
std::string decode(const std::string& filter, const std::string& encoded) {
    try {
        CPdfElement dictionary;
        dictionary.initDictionary(static_cast<CPdfResolver*>(nullptr));
        CPdfElement name;
        name.initName(filter.c_str());
        dictionary.getDictionary()->add("Filter", name);
        auto* raw = new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(encoded.data()), 0, uint32_t(encoded.size()));
        CPdfStreamRef stream(makeFilterStream(raw, dictionary));
        std::string first, second;
        for (int c; first.size() < (1u << 20) && (c = stream->peekChar()) != CPdfStream::kEnd;) {
            EXPECT_EQ(stream->getChar(), c);
            first += char(c);
        }
        stream->reset();
        for (int c; second.size() < (1u << 20) && (c = stream->getChar()) != CPdfStream::kEnd;) second += char(c);
        EXPECT_EQ(first, second) << "a second pass differs";
        return first;
    } catch (const CPdfException& e) {
        return std::string("!") + e.getMessage();
    }
}

TEST(SmallDecoders, RoundTripTheirEncodersThroughTheFilterNames) {
    const struct { const char *name, *abbreviation; std::string (*encode)(const std::string&); } filters[] = {
        {"ASCIIHexDecode", "AHx", hexEncode}, {"ASCII85Decode", "A85", ascii85Encode},
        {"RunLengthDecode", "RL", runLengthEncode}};
    for (const size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 127u, 128u, 129u, 300u, 1000u}) {
        std::string data(length, '\0');
        for (size_t k = 0; k < length; ++k) data[k] = (k / 40) % 3 == 1 ? char(k / 97) : char(k * 37 + k / 5);
        for (const auto& filter : filters) {
            const std::string encoded = filter.encode(data);
            EXPECT_EQ(decode(filter.name, encoded), data) << filter.name << " " << length;
            EXPECT_EQ(decode(filter.abbreviation, encoded + "trailing bytes"), data) << filter.abbreviation << " " << length;
        }
    }
}

TEST(SmallDecoders, EndMarksShortGroupsAndBadInput) {
    const std::string bad85 = "!Bad ASCII85Decode data", badHex = "!Bad ASCIIHexDecode data";
    const std::string cases[][3] = {  // filter, encoded, decoded
        {"AHx", "414>", "A@"}, {"AHx", "4 1\n4\t2>43", "AB"}, {"AHx", "4142", "AB"}, {"AHx", ">41", ""},
        {"AHx", "4", "@"}, {"AHx", "41g2>", badHex}, {"AHx", "", ""},
        {"A85", "9jqo^BlbD-~>", "Man is d"}, {"A85", "9j q\no^~>", "Man "}, {"A85", "z~>z", std::string(4, '\0')},
        {"A85", "9jqo^z!!~>", "Man " + std::string(5, '\0')}, {"A85", "~>9jqo^", ""}, {"A85", "9jqo^", "Man "},
        {"A85", "s8W-!~>", "\xff\xff\xff\xff"}, {"A85", "s8W-\"~>", bad85}, {"A85", "uuuuu~>", bad85},
        {"A85", "9jqo^B~>", bad85}, {"A85", "9z~>", bad85}, {"A85", "9jqv^~>", bad85},
        {"RL", "\x02" "abc\xfeZ\x80junk", "abcZZZ"}, {"RL", std::string("\x80\x00x", 3), ""}, {"RL", "\x05" "ab", "ab"},
        {"RL", "\xff", ""}, {"RL", "\x81X", std::string(128, 'X')}, {"RL", "\x01" "ab\xfd", "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(decode(c[0], c[1]), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(decode("LZWDecode", "x"), "!Stream filter not supported");
}

// A chain the way writers put text-safe compression: Flate reading from the base-85 decoder.
TEST(SmallDecoders, FeedFlate) {
    std::string content;
    for (int k = 0; k < 400; ++k) content += "0 0 m " + std::to_string(k) + " " + std::to_string(k * 3) + " l S\n";
    const std::string encoded = ascii85Encode(deflateBytes(content));
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(encoded.data()), 0, uint32_t(encoded.size()));
    CPdfFlateStream flate(new CPdfAscii85Stream(raw), 1, 1, 1, 8);
    std::string decoded(content.size() + 10, '\0');
    decoded.resize(flate.read(reinterpret_cast<uint8_t*>(&decoded[0]), decoded.size()));
    EXPECT_EQ(decoded, content);
}

}  // namespace
