// Arrays and dictionaries: copies in, copies out, resolution only where asked,
// key order and the first-key-wins rule.

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "tests/objects/ObjectFakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CPdfElement integer(int32_t value) {
    CPdfElement element;
    element.initInteger(value);
    return element;
}

CPdfElement name(const char* text) {
    CPdfElement element;
    element.initName(text);
    return element;
}

CPdfElement reference(int32_t number, uint32_t generation = 0) {
    CPdfElement element;
    element.initReference(number, generation);
    return element;
}

std::vector<std::string> keysOf(const CPdfDictionary& dictionary) {
    std::vector<std::string> keys;
    for (int32_t i = 0; i < dictionary.getLength(); ++i)
        keys.push_back(dictionary.getKey(i));
    return keys;
}

// A dictionary element bound to xref, filled with (key, value) pairs in order.
CPdfElement dictionaryWith(CPdfResolver* xref, const std::vector<std::pair<const char*, CPdfElement>>& entries) {
    CPdfElement element;
    element.initDictionary(xref);
    for (const auto& entry : entries)
        element.getDictionary()->add(entry.first, entry.second);
    return element;
}

}  // namespace

TEST(ArrayTest, GetResolvesReferencesAndGetUnresolvedDoesNot) {
    FakeResolver resolver;
    resolver.define(5, 0, name("Five"));
    CPdfElement array;
    array.initArray(&resolver);
    CPdfArray* items = array.getArray();
    items->add(integer(1));
    items->add(reference(5));
    items->add(name("Last"));
    EXPECT_EQ(3, items->getLength());
    EXPECT_EQ(&resolver, items->getXRef());

    CPdfElement out;
    items->get(1, out);
    ASSERT_EQ(kindName, out.getKind());
    EXPECT_STREQ("Five", out.getName());
    out.free();
    items->getUnresolved(1, out);
    ASSERT_EQ(kindReference, out.getKind());
    EXPECT_EQ(5, out.getRefNumber());
    out.free();
    EXPECT_EQ(1u, resolver.requests.size());

    // Order is insertion order, and get on a direct value copies it.
    items->get(0, out);
    EXPECT_EQ(1, out.getInteger());
    out.free();
    items->get(2, out);
    EXPECT_STREQ("Last", out.getName());
    EXPECT_EQ(1u, resolver.requests.size());
}

TEST(ArrayTest, AddedElementsAreCopiesTheCallerStillOwns) {
    CPdfElement array;
    array.initArray(nullptr);
    CPdfElement text;
    text.initString("value");
    array.getArray()->add(text);
    text.free();
    EXPECT_STREQ("value", array.getArray()->at(0).getString());

    bool deleted = false;
    CPdfElement dictionary = trackedDictionaryElement(deleted);
    array.getArray()->add(dictionary);
    EXPECT_EQ(2, dictionary.getDictionary()->getRefCount());
    dictionary.free();
    EXPECT_FALSE(deleted);
    array.free();
    EXPECT_TRUE(deleted);
}

TEST(DictionaryTest, FirstOfTwoEqualKeysWinsAndTheSecondValueIsReleased) {
    bool secondDeleted = false;
    CPdfElement second = trackedDictionaryElement(secondDeleted);
    CPdfElement dictionary = dictionaryWith(nullptr, {{"A", integer(1)}, {"A", second}});
    CPdfDictionary* entries = dictionary.getDictionary();
    EXPECT_EQ(1, entries->getLength());
    EXPECT_EQ(1, second.getDictionary()->getRefCount());  // no copy was kept
    second.free();
    EXPECT_TRUE(secondDeleted);

    CPdfElement out;
    entries->lookup("A", out);
    ASSERT_EQ(kindInteger, out.getKind());
    EXPECT_EQ(1, out.getInteger());
}

TEST(DictionaryTest, KeysAreVisitedInUnsignedByteOrder) {
    CPdfElement mixed = dictionaryWith(nullptr, {{"a", integer(3)}, {"B", integer(2)}, {"A", integer(1)}});
    EXPECT_EQ((std::vector<std::string>{"A", "B", "a"}), keysOf(*mixed.getDictionary()));

    CPdfElement prefix = dictionaryWith(nullptr, {{"Ab", integer(2)}, {"A", integer(1)}});
    EXPECT_EQ((std::vector<std::string>{"A", "Ab"}), keysOf(*prefix.getDictionary()));

    // Bytes above 0x7F sort after every ASCII letter, not before.
    CPdfElement high = dictionaryWith(nullptr, {{"\xC3\xA9t\xC3\xA9", integer(2)}, {"z", integer(1)}});
    EXPECT_EQ((std::vector<std::string>{"z", "\xC3\xA9t\xC3\xA9"}), keysOf(*high.getDictionary()));

    CPdfElement value;
    mixed.getDictionary()->getValue(2, value);
    EXPECT_EQ(3, value.getInteger());  // "a", the third key, holds 3
}

TEST(DictionaryTest, MissingKeysGiveNullAndLookupsAreCaseSensitive) {
    CPdfElement dictionary = dictionaryWith(nullptr, {{"Type", name("Page")}});
    for (const char* key : {"type", "Typ", "Types", ""}) {
        CPdfElement resolved, unresolved;
        dictionary.getDictionary()->lookup(key, resolved);
        dictionary.getDictionary()->lookupUnresolved(key, unresolved);
        EXPECT_EQ(kindNull, resolved.getKind()) << key;
        EXPECT_EQ(kindNull, unresolved.getKind()) << key;
    }
}

TEST(DictionaryTest, LookupResolvesWhileUnresolvedAccessKeepsTheReference) {
    FakeResolver resolver;
    resolver.define(7, 0, integer(612));
    CPdfElement dictionary = dictionaryWith(&resolver, {{"Width", reference(7)}, {"Height", reference(8)}});
    CPdfDictionary* entries = dictionary.getDictionary();

    CPdfElement out;
    entries->lookup("Width", out);
    EXPECT_EQ(612, out.getInteger());
    out.free();
    entries->lookup("Height", out);  // a reference to nothing resolves to null
    EXPECT_EQ(kindNull, out.getKind());
    out.free();
    entries->lookupUnresolved("Width", out);
    EXPECT_EQ(kindReference, out.getKind());
    out.free();
    entries->getValue(entries->getLength() - 1, out);  // "Width" sorts last
    EXPECT_EQ(7, out.getRefNumber());
    EXPECT_EQ(2u, resolver.requests.size());

    // Without a table, lookup hands back the reference itself.
    CPdfElement unbound = dictionaryWith(nullptr, {{"Width", reference(7)}});
    CPdfElement copy;
    unbound.getDictionary()->lookup("Width", copy);
    EXPECT_EQ(kindReference, copy.getKind());
    EXPECT_EQ(2u, resolver.requests.size());
}

TEST(DictionaryTest, IsTypeLooksOnlyAtADirectName) {
    FakeResolver resolver;
    resolver.define(4, 0, name("Page"));
    struct Case {
        const char* label;
        CPdfElement type;
        bool expected;
    };
    CPdfElement text;
    text.initString("Page");
    const std::vector<Case> cases = {
        {"the name Page", name("Page"), true},
        {"the name Pages", name("Pages"), false},
        {"the name Pag", name("Pag"), false},
        {"a reference to the name Page", reference(4), false},
        {"the string Page", text, false},
    };
    for (const Case& c : cases) {
        CPdfElement dictionary = dictionaryWith(&resolver, {{"Type", c.type}});
        EXPECT_EQ(c.expected, dictionary.getDictionary()->isType("Page")) << c.label;
    }
    CPdfElement untyped = dictionaryWith(&resolver, {{"Kids", integer(0)}});
    EXPECT_FALSE(untyped.getDictionary()->isType("Page"));
    EXPECT_TRUE(resolver.requests.empty());
}

TEST(DictionaryTest, ValuesAreOwnedCopies) {
    CPdfElement value;
    value.initString("Title");
    CPdfElement dictionary = dictionaryWith(nullptr, {{"T", value}});
    value.free();
    CPdfElement first, second;
    dictionary.getDictionary()->lookup("T", first);
    dictionary.getDictionary()->lookupUnresolved("T", second);
    EXPECT_STREQ("Title", first.getString());
    EXPECT_NE(first.getString(), second.getString());
    first.free();
    EXPECT_STREQ("Title", dictionary.getDictionary()->find("T")->getString());
    EXPECT_EQ(nullptr, dictionary.getDictionary()->find("U"));
}
