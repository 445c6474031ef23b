// The hex, ASCII base-85 and run-length decoders, as a stream dictionary selects them.
#include <gtest/gtest.h>

#include <string>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/stream/FilterSetup.h"
#include "tests/stream/ReadEveryWay.h"

namespace {

// Encoders written from the format descriptions, with the liberties a writer may take: 'z' and line
// breaks in base 85, literal runs cut at any length.
std::string ascii85Encode(const std::string& data) {
    std::string out;
    for (size_t at = 0; at < data.size(); at += 4) {
        const size_t n = std::min<size_t>(4, data.size() - at);
        uint64_t value = 0;
        for (size_t k = 0; k < 4; ++k) value = value << 8 | (k < n ? uint8_t(data[at + k]) : 0);
        char group[5];
        for (int k = 4; k >= 0; --k, value /= 85) group[k] = char('!' + value % 85);
        out += n == 4 && std::string(group, 5) == "!!!!!" ? std::string("z") : std::string(group, n + 1);
        if (at % 40 == 36) out += "\r\n";
    }
    return out + "~>";
}

std::string runLengthEncode(const std::string& data) {
    std::string out;
    for (size_t at = 0, run; at < data.size(); at += run) {
        for (run = 1; at + run < data.size() && run < 128 && data[at + run] == data[at];) ++run;
        if (run == 1) run = std::min<size_t>({data.size() - at, 128, 1 + at % 50});  // a literal run
        const bool repeat = run > 1 && data[at + 1] == data[at];
        out += repeat ? char(257 - run) + data.substr(at, 1) : char(run - 1) + data.substr(at, run);
    }
    return out + '\x80';
}

std::string decode(const char* filter, const std::string& encoded) {
    CPdfElement dictionary, name;
    dictionary.initDictionary(static_cast<CPdfResolver*>(nullptr));
    name.initName(filter);
    dictionary.getDictionary()->add("Filter", name);
    return readEveryWay([&] { return makeFilterStream(memoryStream(encoded), dictionary); }, false);
}

TEST(SmallDecoders, RoundTripTheirEncodersThroughTheFilterNames) {
    const struct { const char *name, *abbreviation; std::string (*encode)(const std::string&); } filters[] = {
        {"ASCII85Decode", "A85", ascii85Encode}, {"RunLengthDecode", "RL", runLengthEncode}};
    for (const size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 127u, 128u, 129u, 300u, 1000u}) {
        std::string data(length, '\0');
        for (size_t k = 0; k < length; ++k) data[k] = (k / 40) % 3 == 1 ? char(k / 97) : char(k * 37 + k / 5);
        for (const auto& filter : filters) {
            const std::string encoded = filter.encode(data);
            EXPECT_EQ(decode(filter.name, encoded), data) << filter.name << " " << length;
            EXPECT_EQ(decode(filter.abbreviation, encoded + "trailing bytes"), data) << filter.abbreviation << length;
        }
    }
}

TEST(SmallDecoders, EndMarksShortGroupsAndBadInput) {
    const std::string bad85 = "!Bad ASCII85Decode data", badHex = "!Bad ASCIIHexDecode data";
    const std::string cases[][3] = {  // filter, encoded, decoded
        {"ASCIIHexDecode", "4a4B\n5f>", "JK_"}, {"AHx", "414>", "A@"}, {"AHx", "4 1\n4\t2>43", "AB"},
        {"AHx", "4142", "AB"}, {"AHx", ">41", ""}, {"AHx", "4", "@"}, {"AHx", "41g2>", badHex}, {"AHx", "", ""},
        {"A85", "9jqo^BlbD-~>", "Man is d"}, {"A85", "9j q\no^~>", "Man "},
        {"A85", "9jqo^z!!~>", "Man " + std::string(5, '\0')}, {"A85", "~>9jqo^", ""}, {"A85", "9jqo^", "Man "},
        {"A85", "s8W-!~>", "\xff\xff\xff\xff"}, {"A85", "s8W-\"~>", bad85}, {"A85", "uuuuu~>", bad85},
        {"A85", "9jqo^B~>", bad85}, {"A85", "9z~>", bad85}, {"A85", "9jqv^~>", bad85},
        {"RL", std::string("\x80\x00x", 3), ""}, {"RL", "\x05" "ab", "ab"}, {"RL", "\xff", ""},
        {"RL", "\x81X", std::string(128, 'X')},
        {"LZWDecode", "x", "!Stream filter not supported"},
    };
    for (const auto& c : cases) EXPECT_EQ(decode(c[0].c_str(), c[1]), c[2]) << c[0] << " " << c[1];
}

}  // namespace
