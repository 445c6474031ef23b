// Copying, freeing and moving elements of every kind: owned payloads must be
// deep-copied, counted payloads shared, and nothing may leak or be freed twice
// (run under the sanitizer build to catch the latter).

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfString.h"
#include "tests/objects/ObjectFakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>

TEST(ElementTest, ScalarKindsSurviveCopyAndFreeResetsToNone) {
    CPdfElement none;
    EXPECT_EQ(kindNone, none.getKind());

    CPdfElement boolean, integer, real, null, error, eof, reference;
    boolean.initBool(true);
    integer.initInteger(INT32_MIN);
    real.initReal(-0.125);
    null.initNull();
    error.initError();
    eof.initEof();
    reference.initReference(INT32_MAX, 0xFFFFFFFFu);

    CPdfElement boolCopy(boolean), integerCopy(integer), realCopy(real), referenceCopy(reference);
    EXPECT_TRUE(boolCopy.getBool());
    EXPECT_EQ(INT32_MIN, integerCopy.getInteger());
    EXPECT_EQ(-0.125, realCopy.getReal());
    EXPECT_EQ(INT32_MAX, referenceCopy.getRefNumber());
    EXPECT_EQ(0xFFFFFFFFu, referenceCopy.getRefGeneration());
    EXPECT_EQ(kindNull, CPdfElement(null).getKind());
    EXPECT_EQ(kindError, CPdfElement(error).getKind());
    EXPECT_EQ(kindEof, CPdfElement(eof).getKind());
    EXPECT_EQ(7.0, [] { CPdfElement e; e.initInteger(7); return e.getNumber(); }());
    EXPECT_TRUE(real.isNumber());
    EXPECT_FALSE(reference.isNumber());

    for (CPdfElement* element : {&boolean, &integer, &real, &null, &error, &eof, &reference}) {
        element->free();
        EXPECT_EQ(kindNone, element->getKind());
        element->free();  // freeing twice is harmless
        EXPECT_EQ(kindNone, element->getKind());
    }
    // A freed element takes a new value of another kind.
    boolean.initName("Again");
    EXPECT_STREQ("Again", boolean.getName());
}

TEST(ElementTest, TextKindsOwnIndependentCopies) {
    char buffer[] = "Helvetica";
    CPdfElement name, string, command;
    name.initName(buffer);
    string.initString(buffer);
    command.initCommand("endobj");
    buffer[0] = 'X';  // the element keeps its own copy
    EXPECT_STREQ("Helvetica", name.getName());
    EXPECT_STREQ("Helvetica", string.getString());
    EXPECT_EQ(kindString, string.getKind());
    EXPECT_EQ(kindName, name.getKind());

    CPdfElement nameCopy(name);
    EXPECT_NE(name.getName(), nameCopy.getName());
    name.free();
    EXPECT_STREQ("Helvetica", nameCopy.getName());

    CPdfElement commandCopy;
    commandCopy.copyFrom(command);
    command.free();
    EXPECT_TRUE(commandCopy.isCommand("endobj"));
    EXPECT_FALSE(commandCopy.isCommand("endob"));
    EXPECT_FALSE(commandCopy.isCommand("endobj "));
    EXPECT_FALSE(nameCopy.isCommand("Helvetica"));  // a name is never a command

    const char withZero[] = {'a', 'b', '\0', 'c', '\0'};
    CPdfElement truncated;
    truncated.initString(withZero);
    EXPECT_EQ(2u, std::strlen(truncated.getString()));
}

TEST(ElementTest, HexStringIsClonedNotShared) {
    const char digits[] = "414243";
    CPdfString original(digits, 6);
    original.setDecoded(false);

    CPdfElement element;
    element.initHexString(original);
    EXPECT_NE(&original, element.getHexString());
    CPdfElement copy(element);
    ASSERT_NE(element.getHexString(), copy.getHexString());
    EXPECT_FALSE(copy.getHexString()->isDecoded());  // the flag travels with the copy

    copy.getHexString()->decodeHex();
    EXPECT_EQ(3, copy.getHexString()->getLength());
    EXPECT_EQ(6, element.getHexString()->getLength());
    EXPECT_EQ(6, original.getLength());
    element.free();
    EXPECT_EQ(0, std::memcmp("ABC", copy.getHexString()->getBytes(), 3));
}

TEST(ElementTest, ArrayIsSharedAndDeletedWithItsLastElement) {
    bool innerDeleted = false;
    CPdfElement array;
    array.initArray(nullptr);
    CPdfArray* shared = array.getArray();
    EXPECT_EQ(1, shared->getRefCount());
    {
        CPdfElement inner = trackedDictionaryElement(innerDeleted);
        shared->add(inner);
    }
    EXPECT_FALSE(innerDeleted);  // the array holds its own reference

    CPdfElement copy(array);
    EXPECT_EQ(shared, copy.getArray());
    EXPECT_EQ(2, shared->getRefCount());
    array.free();
    EXPECT_EQ(1, shared->getRefCount());
    EXPECT_FALSE(innerDeleted);
    copy.free();
    EXPECT_TRUE(innerDeleted);  // deleting the array freed its elements
}

TEST(ElementTest, DictionaryIsSharedAndCounted) {
    bool deleted = false;
    CPdfDictionary* dictionary = new TrackedDictionary(deleted);
    {
        CPdfElement first;
        first.initDictionary(dictionary);
        EXPECT_EQ(2, dictionary->getRefCount());
        dictionary->decRef();  // give up the creator's reference
        CPdfElement second;
        second.copyFrom(first);
        CPdfElement third = second;
        EXPECT_EQ(3, dictionary->getRefCount());
        EXPECT_EQ(dictionary, third.getDictionary());
        first.free();
        second.free();
        EXPECT_FALSE(deleted);
        EXPECT_EQ(1, dictionary->getRefCount());
    }
    EXPECT_TRUE(deleted);

    CPdfElement made;
    made.initDictionary(static_cast<CPdfResolver*>(nullptr));
    EXPECT_EQ(1, made.getDictionary()->getRefCount());
    EXPECT_EQ(0, made.getDictionary()->getLength());
}

TEST(ElementTest, StreamIsSharedThroughItsOwnCount) {
    bool deleted = false;
    CPdfStream* stream = new TrackedStream(deleted);
    CPdfElement element;
    element.initStream(stream);
    EXPECT_EQ(2, stream->getRefCount());
    stream->decRef();
    {
        CPdfElement copy(element);
        EXPECT_EQ(stream, copy.getStream());
        EXPECT_EQ(2, stream->getRefCount());
    }
    EXPECT_EQ(1, stream->getRefCount());
    EXPECT_FALSE(deleted);
    element.free();
    EXPECT_TRUE(deleted);
}

TEST(ElementTest, MoveTransfersWithoutCountingAndAssignmentReleasesTheOldValue) {
    bool firstDeleted = false, secondDeleted = false;
    CPdfElement first = trackedDictionaryElement(firstDeleted);
    CPdfDictionary* dictionary = first.getDictionary();

    CPdfElement moved(std::move(first));
    EXPECT_EQ(kindNone, first.getKind());
    EXPECT_EQ(dictionary, moved.getDictionary());
    EXPECT_EQ(1, dictionary->getRefCount());

    CPdfElement target = trackedDictionaryElement(secondDeleted);
    target = std::move(moved);  // the second dictionary lost its only holder
    EXPECT_TRUE(secondDeleted);
    EXPECT_FALSE(firstDeleted);
    EXPECT_EQ(1, dictionary->getRefCount());

    CPdfElement text;
    text.initString("kept");
    text = text;  // self-assignment keeps the value
    EXPECT_STREQ("kept", text.getString());
    text = std::move(text);
    EXPECT_STREQ("kept", text.getString());

    CPdfElement copied;
    copied.initName("old");
    copied = target;  // copy assignment shares the dictionary and frees the old name
    EXPECT_EQ(2, dictionary->getRefCount());
    target.free();
    copied.free();
    EXPECT_TRUE(firstDeleted);
}

TEST(ElementTest, AssigningAnElementFromInsideItsOwnArrayIsSafe) {
    CPdfElement holder;
    holder.initArray(nullptr);
    CPdfElement value;
    value.initString("inner");
    holder.getArray()->add(value);
    // The array dies during the assignment; the value must be copied first.
    holder = holder.getArray()->at(0);
    ASSERT_EQ(kindString, holder.getKind());
    EXPECT_STREQ("inner", holder.getString());
}

TEST(ElementTest, FetchResolvesOnlyReferencesAndOnlyWithAResolver) {
    FakeResolver resolver;
    CPdfElement target;
    target.initName("Resolved");
    resolver.define(5, 2, target);

    CPdfElement reference;
    reference.initReference(5, 2);
    CPdfElement out;
    reference.fetch(&resolver, out);
    ASSERT_EQ(kindName, out.getKind());
    EXPECT_STREQ("Resolved", out.getName());
    out.free();

    reference.fetch(nullptr, out);  // no table at hand: the reference itself
    ASSERT_EQ(kindReference, out.getKind());
    EXPECT_EQ(5, out.getRefNumber());
    EXPECT_EQ(2u, out.getRefGeneration());
    out.free();

    CPdfElement missing;
    missing.initReference(6, 0);
    missing.fetch(&resolver, out);
    EXPECT_EQ(kindNull, out.getKind());
    out.free();

    CPdfElement integer;
    integer.initInteger(5);
    integer.fetch(&resolver, out);
    EXPECT_EQ(5, out.getInteger());
    EXPECT_EQ((std::vector<std::pair<int32_t, uint32_t>>{{5, 2}, {6, 0}}), resolver.requests);
}
