// The object model: copies, counted sharing (the sanitizer build finds leaks and double frees),
// resolution only where asked, dictionary key rules, hex strings and their text.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/objects/PdfString.h"
#include "pdf/stream/PdfMemoryStream.h"

namespace {

// Serves object 5, generation 2, as the integer 612, and anything else as null.
class FakeResolver : public CPdfResolver {
public:
    void fetch(int32_t number, uint32_t generation, CPdfElement& out) override {
        if (number == 5 && generation == 2) return out.initInteger(612);
        out.initNull();
    }
};

// A counted object that reports its deletion.
template <class Base>
class Tracked : public Base {
public:
    template <class... Args>
    explicit Tracked(bool& deleted, Args... args) : Base(args...), deleted_(deleted) { deleted_ = false; }

protected:
    ~Tracked() override { deleted_ = true; }

private:
    bool& deleted_;
};

CPdfElement trackedDictionary(bool& deleted) {
    auto* dictionary = new Tracked<CPdfDictionary>(deleted, nullptr);
    CPdfElement element;
    element.initDictionary(dictionary);
    dictionary->decRef();  // the element now holds the only reference
    return element;
}

CPdfElement integer(int32_t value) {
    CPdfElement element;
    element.initInteger(value);
    return element;
}

CPdfElement dictionaryWith(CPdfResolver* xref, const std::vector<std::pair<std::string, CPdfElement>>& entries) {
    CPdfElement element;
    element.initDictionary(xref);
    for (const auto& entry : entries) element.getDictionary()->add(entry.first.c_str(), entry.second);
    return element;
}

TEST(Element, TextsAndHexStringsAreCopiedNotShared) {
    char buffer[] = "Helvetica";
    CPdfElement name, string, command, hex;
    CPdfString digits("414243", 6);
    digits.setDecoded(false);
    name.initName(buffer);
    string.initString("a\0b", 3);
    command.initCommand("endobj");
    hex.initHexString(digits);
    buffer[0] = 'X';
    const CPdfElement copies[] = {name, string, command, hex};
    for (CPdfElement* element : {&name, &string, &command, &hex}) element->free();  // and again when destroyed
    EXPECT_STREQ("Helvetica", copies[0].getName());
    EXPECT_EQ(std::string("a\0b", 3), std::string(copies[1].getString(), copies[1].getStringLength()));
    EXPECT_TRUE(copies[2].isCommand("endobj"));
    EXPECT_FALSE(copies[2].isCommand("endob"));
    EXPECT_FALSE(copies[0].isCommand("Helvetica"));  // a name is never a command
    EXPECT_FALSE(copies[3].getHexString()->isDecoded());  // the flag travels with the copy
    copies[3].getHexString()->decodeHex();
    EXPECT_EQ("ABC", std::string(copies[3].getHexString()->getBytes(), 3));
    EXPECT_EQ(6, digits.getLength());
}

// Keywords share one text; other commands own theirs. Either kind must outlive its copies and
// be freed once (deleting a shared text would crash).
TEST(Element, KeywordCommandsSurviveCopiesAndFreesInAnyOrder) {
    for (const char* text : {"obj", "endobj", "<<", ">>", "[", "]", "R", "stream", "endstream", "BT", "objx", "ob"}) {
        CPdfElement first;
        first.initCommand(text);
        CPdfElement copy(first);
        CPdfElement assigned;
        assigned = copy;
        CPdfElement moved(std::move(first));
        first.free();
        copy.free();
        EXPECT_TRUE(moved.isCommand(text)) << text;
        EXPECT_STREQ(text, assigned.getCommand());
        moved.free();
        EXPECT_TRUE(assigned.isCommand(text)) << text;
    }
}

TEST(Element, CountedPayloadsAreSharedAndDeletedWithTheirLastHolder) {
    bool dictionaryGone = false, streamGone = false, firstGone = false, secondGone = false;
    CPdfElement dictionary = trackedDictionary(dictionaryGone), stream, array;
    auto* trackedStream = new Tracked<CPdfMemoryStream>(streamGone, nullptr, 0u, 0u);
    stream.initStream(trackedStream);
    trackedStream->decRef();
    array.initArray(nullptr);
    array.getArray()->add(dictionary);
    array.getArray()->add(stream);
    CPdfElement arrayCopy(array), streamCopy = stream;
    for (CPdfElement* holder : {&dictionary, &stream, &array, &streamCopy}) holder->free();
    EXPECT_FALSE(dictionaryGone || streamGone);
    arrayCopy.free();  // the array goes, and its elements with it
    EXPECT_TRUE(dictionaryGone && streamGone);

    CPdfElement first = trackedDictionary(firstGone), target = trackedDictionary(secondGone);
    CPdfElement moved(std::move(first)), copied = integer(1);
    target = std::move(moved);
    EXPECT_TRUE(secondGone);
    copied = target;
    copied = copied;
    EXPECT_EQ(2, target.getDictionary()->getRefCount());
    target.free();
    copied.free();
    EXPECT_TRUE(firstGone);

    CPdfElement holder;  // the array dies during the assignment: the value must be copied out first
    holder.initArray(nullptr);
    holder.getArray()->add(integer(7));
    holder = holder.getArray()->at(0);
    EXPECT_EQ(7, holder.getInteger());
}

TEST(Element, ReferencesResolveOnlyThroughAResolverAndOnlyWhereAsked) {
    FakeResolver resolver;
    CPdfElement reference, missing, array, out;
    reference.initReference(5, 2);
    missing.initReference(6, 0);
    CPdfElement dictionary = dictionaryWith(&resolver, {{"Width", reference}, {"Height", missing}});
    const std::pair<const char*, ElementKind> lookups[] = {
        {"Width", kindInteger}, {"Height", kindNull}, {"width", kindNull}, {"", kindNull}};
    for (const auto& lookup : lookups) {
        dictionary.getDictionary()->lookup(lookup.first, out);
        EXPECT_EQ(lookup.second, out.getKind()) << lookup.first;
        out.free();
    }
    array.initArray(&resolver);
    array.getArray()->add(reference);
    array.getArray()->get(0, out);
    EXPECT_EQ(612, out.getInteger());
    CPdfElement fromArray, fromDictionary, withoutTable;
    array.getArray()->getUnresolved(0, fromArray);
    dictionary.getDictionary()->lookupUnresolved("Width", fromDictionary);
    reference.fetch(nullptr, withoutTable);
    for (const CPdfElement* unresolved : {&fromArray, &fromDictionary, &withoutTable})
        EXPECT_TRUE(unresolved->is(kindReference) && unresolved->getRefGeneration() == 2u);
}

std::vector<std::string> keysOf(const CPdfDictionary& dictionary) {
    std::vector<std::string> keys;
    for (int32_t i = 0; i < dictionary.getLength(); ++i) keys.push_back(dictionary.getKey(i));
    return keys;
}

TEST(Dictionary, FirstKeyWinsAndKeysRunInUnsignedByteOrder) {
    bool refusedGone = false;
    CPdfElement refused = trackedDictionary(refusedGone);
    CPdfElement small = dictionaryWith(
        nullptr, {{"a", integer(3)}, {"B", integer(2)}, {"A", integer(1)}, {"A", refused}, {"\xC3\xA9", integer(4)}});
    EXPECT_EQ((std::vector<std::string>{"A", "B", "a", "\xC3\xA9"}), keysOf(*small.getDictionary()));
    refused.free();
    EXPECT_TRUE(refusedGone);  // the second value was not kept
    EXPECT_EQ(1, small.getDictionary()->find("A")->getInteger());

    // Large enough to leave the small form: the same rules.
    CPdfElement large = dictionaryWith(nullptr, {});
    std::vector<std::string> expected;
    for (int k = 0; k < 100; ++k) {
        const std::string key = (k % 2 ? "\xC3" : "K") + std::to_string(49 - k % 50);
        large.getDictionary()->add(key.c_str(), integer(k));
        if (k < 50) expected.push_back(key);
    }
    std::sort(expected.begin(), expected.end());  // std::string compares bytes as unsigned
    EXPECT_EQ(expected, keysOf(*large.getDictionary()));
    EXPECT_EQ(1, large.getDictionary()->find("\xC3" "48")->getInteger());
}

CPdfString hexDigits(const std::string& digits) {
    CPdfString string(digits.data(), static_cast<int32_t>(digits.size()));
    string.setDecoded(false);  // as the parser leaves a hex string
    return string;
}

TEST(String, HexDigitsDecodeInPairsOnceAndTextLosesAByteOrderMark) {
    const std::pair<std::string, std::string> cases[] = {
        {"48656C6c6F", "Hello"},
        {"48656C6C6", "Hell"},  // the odd last digit has no partner
        {"48 65", "\x48\x06"},  // white space counts as a 0 digit
        {"4G", "\x40"},         // so does any other non-digit
        {"FF00", std::string("\xFF\x00", 2)},
        {"3431", "41"},  // decoded once only: the bytes are no longer digits
    };
    for (const auto& c : cases) {
        CPdfString string = hexDigits(c.first);
        string.decodeHex();
        string.decodeHex();
        EXPECT_EQ(c.second, std::string(string.getBytes(), string.getLength())) << c.first;
    }
    // Text loses a byte-order mark and the zero bytes that come with it.
    const std::pair<std::string, std::string> marked[] = {
        {std::string("\xFE\xFF\x00\x41\x00\x42", 6), "AB"},
        {std::string("\xFF\xFE\x41\x00\x42\x00", 6), "AB"},
        {std::string("\xFE\xFF\x41", 3), "A"},
        {"\xFE\xFF", "\xFE\xFF"},  // too short to count as marked
    };
    for (const auto& c : marked) {
        CPdfString string(c.first.data(), static_cast<int32_t>(c.first.size()));
        EXPECT_EQ(c.second, string.getText()) << c.second;
    }
    CPdfString unmarked("a\0b", 3);  // keeps its zero bytes; the length says where it ends
    EXPECT_EQ(std::string("a\0b", 3), std::string(unmarked.getText(), unmarked.getLength()));
    CPdfString digits = hexDigits("FEFF0041");  // digits not yet decoded are never taken for a mark
    EXPECT_STREQ("FEFF0041", digits.getText());
    digits.decodeHex();
    EXPECT_STREQ("A", digits.getText());
}

}  // namespace
