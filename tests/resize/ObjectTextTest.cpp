#include <gtest/gtest.h>

#include "resize/ObjectText.h"

namespace {

TEST(ObjectText, FindsFirstOccurrenceFromAPosition) {
    const ObjectText text(std::string("<< /A 1 /A 2 >>"));
    EXPECT_EQ(text.findText("/A"), 3u);
    EXPECT_EQ(text.findText("/A", 4), 8u);
    EXPECT_EQ(text.findText("/B"), text.size());
    EXPECT_EQ(text.findText("/A", 100), text.size());
    EXPECT_EQ(text.findText(std::string("\0", 1)), text.size());
}

TEST(ObjectText, InsertsAndReplacesBytesInPlace) {
    ObjectText text(std::string("<< /A [1 2] >>"));
    text.insertText(2, "\n/B 3");
    EXPECT_EQ(text.bytes(), "<<\n/B 3 /A [1 2] >>");
    const size_t open = text.findText("[");
    const size_t close = text.findText("]");
    text.replaceText(open + 1, close, " 9 9 ");
    EXPECT_EQ(text.bytes(), "<<\n/B 3 /A [ 9 9 ] >>");
    text.replaceText(0, 2, "");
    EXPECT_EQ(text.bytes(), "\n/B 3 /A [ 9 9 ] >>");
    // Binary bytes pass untouched; positions past the end are clamped.
    text.insertText(text.size() + 5, std::string("\0\xff", 2));
    EXPECT_EQ(text.bytes(), std::string("\n/B 3 /A [ 9 9 ] >>\0\xff", 21));
}

}  // namespace
