// The decoder against zlib on generated and real data, and on hand-made streams for every
// failure and quiet end.

#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>
#include <vector>

#include "FlateFixtures.h"
#include "tests/support/TestTools.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfMemoryStream.h"

namespace {

std::string messageOf(const std::string& compressed, ReadStyle style = ReadStyle::Blocks) {
    try {
        decodeFlate(compressed, style);
    } catch (const CPdfException& e) {
        return e.getMessage();
    }
    return "no error";
}

void expectMatchesZlib(const std::string& data, const std::string& compressed, ReadStyle style,
                       const std::string& label) {
    std::string expected;
    ASSERT_TRUE(zlibInflate(compressed, expected)) << label;
    ASSERT_EQ(expected, data) << label;
    EXPECT_EQ(decodeFlate(compressed, style), expected) << label;
}

TEST(FlateAgreesWithZlib, EveryLevelAndStrategyOnSeveralSizesAndKinds) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    const size_t sizes[] = {0, 1, 259, 5000, 70000};
    const ReadStyle styles[] = {ReadStyle::Blocks, ReadStyle::Mixed, ReadStyle::ByteByByte};
    int run = 0;
    for (size_t size : sizes) {
        const std::string kinds[] = {randomBytes(size, 1), textLike(size, 2), runs(size, 3)};
        for (int level = 0; level <= 9; ++level)
            for (int strategy : strategies)
                for (const std::string& data : kinds) {
                    const std::string label = "size " + std::to_string(size) + " level " + std::to_string(level) +
                                              " strategy " + std::to_string(strategy) + " run " + std::to_string(run);
                    expectMatchesZlib(data, zlibCompress(data, level, strategy), styles[run++ % 3], label);
                }
    }
}

TEST(FlateAgreesWithZlib, SeveralMegabytesAndSmallWindows) {
    const std::string text = textLike(4 << 20, 4);
    expectMatchesZlib(text, zlibCompress(text, 6, Z_DEFAULT_STRATEGY), ReadStyle::Blocks, "4 MB text");
    const std::string noise = randomBytes(3 << 20, 5);
    expectMatchesZlib(noise, zlibCompress(noise, 1, Z_DEFAULT_STRATEGY), ReadStyle::Mixed, "3 MB random");
    const std::string repeated = runs(5 << 20, 6);
    expectMatchesZlib(repeated, zlibCompress(repeated, 9, Z_RLE), ReadStyle::Blocks, "5 MB runs");
    const std::string mixed = textLike(300000, 7) + randomBytes(100000, 8) + textLike(300000, 9);
    for (int windowBits = 9; windowBits <= 15; ++windowBits)
        expectMatchesZlib(mixed, zlibCompress(mixed, 9, Z_DEFAULT_STRATEGY, windowBits), ReadStyle::Mixed,
                          "window bits " + std::to_string(windowBits));
}

// Flushes and a switch to level 0 put stored blocks right behind dynamic ones, at whatever
// bit the dynamic block ended.
TEST(FlateAgreesWithZlib, StoredBlocksAfterDynamicBlocks) {
    z_stream stream{};
    ASSERT_EQ(deflateInit(&stream, 9), Z_OK);
    std::string data, compressed(1 << 20, '\0');
    stream.next_out = reinterpret_cast<Bytef*>(&compressed[0]);
    stream.avail_out = static_cast<uInt>(compressed.size());
    auto feed = [&](const std::string& piece, int flush) {
        data += piece;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + data.size() - piece.size()));
        stream.avail_in = static_cast<uInt>(piece.size());
        ASSERT_NE(deflate(&stream, flush), Z_STREAM_ERROR);
        ASSERT_EQ(stream.avail_in, 0u);
    };
    for (uint32_t i = 0; i < 40; ++i) {
        feed(textLike(1000 + i * 37, 10 + i), i % 2 ? Z_SYNC_FLUSH : Z_BLOCK);
        ASSERT_EQ(deflateParams(&stream, i % 3 == 0 ? 0 : 6, Z_DEFAULT_STRATEGY), Z_OK);
        feed(randomBytes(50 + i * 11, 100 + i), Z_BLOCK);
        ASSERT_EQ(deflateParams(&stream, 9, Z_DEFAULT_STRATEGY), Z_OK);
    }
    feed("", Z_FINISH);
    compressed.resize(stream.total_out);
    deflateEnd(&stream);
    for (ReadStyle style : {ReadStyle::Blocks, ReadStyle::ByteByByte, ReadStyle::Mixed})
        expectMatchesZlib(data, compressed, style, "flushed");
}

// Every stream zlib accepts in the corpus files, found by scanning the raw bytes.
TEST(FlateAgreesWithZlib, EveryCorpusStream) {
    size_t compared = 0;
    for (const std::string& path : corpusFiles()) {
        const std::string file = readFile(path);
        for (size_t at = file.find("stream"); at != std::string::npos; at = file.find("stream", at + 1)) {
            if (at >= 3 && file.compare(at - 3, 3, "end") == 0) continue;
            size_t begin = at + 6;
            if (file.compare(begin, 2, "\r\n") == 0) begin += 2;
            else if (begin < file.size() && (file[begin] == '\n' || file[begin] == '\r')) begin += 1;
            else continue;
            const size_t end = file.find("endstream", begin);
            if (end == std::string::npos) break;
            const std::string data = file.substr(begin, end - begin);
            std::string expected;
            if (!zlibInflate(data, expected)) {
                // Not zlib data (other filters, encrypted): it must fail cleanly or end, not crash.
                try {
                    decodeFlate(data);
                } catch (const CPdfException&) {
                }
                continue;
            }
            ASSERT_EQ(decodeFlate(data), expected) << path << " at " << begin;
            ++compared;
        }
    }
    EXPECT_GE(compared, 1000u);
}

TEST(FlateHandMade, SmallStreamsFromTheFormatDefinition) {
    DeflateWriter empty;
    empty.blockHeader(true, DeflateWriter::kFixed);
    empty.fixedSymbol(256);
    EXPECT_EQ(decodeFlate(empty.bytes()), "");
    EXPECT_EQ(decodeFlate(std::string("\x78\x9C\x01\x05\x00\xFA\xFFhello", 12)), "hello");

    DeflateWriter repeat;  // 'A', then length 10 at distance 1
    repeat.blockHeader(true, DeflateWriter::kFixed);
    repeat.fixedSymbol('A');
    repeat.fixedSymbol(264);
    repeat.fixedDistance(0);
    repeat.fixedSymbol(256);
    EXPECT_EQ(decodeFlate(repeat.bytes(), ReadStyle::ByteByByte), std::string(11, 'A'));

    DeflateWriter beforeStart;  // length 3 at distance 4 before any output, then 'z'
    beforeStart.blockHeader(true, DeflateWriter::kFixed);
    beforeStart.fixedSymbol(257);
    beforeStart.fixedDistance(3);
    beforeStart.fixedSymbol('z');
    beforeStart.fixedSymbol(286);  // decodes like 285: 258 bytes
    beforeStart.fixedDistance(0);
    beforeStart.fixedSymbol(256);
    EXPECT_EQ(decodeFlate(beforeStart.bytes()), std::string(3, '\0') + std::string(259, 'z'));
}

// A dynamic block whose code lengths start with a repeat code: it copies zeros.
std::string dynamicBlock(int finalRunExtra) {
    DeflateWriter w;
    w.blockHeader(true, DeflateWriter::kDynamic);
    w.bits(0, 5);   // 257 literal/length codes
    w.bits(0, 5);   // 1 distance code
    w.bits(14, 4);  // 18 code-length codes
    const int order[] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1};
    for (int symbol : order) w.bits(symbol == 0 || symbol == 1 || symbol == 16 || symbol == 18 ? 2 : 0, 3);
    // Code-length codes: 0 -> 00, 1 -> 01, 16 -> 10, 18 -> 11.
    w.code(2, 2), w.bits(3, 2);     // 6 zeros
    w.code(3, 2), w.bits(48, 7);    // 59 zeros: symbols 0 to 64
    w.code(1, 2);                   // 'A' has length 1
    w.code(3, 2), w.bits(127, 7);   // 138 zeros
    w.code(3, 2), w.bits(static_cast<uint32_t>(finalRunExtra), 7);  // 41: the 52 zeros up to 255; 45 runs past the end
    w.code(1, 2);                   // end of block has length 1
    w.code(0, 2);                   // the distance code is unused
    w.code(0, 1), w.code(0, 1), w.code(1, 1);  // 'A', 'A', end of block
    return w.bytes();
}

TEST(FlateHandMade, DynamicHeaderQuirksAndFaults) {
    EXPECT_EQ(decodeFlate(dynamicBlock(41)), "AA");
    EXPECT_EQ(messageOf(dynamicBlock(45)), "Bad dynamic code table in flate stream");

    DeflateWriter tooManyDistances;
    tooManyDistances.blockHeader(true, DeflateWriter::kDynamic);
    tooManyDistances.bits(0, 5);
    tooManyDistances.bits(30, 5);
    tooManyDistances.bits(0, 4);
    tooManyDistances.bits(0, 16);
    EXPECT_EQ(messageOf(tooManyDistances.bytes()), "Bad dynamic code table in flate stream");
    const std::string valid = dynamicBlock(41);
    EXPECT_EQ(messageOf(valid.substr(0, 10)), "Bad dynamic code table in flate stream");
}

TEST(FlateFailures, HeaderChecksInTheirOrder) {
    EXPECT_EQ(decodeFlate(""), "");
    EXPECT_EQ(decodeFlate("\x78"), "");
    EXPECT_EQ(messageOf("\x79\x9C"), "Unknown compression method in flate stream");
    EXPECT_EQ(messageOf("\x78\x9D"), "Bad FCHECK in flate stream");
    EXPECT_EQ(messageOf("\x78\xBB"), "FDICT bit set in flate stream");
}

TEST(FlateFailures, BlockFaultsAndQuietEnds) {
    const std::string header = "\x78\x9C";
    EXPECT_EQ(messageOf(header), "Bad block header in flate stream");
    EXPECT_EQ(messageOf(header + "\x07"), "Bad block header in flate stream");
    EXPECT_EQ(messageOf(header + std::string("\x00\x00\x00\xFF\xFF", 5)), "Bad block header in flate stream");
    EXPECT_EQ(messageOf(header + std::string("\x01\x05\x00", 3)), "Bad block header in flate stream");
    EXPECT_EQ(messageOf(header + std::string("\x01\x05\x00\xFB\xFF", 5)),
              "Bad uncompressed block length in flate stream");
    EXPECT_EQ(decodeFlate(header + std::string("\x01\x05\x00\xFA\xFF" "ab", 7)), "ab");

    DeflateWriter cut;  // the input ends inside the symbol after "abc"
    cut.blockHeader(true, DeflateWriter::kFixed);
    for (char c : std::string("abc")) cut.fixedSymbol(c);
    EXPECT_EQ(messageOf(cut.bytes()), "Unexpected end of file in flate stream");

    DeflateWriter farDistance;
    farDistance.blockHeader(true, DeflateWriter::kFixed);
    farDistance.fixedSymbol('a');
    farDistance.fixedSymbol(257);
    farDistance.fixedDistance(30);
    farDistance.fixedSymbol(256);
    EXPECT_EQ(messageOf(farDistance.bytes()), "Unexpected end of file in flate stream");

    // The bytes before a fault come out first; the fault then repeats on every call.
    const std::string data = cut.bytes();
    CPdfStreamRef flate(new CPdfFlateStream(
        new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(data.data()), 0, static_cast<uint32_t>(data.size())), 1,
        1, 1, 8));
    for (char c : std::string("abc")) EXPECT_EQ(flate->getChar(), c);
    EXPECT_THROW(flate->peekChar(), CPdfException);
    EXPECT_THROW(flate->getChar(), CPdfException);
}

// A second pass after reset gives the first pass's bytes, also when the data begins with a
// reference before its start and the first pass moved the history along.
TEST(FlateReset, SecondPassRepeatsTheFirst) {
    DeflateWriter w;
    w.blockHeader(true, DeflateWriter::kFixed);
    w.fixedSymbol(257);
    w.fixedDistance(3);
    for (int i = 0; i < 400; ++i) {
        w.fixedSymbol('a' + i % 26);
        w.fixedSymbol(285);
        w.fixedDistance(0);
    }
    w.fixedSymbol(256);
    const std::string data = w.bytes();
    CPdfStreamRef flate(new CPdfFlateStream(
        new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(data.data()), 0, static_cast<uint32_t>(data.size())), 1,
        1, 1, 8));
    std::vector<uint8_t> first(200000), second(200000);
    const size_t firstSize = flate->read(first.data(), first.size());
    ASSERT_EQ(firstSize, 3u + 400u * 259u);
    EXPECT_EQ(first[0], 0);
    flate->reset();
    flate->reset();
    EXPECT_EQ(flate->read(second.data(), second.size()), firstSize);
    EXPECT_EQ(first, second);
}

}  // namespace
