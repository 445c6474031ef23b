// The hex, ASCII base-85 and run-length decoders, as a stream dictionary selects them.
#include <gtest/gtest.h>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/stream/FilterSetup.h"
#include "tests/stream/ReadEveryWay.h"

namespace {

std::string decode(const char* filter, const std::string& encoded) {
    CPdfElement dictionary, name;
    dictionary.initDictionary(static_cast<CPdfResolver*>(nullptr)), name.initName(filter);
    dictionary.getDictionary()->add("Filter", name);
    return readEveryWay([&] { return makeFilterStream(memoryStream(encoded), dictionary); }, false);
}

TEST(SmallDecoders, EndMarksShortGroupsAndBadInput) {
    const std::string bad85 = "!Bad ASCII85Decode data", badHex = "!Bad ASCIIHexDecode data";
    const std::string cases[][3] = {  // filter, encoded, decoded
        {"ASCIIHexDecode", "4a4B\n5f>", "JK_"}, {"AHx", "414>", "A@"}, {"AHx", "4 1\n4\t2>43", "AB"},
        {"AHx", "4142", "AB"}, {"AHx", ">41", ""}, {"AHx", "4", "@"}, {"AHx", "41g2>", badHex}, {"AHx", "", ""},
        // Last groups of two, three and four digits; 'z' beside a short group; line breaks between digits.
        {"A85", "9jqo^BlbD-~>", "Man is d"}, {"ASCII85Decode", "9jqo^B`~>", "Man i"},
        {"A85", "9jqo^Bla~>trailing", "Man is"}, {"A85", "9jqo^Blb\r\nB~>", "Man is "},
        {"A85", "zrr~>", std::string(4, '\0') + "\xff"}, {"A85", "9jqo^z!!~>", "Man " + std::string(5, '\0')},
        {"A85", "~>9jqo^", ""}, {"A85", "9jqo^", "Man "}, {"A85", "s8W-!~>", "\xff\xff\xff\xff"},
        {"A85", "s8W-\"~>", bad85}, {"A85", "9jqo^B~>", bad85}, {"A85", "9z~>", bad85}, {"A85", "9jqv^~>", bad85},
        {"RunLengthDecode", "\x02" "abc\xfeZ\x80junk", "abcZZZ"}, {"RL", "\x81X", std::string(128, 'X')},
        {"RL", "\x7f" + std::string(128, 'L'), std::string(128, 'L')}, {"RL", std::string("\x00" "a\xff" "b", 4), "abb"},
        {"RL", std::string("\x80\x00x", 3), ""}, {"RL", "\x05" "ab", "ab"}, {"RL", "\xff", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(decode(c[0].c_str(), c[1]), c[2]) << c[0] << " " << c[1];
}

}  // namespace
