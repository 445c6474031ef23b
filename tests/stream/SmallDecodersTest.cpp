// The hex, ASCII base-85 and run-length decoders, as a stream dictionary selects them.
#include <gtest/gtest.h>

#include <string>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/stream/FilterSetup.h"
#include "tests/stream/ReadEveryWay.h"

namespace {

// Written from the format description, with the liberties a writer may take: 'z' and line breaks.
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

std::string decode(const char* filter, const std::string& encoded) {
    CPdfElement dictionary, name;
    dictionary.initDictionary(static_cast<CPdfResolver*>(nullptr));
    name.initName(filter);
    dictionary.getDictionary()->add("Filter", name);
    return readEveryWay([&] { return makeFilterStream(memoryStream(encoded), dictionary); }, false);
}

TEST(SmallDecoders, Ascii85RoundTripsItsEncoderUnderBothNames) {
    for (const size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 127u, 300u, 1000u}) {
        std::string data(length, '\0');
        for (size_t k = 0; k < length; ++k) data[k] = (k / 40) % 3 == 1 ? char(k / 97) : char(k * 37 + k / 5);
        EXPECT_EQ(decode("ASCII85Decode", ascii85Encode(data)), data) << length;
        EXPECT_EQ(decode("A85", ascii85Encode(data) + "trailing bytes"), data) << length;
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
        {"RunLengthDecode", "\x02" "abc\xfeZ\x80junk", "abcZZZ"}, {"RL", "\x81X", std::string(128, 'X')},
        {"RL", "\x7f" + std::string(128, 'L'), std::string(128, 'L')}, {"RL", std::string("\x00" "a\xff" "b", 4), "abb"},
        {"RL", std::string("\x80\x00x", 3), ""}, {"RL", "\x05" "ab", "ab"}, {"RL", "\xff", ""},
        {"LZWDecode", "x", "!Stream filter not supported"},
    };
    for (const auto& c : cases) EXPECT_EQ(decode(c[0].c_str(), c[1]), c[2]) << c[0] << " " << c[1];
}

}  // namespace
