#include <gtest/gtest.h>

#include <string>

#include "resize/ObjectHeadScanner.h"

namespace {

using Status = ObjectHead::Status;
using LengthKind = ObjectHead::LengthKind;

ObjectHead scan(const std::string& bytes, bool complete = true) {
    return scanObjectHead(bytes.data(), bytes.size(), complete);
}

TEST(RawObjectHead, FindsTheStreamDataAfterEitherLineEnd) {
    const std::string lf = "7 0 obj\n<< /Length 5 >>\nstream\nhello\nendstream\nendobj\n";
    const ObjectHead head = scan(lf);
    EXPECT_EQ(head.status, Status::stream);
    EXPECT_EQ(head.dataOffset, lf.find("hello"));
    EXPECT_EQ(head.lengthKind, LengthKind::direct);
    EXPECT_EQ(head.length, 5u);
    EXPECT_TRUE(head.hasHeader);
    EXPECT_EQ(head.number, 7u);
    EXPECT_EQ(head.generation, 0u);

    const std::string crlf = "12 3 obj<</Length 5>>stream\r\nhello\r\nendstream\r\nendobj\r\n";
    const ObjectHead compact = scan(crlf);
    EXPECT_EQ(compact.status, Status::stream);
    EXPECT_EQ(compact.dataOffset, crlf.find("hello"));
    EXPECT_EQ(compact.number, 12u);
    EXPECT_EQ(compact.generation, 3u);
}

TEST(RawObjectHead, TakesTheLengthOfTheStreamsOwnDictionaryOnly) {
    // /Length1 of an embedded font, a /Length inside a nested dictionary, and a comment that
    // mentions one must all be passed over.
    const ObjectHead font = scan("4 0 obj << /Length1 300 /DecodeParms << /Length 9 >> % /Length 77\n"
                                 " /Length 20 >> stream\n");
    EXPECT_EQ(font.status, Status::stream);
    EXPECT_EQ(font.lengthKind, LengthKind::direct);
    EXPECT_EQ(font.length, 20u);

    const ObjectHead nestedOnly = scan("4 0 obj << /DecodeParms << /Length 9 >> >> stream\n");
    EXPECT_EQ(nestedOnly.status, Status::stream);
    EXPECT_EQ(nestedOnly.lengthKind, LengthKind::none);

    const ObjectHead reference = scan("4 0 obj << /Length 12 0 R /Filter /FlateDecode >> stream\n");
    EXPECT_EQ(reference.lengthKind, LengthKind::reference);
    EXPECT_EQ(reference.lengthNumber, 12u);
    EXPECT_EQ(reference.lengthGeneration, 0u);

    // The first of two equal keys counts, as in the object model.
    EXPECT_EQ(scan("4 0 obj << /Length 3 /Length 8 >> stream\n").length, 3u);

    EXPECT_EQ(scan("4 0 obj << /Length -3 >> stream\n").lengthKind, LengthKind::none);
    EXPECT_EQ(scan("4 0 obj << /Length 3.5 >> stream\n").lengthKind, LengthKind::none);
    EXPECT_EQ(scan("4 0 obj << /Length /Three >> stream\n").lengthKind, LengthKind::none);
}

TEST(RawObjectHead, RecognisesObjectStreamsByTheirOwnType) {
    EXPECT_TRUE(scan("9 0 obj << /Type /ObjStm /N 2 /First 9 /Length 40 >> stream\n").isObjectStream);
    EXPECT_FALSE(scan("9 0 obj << /Type /XObject /Subtype /ObjStm /Length 40 >> stream\n").isObjectStream);
    EXPECT_FALSE(scan("9 0 obj << /Resources << /Type /ObjStm >> /Length 40 >> stream\n").isObjectStream);
    EXPECT_FALSE(scan("9 0 obj << /Type /ObjStmX /Length 40 >> stream\n").isObjectStream);
}

TEST(RawObjectHead, SkipsStringsThatLookLikeTheEndOfTheDictionary) {
    const std::string bytes = "5 0 obj << /T (a >> stream \\) (b) ) /H <3E3E> /Length 3 >>\nstream\nabc";
    const ObjectHead head = scan(bytes);
    EXPECT_EQ(head.status, Status::stream);
    EXPECT_EQ(head.dataOffset, bytes.size() - 3);
    EXPECT_EQ(head.length, 3u);
}

TEST(RawObjectHead, CallsEverythingElsePlain) {
    EXPECT_EQ(scan("5 0 obj << /A 1 >>\nendobj\n").status, Status::plain);
    EXPECT_EQ(scan("5 0 obj [1 2 (stream)]\nendobj\n").status, Status::plain);
    EXPECT_EQ(scan("5 0 obj 42 endobj").status, Status::plain);
    // A keyword where a value belongs: the dictionary is broken, not a stream head.
    EXPECT_EQ(scan("5 0 obj << /A endobj stream\n").status, Status::plain);
    const ObjectHead noHeader = scan("<< /Length 3 >> stream\nabc");
    EXPECT_EQ(noHeader.status, Status::plain);
    EXPECT_FALSE(noHeader.hasHeader);
    EXPECT_FALSE(scan("5 0 R << >>").hasHeader);
}

TEST(RawObjectHead, AsksForMoreBytesOnlyWhenTheyExist) {
    const std::string cuts[] = {
        "5 0 ob",                      // inside the header
        "5 0 obj << /Length 3",        // the number may go on
        "5 0 obj << /Length 12 0",     // "R" may follow
        "5 0 obj << /T (open string",  // inside a string
        "5 0 obj << /Length 3 >> str", // inside the keyword
        "5 0 obj << /Length 3 >> stream\r",  // an LF may follow the CR
    };
    for (const std::string& cut : cuts) {
        EXPECT_EQ(scan(cut, false).status, Status::needMore) << cut;
        EXPECT_NE(scan(cut, true).status, Status::needMore) << cut;
    }
    // A lone CR at the very end of the file still ends the keyword's line.
    const std::string endsInCr = "5 0 obj << /Length 0 >> stream\r";
    const ObjectHead atEnd = scan(endsInCr, true);
    EXPECT_EQ(atEnd.status, Status::stream);
    EXPECT_EQ(atEnd.dataOffset, endsInCr.size());
}

}  // namespace
