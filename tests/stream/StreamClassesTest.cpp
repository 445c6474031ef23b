// The plain streams: file windows over a shared input file, memory windows, embed streams, and
// what the decoding base class forwards or refuses.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FlateFixtures.h"
#include "tests/support/TestTools.h"
#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfEmbedStream.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfMemoryStream.h"

namespace {

std::string drain(CPdfStream& stream) {
    std::string out;
    for (int c = stream.getChar(); c >= 0; c = stream.getChar()) out.push_back(static_cast<char>(c));
    return out;
}

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        content_ = randomBytes(5000, 42);
        writeFile(dir_.file("input.bin"), content_);
        file_ = CInputFile::open(dir_.file("input.bin"));
        ASSERT_TRUE(file_);
    }
    CPdfStreamRef window(uint32_t start, uint32_t length) {
        return CPdfStreamRef(new CPdfFileStream(file_.get(), start, length, CPdfElement()));
    }

    TempDir dir_;
    std::string content_;
    std::unique_ptr<CInputFile> file_;
};

TEST_F(FileStreamTest, WindowsEndWhereTheyShould) {
    EXPECT_EQ(drain(*window(0, 0).get()), content_);
    CPdfStreamRef ten = window(20, 10);
    EXPECT_EQ(drain(*ten.get()), content_.substr(20, 10));
    EXPECT_EQ(ten->getChar(), -1);
    EXPECT_EQ(ten->peekChar(), -1);
    EXPECT_EQ(drain(*window(1000, 300).get()), content_.substr(1000, 300));
    // Block reads give what getChar gives, across the stream's own buffer boundaries.
    CPdfStreamRef blocks = window(7, 3000);
    std::vector<uint8_t> buffer(3100);
    EXPECT_EQ(blocks->read(buffer.data(), 1), 1u);
    EXPECT_EQ(blocks->read(buffer.data() + 1, 3099), 2999u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 3000), content_.substr(7, 3000));
    EXPECT_EQ(window(4990, 100)->read(buffer.data(), 100), 10u);
    EXPECT_EQ(window(6000, 0)->getChar(), -1);
}

TEST_F(FileStreamTest, StreamsSharingTheFileReadAlternately) {
    CPdfStreamRef a = window(0, 2000), b = window(3000, 2000);
    std::string fromA, fromB;
    for (int i = 0; i < 2000; ++i) {
        fromA.push_back(static_cast<char>(a->getChar()));
        fromB.push_back(static_cast<char>(b->getChar()));
    }
    EXPECT_EQ(fromA, content_.substr(0, 2000));
    EXPECT_EQ(fromB, content_.substr(3000, 2000));
    // A sub-stream is independent of the stream it was cut from.
    CPdfStreamRef sub(a->makeSubStream(100, 5, CPdfElement()));
    a.release()->decRef();
    EXPECT_EQ(drain(*sub.get()), content_.substr(100, 5));
}

TEST_F(FileStreamTest, PositionsAreAbsolute) {
    CPdfStreamRef s = window(0, 0);
    s->moveStart(5);
    EXPECT_EQ(s->getStart(), 5u);
    s->reset();
    EXPECT_EQ(s->getPos(), 5u);
    EXPECT_EQ(s->getChar(), static_cast<uint8_t>(content_[5]));
    EXPECT_EQ(s->getPos(), 6u);
    s->setPos(static_cast<uint32_t>(-1023), CPdfStream::kFromEnd);
    EXPECT_EQ(s->getPos(), 5000u - 1023u);
    EXPECT_EQ(s->getChar(), static_cast<uint8_t>(content_[5000 - 1023]));
    s->setPos(40, CPdfStream::kFromStart);  // the file's start, not the window's
    EXPECT_EQ(s->getChar(), static_cast<uint8_t>(content_[40]));
    EXPECT_EQ(s->getDict(), nullptr);
    EXPECT_THROW(s->getRawChar(), CPdfException);
}

TEST(MemoryStream, PositionsAndClamps) {
    const std::string data = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    CPdfMemoryStream s(bytes, 4, 6);
    EXPECT_EQ(s.getPos(), 4u);
    EXPECT_EQ(drain(s), "456789");
    s.setPos(100, CPdfStream::kFromStart);
    EXPECT_EQ(s.getPos(), 10u);
    EXPECT_EQ(s.getChar(), -1);
    s.setPos(2, CPdfStream::kFromEnd);
    EXPECT_EQ(s.getPos(), 8u);
    s.setPos(100, CPdfStream::kFromEnd);
    EXPECT_EQ(s.getPos(), 4u);
    s.setPos(0, CPdfStream::kFromStart);
    EXPECT_EQ(s.getChar(), '4');
    s.moveStart(2);
    EXPECT_EQ(s.getStart(), 6u);
    EXPECT_EQ(s.getLength(), 4u);
    EXPECT_EQ(drain(s), "6789");
    s.moveStart(50);
    EXPECT_EQ(s.getLength(), 0u);
    EXPECT_EQ(s.getChar(), -1);
    EXPECT_EQ(s.getDict(), nullptr);

    CPdfMemoryStream whole(bytes, 0, 16);
    CPdfStreamRef rest(whole.makeSubStream(3, 0, CPdfElement()));
    EXPECT_EQ(drain(*rest.get()), "3456789abcdef");
    // Nothing past the parent's window is ever read.
    CPdfStreamRef beyond(s.makeSubStream(8, 20, CPdfElement()));
    EXPECT_EQ(drain(*beyond.get()), "89");
    uint8_t buffer[8];
    whole.setPos(13, CPdfStream::kFromStart);
    EXPECT_EQ(whole.read(buffer, 8), 3u);
    EXPECT_EQ(whole.read(buffer, 8), 0u);
}

TEST(EmbedStream, LimitedAndUnlimited) {
    const std::string data = "abcdefgh";
    CPdfMemoryStream source(reinterpret_cast<const uint8_t*>(data.data()), 0, 8);
    CPdfEmbedStream none(&source, CPdfElement(), true, 0);
    EXPECT_EQ(none.getChar(), -1);
    EXPECT_EQ(none.peekChar(), -1);
    EXPECT_EQ(source.getPos(), 0u);
    CPdfEmbedStream three(&source, CPdfElement(), true, 3);
    EXPECT_EQ(three.peekChar(), 'a');
    EXPECT_EQ(drain(three), "abc");
    EXPECT_EQ(three.getPos(), 3u);
    CPdfEmbedStream two(&source, CPdfElement(), true, 2);
    uint8_t buffer[8];
    EXPECT_EQ(two.read(buffer, 8), 2u);
    EXPECT_EQ(two.read(buffer, 8), 0u);
    CPdfEmbedStream rest(&source, CPdfElement(), false, 0);
    EXPECT_EQ(drain(rest), "fgh");
    EXPECT_EQ(rest.getStart(), 0u);
    EXPECT_EQ(rest.makeSubStream(0, 1, CPdfElement()), nullptr);
}

TEST(FilterStream, ForwardsToItsSourceOrRefuses) {
    const std::string packed = deflateBytes("some text");
    const auto* bytes = reinterpret_cast<const uint8_t*>(packed.data());
    auto* source = new CPdfMemoryStream(bytes, 0, static_cast<uint32_t>(packed.size()));
    CPdfFlateStream flate(source, 1, 1, 1, 8);
    EXPECT_EQ(flate.getStart(), 0u);
    EXPECT_EQ(flate.getLength(), packed.size());
    EXPECT_EQ(flate.getBaseStream(), source);
    EXPECT_EQ(flate.getUndecodedStream(), source);
    EXPECT_EQ(flate.getNextStream(), source);
    EXPECT_EQ(flate.getDict(), nullptr);
    EXPECT_EQ(flate.makeSubStream(0, 1, CPdfElement()), nullptr);
    EXPECT_TRUE(flate.isDecoding());
    try {
        flate.setPos(3);
        ADD_FAILURE() << "setPos(pos) returned";
    } catch (const CPdfException& e) {
        EXPECT_STREQ(e.getMessage(), "Internal: called setPos() on FilterStream");
    }
    flate.setPos(3, CPdfStream::kFromStart);  // does nothing
    EXPECT_EQ(drain(flate), "some text");
    try {
        source->getRawChar();
        ADD_FAILURE() << "getRawChar on a plain stream returned";
    } catch (const CPdfException& e) {
        EXPECT_STREQ(e.getMessage(), "Internal: called getRawChar() on non-predictor stream");
    }
}

}  // namespace
