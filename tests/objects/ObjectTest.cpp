// Copies and counted sharing (the sanitizer build finds leaks and double frees), large dictionaries, hex strings.
#include <gtest/gtest.h>

#include <algorithm>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfString.h"
#include "pdf/stream/PdfMemoryStream.h"

namespace {

template <class Base>
struct Tracked : Base {
    template <class... Args>
    explicit Tracked(bool& deleted, Args... args) : Base(args...), deleted(deleted) { deleted = false; }
    ~Tracked() override { deleted = true; }
    bool& deleted;
};

CPdfElement trackedDictionary(bool& deleted) {
    auto* dictionary = new Tracked<CPdfDictionary>(deleted, nullptr);
    CPdfElement element;
    return element.initDictionary(dictionary), dictionary->decRef(), element;  // the element holds the only reference
}

CPdfElement integer(int32_t value) { CPdfElement element; return element.initInteger(value), element; }

// Commands, names and strings own their bytes; counted payloads go with their last holder, freed once in any order.
TEST(Element, CopiesOutliveTheirSourceAndPayloadsGoWithTheLastHolder) {
    char buffer[] = "Helvetica";
    CPdfElement keyword, command, name, string;
    keyword.initCommand("obj"), command.initCommand("BT"), name.initName(buffer), string.initString("a\0b", 3);
    buffer[0] = 'X';
    const CPdfElement copies[] = {keyword, command, name, string};
    CPdfElement moved(std::move(command));
    for (CPdfElement* source : {&keyword, &command, &name, &string}) source->free();  // and again when destroyed
    EXPECT_TRUE(copies[0].isCommand("obj") && !copies[0].isCommand("endob") && moved.isCommand("BT"));
    moved.free();
    EXPECT_EQ(std::string(copies[1].getCommand()) + copies[2].getName(), "BTHelvetica");
    EXPECT_TRUE(std::string("a\0b", 3) == std::string(copies[3].getString(), copies[3].getStringLength()));

    bool dictionaryGone = false, streamGone = false;
    CPdfElement dictionary = trackedDictionary(dictionaryGone), stream, array;
    auto* trackedStream = new Tracked<CPdfMemoryStream>(streamGone, nullptr, 0u, 0u);
    stream.initStream(trackedStream), trackedStream->decRef(), array.initArray(nullptr);
    array.getArray()->add(dictionary), array.getArray()->add(stream);
    CPdfElement arrayCopy(array), streamCopy = stream;
    for (CPdfElement* holder : {&dictionary, &stream, &array, &streamCopy}) holder->free();
    EXPECT_FALSE(dictionaryGone || streamGone);
    arrayCopy.free();  // the array goes, and its elements with it
    EXPECT_TRUE(dictionaryGone && streamGone);

    CPdfElement holder;  // the array dies during the assignment: the value must be copied out first
    holder.initArray(nullptr), holder.getArray()->add(integer(7));
    holder = holder.getArray()->at(0);
    EXPECT_EQ(7, holder.getInteger());
}

// In the large form a repeated key keeps its first value, a refused one is released; keys run in unsigned byte order.
TEST(Dictionary, FirstKeyWinsAndKeysRunInUnsignedByteOrder) {
    bool refusedGone = false;
    CPdfElement large, refused = trackedDictionary(refusedGone);
    large.initDictionary(static_cast<CPdfResolver*>(nullptr));
    std::vector<std::string> expected, keys;
    for (int k = 0; k < 100; ++k) {
        const std::string key = (k % 2 ? "\xC3" : "K") + std::to_string(49 - k % 50);
        large.getDictionary()->add(key.c_str(), k == 99 ? refused : integer(k));
        if (k < 50) expected.push_back(key);
    }
    EXPECT_TRUE((refused.free(), refusedGone));
    std::sort(expected.begin(), expected.end());  // std::string compares bytes as unsigned
    for (int32_t i = 0; i < large.getDictionary()->getLength(); ++i) keys.push_back(large.getDictionary()->getKey(i));
    EXPECT_EQ(expected, keys);
    EXPECT_EQ(1, large.getDictionary()->find("\xC3" "48")->getInteger());
}

// Spaced digits decode in pairs, once only (a second pass would make "41" an "A"), also in a copy.
TEST(String, HexDigitsDecodeInPairsOnceAlsoInACopy) {
    CPdfString undecoded("34 31", 5);
    undecoded.setDecoded(false);  // as the parser leaves a hex string
    CPdfElement hex;
    hex.initHexString(undecoded);
    const CPdfElement copy = hex;
    copy.getHexString()->decodeHex(), copy.getHexString()->decodeHex();
    EXPECT_EQ("41", std::string(copy.getHexString()->getBytes(), copy.getHexString()->getLength()));
}

}  // namespace
