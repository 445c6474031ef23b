// The stream layer: the input file's block reads and the file and memory windows; the Flate decoder against zlib, on
// hand-made streams for every failure and quiet end, and its predictors; the hex, ASCII base-85 and run-length decoders.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/stream/FilterSetup.h"
#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/stream/PdfFlateStream.h"
#include "tests/stream/ReadEveryWay.h"
#include "tests/support/GeneratedPdfs.h"
#include "tests/support/TestTools.h"

namespace {

std::string zlibCompress(const std::string& data, int level, int strategy, int windowBits = 15) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, strategy);
    std::string out(deflateBound(&z, uLong(data.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data())), z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]), z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);  // output cut short would fail the comparison with zlib's inflate
    return out.resize(z.total_out), deflateEnd(&z), out;
}

std::string decodeFlate(const std::string& zlib, int predictor = 1, int columns = 1, int colors = 1, int bits = 8) {
    return readEveryWay([&] { return new CPdfFlateStream(memoryStream(zlib), predictor, columns, colors, bits); });
}

std::string sample(size_t size, uint32_t seed, bool noise = false) {
    static const char* const words[] = {"the ", "page ", "0 0 612 792 ", "/Type ", "endobj\n", "BT /F1 12 Tf "};
    std::mt19937 random(seed);
    std::string out;
    while (out.size() < size)
        out += noise ? std::string(1, char(random()))
                     : random() % 8 ? words[random() % 6] : std::to_string(random() % 100000);
    return out.substr(0, size);
}

TEST(FlateAgreesWithZlib, LevelsStrategiesSizesAndWindows) {
    const auto agrees = [](const std::string& zlib) { return decodeFlate(zlib) == inflateBytes(zlib); };
    for (size_t size : {0, 1, 259, 5000, 70000})
        for (bool noise : {true, false})
            for (int level = 0; level <= 9; ++level)
                for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED})
                    EXPECT_TRUE(agrees(zlibCompress(sample(size, level, noise), level, strategy)))
                        << "size " << size << " level " << level << " strategy " << strategy;
    EXPECT_TRUE(agrees(zlibCompress(sample(4 << 20, 4), 6, Z_DEFAULT_STRATEGY))) << "4 MB text";
    EXPECT_TRUE(agrees(zlibCompress(std::string(5 << 20, 'r'), 9, Z_RLE))) << "5 MB of one byte";
    // Stored blocks of noise right behind dynamic blocks of text, at whatever bit those ended.
    std::string mixed;
    for (uint32_t i = 0; i < 20; ++i) mixed += sample(30000, i) + sample(20000 + i * 999, i, true);
    for (int window : {9, 12, 15}) EXPECT_TRUE(agrees(zlibCompress(mixed, 9, Z_DEFAULT_STRATEGY, window))) << window;
}

// Every stream found in the raw bytes decodes as zlib decodes it, or, not zlib data, fails cleanly; returns the count.
size_t expectStreamsAgreeWithZlib(const std::vector<std::string>& paths) {
    size_t compared = 0;
    for (const std::string& path : paths) {
        const std::string file = readFile(path);
        for (size_t at = file.find("stream"); at != std::string::npos; at = file.find("stream", at + 1)) {
            if ((at > 0 && file[at - 1] == 'd') || (file[at + 6] != '\n' && file[at + 6] != '\r')) continue;
            const size_t begin = at + 6 + (file.compare(at + 6, 2, "\r\n") == 0 ? 2 : 1);
            const size_t end = file.find("endstream", begin);
            if (end == std::string::npos) break;
            const std::string data = file.substr(begin, end - begin), ours = decodeFlate(data);
            try {
                EXPECT_TRUE(ours == inflateBytes(data)) << path << " at " << begin;
                ++compared;
            } catch (const std::runtime_error&) {}  // not zlib data: ours failed cleanly or ended
        }
    }
    return compared;
}

TEST(FlateAgreesWithZlib, EveryGeneratedStream) {
    std::vector<std::string> paths;
    for (const std::string& name : generatedNames())
        if (!generatedPdf(name).empty()) paths.push_back(generatedPdf(name));
    EXPECT_GE(expectStreamsAgreeWithZlib(paths), 40u);
}

TEST(FlateAgreesWithZlib, EveryCorpusStream) {
    SKIP_WITHOUT_CORPUS();
    EXPECT_GE(expectStreamsAgreeWithZlib(corpusFiles()), 1000u);
}

// One final deflate block: values go least significant bit first, Huffman codes most significant first.
struct BlockWriter {
    enum : uint32_t { kFixed = 1, kDynamic = 2 };
    explicit BlockWriter(uint32_t type) { bits(1, 1), bits(type, 2); }
    void bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i, ++used)
            (used % 8 ? out.back() : (out += '\0').back()) |= char(((value >> i) & 1u) << (used % 8));
    }
    void code(uint32_t value, int length) { for (int i = length - 1; i >= 0; --i) bits(value >> i, 1); }
    std::string zlib() const { return "\x78\x9C" + out; }
    std::string out;
    size_t used = 0;
};

// A fixed-code block of literals below 144 and length symbols (above 256, no extra bits) with their distance codes.
std::string fixedBlock(std::vector<int> items) {
    items.push_back(256);
    BlockWriter w(BlockWriter::kFixed);
    bool distanceNext = false;
    for (const int item : items) {
        const auto s = uint32_t(item);
        distanceNext ? w.code(s, 5) : s < 144 ? w.code(0x30 + s, 8) : s < 280 ? w.code(s - 256, 7) : w.code(s - 88, 8);
        distanceNext = !distanceNext && s > 256;
    }
    return w.zlib();
}

// Code lengths starting with a repeat code, 'A' and the end in one bit each; run 41 ends at 255, 45 runs past.
std::string dynamicBlock(uint32_t finalRunExtra) {
    BlockWriter w(BlockWriter::kDynamic);
    w.bits(0, 5), w.bits(0, 5), w.bits(14, 4);  // 257 literal/length codes, 18 code-length codes
    for (int symbol : {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1})
        w.bits(symbol == 0 || symbol == 1 || symbol == 16 || symbol == 18 ? 2 : 0, 3);
    // Code-length codes: 0 -> 00, 1 -> 01, 16 -> 10, 18 -> 11.
    w.code(2, 2), w.bits(3, 2);    // 6 zeros
    w.code(3, 2), w.bits(48, 7);   // 59 zeros: symbols up to 64
    w.code(1, 2);                  // 'A'
    w.code(3, 2), w.bits(127, 7);  // 138 zeros
    w.code(3, 2), w.bits(finalRunExtra, 7);
    w.code(1, 2), w.code(0, 2);    // end of block; the one distance code is unused
    w.code(0, 1), w.code(0, 1), w.code(1, 1);
    return w.zlib();
}

TEST(FlateHandMade, EveryFailureAndQuietEnd) {
    const std::string header = "\x78\x9C", eof = "!Unexpected end of file in flate stream";
    const std::string bad = "!Bad block header in flate stream", table = "!Bad dynamic code table in flate stream";
    const std::string cut = fixedBlock({'a', 'b', 'c'}), stored = header + std::string("\x01\x05\x00\xFA\xFF", 5);
    // Before any output the window holds zeros, also after a reset behind 100 KB; symbol 286 decodes like 285.
    std::vector<int> beforeStart = {257, 3, 'z', 286, 0};
    for (int i = 0; i < 400; ++i) beforeStart.insert(beforeStart.end(), {285, 0});
    const struct { const char* what; std::string input, expected; } cases[] = {  // bytes, or "!" and the message
        {"half a header", "\x78", ""},
        {"method before check", "\x79\x9C", "!Unknown compression method in flate stream"},
        {"check", "\x78\x9D", "!Bad FCHECK in flate stream"},
        {"preset dictionary", "\x78\xBB", "!FDICT bit set in flate stream"},
        {"no block after a stored one", header + std::string("\x00\x00\x00\xFF\xFF", 5), bad},
        {"stored length check", header + std::string("\x01\x05\x00\xFB\xFF", 5),
         "!Bad uncompressed block length in flate stream"},
        {"stored data cut", stored + "ab", "ab"},  // whole stored blocks: zlib's level 0
        {"before the start", fixedBlock(beforeStart), std::string(3, '\0') + std::string(1 + 401 * 258, 'z')},
        {"cut inside the end code", cut.substr(0, cut.size() - 1), "abc" + eof},
        {"repeat code first", dynamicBlock(41), "AA"}, {"repeat past the end", dynamicBlock(45), table},
    };
    for (const auto& c : cases) EXPECT_TRUE(decodeFlate(c.input) == c.expected) << c.what;
}

std::string bytes(std::initializer_list<int> values) { return std::string(values.begin(), values.end()); }

TEST(Predictor, WorkedRowsAndBounds) {
    const std::string zeros(64, '\0'), bad = "!Bad predictor parameters";
    const struct { const char* what; std::string raw, expected; int predictor, columns, colors, bits; } rows[] = {
        {"unknown row type copies", bytes({7, 9, 8, 7}), bytes({9, 8, 7}), 15, 3, 1, 8},
        // Sub, Up, Average, then Paeth taking the left byte and the upper left one, on 2-byte pixels.
        {"PNG row types", bytes({1, 10, 5, 7, 200, 2, 1, 1, 1, 1, 3, 195, 110, 216, 14, 4, 113, 224, 253, 119}),
         bytes({10, 5, 17, 205, 11, 6, 18, 206, 200, 113, 69, 173, 57, 81, 54, 232}), 15, 2, 2, 8},
        {"TIFF, 3 colours", bytes({16, 32, 48, 1, 2, 3}), bytes({16, 32, 48, 17, 34, 51}), 2, 2, 3, 8},
        {"TIFF, 16 bits", bytes({1, 0xFF, 0, 1, 0xFF, 0xFF}), bytes({1, 0xFF, 2, 0, 1, 0xFF}), 2, 3, 1, 16},
        // 12 bits of 2-bit samples: the last 4 bits of the byte hold none and come out 0.
        {"TIFF, spare bits", bytes({0x5F, 0xFF}), bytes({0x64, 0xE0}), 2, 6, 1, 2},
        {"predictor 3 drops the incomplete row", bytes({1, 2, 3, 4, 5}), bytes({1, 2, 3, 4}), 3, 2, 1, 8},
        {"PNG drops the incomplete row", std::string(100, '\0'), std::string(90, '\0'), 12, 10, 1, 8},
        // Rows without data bytes end the stream at once instead of repeating for ever.
        {"no columns", zeros, "", 12, 0, 1, 8}, {"no bits", zeros, "", 12, 3, 1, 0},
        {"a large row, longer than the data", zeros, "", 12, 1 << 19, 1, 8}, {"colours", zeros, bad, 12, 1, -1, 8},
        {"17 bits", zeros, bad, 12, 1, 1, 17}, {"row over 1 MiB", zeros, bad, 12, (1 << 20) + 1, 1, 8},
        {"both huge", zeros, bad, 12, 0x7FFFFFFF, 0x7FFFFFFF, 16},
    };
    for (const auto& r : rows)
        EXPECT_TRUE(decodeFlate(deflateBytes(r.raw), r.predictor, r.columns, r.colors, r.bits) == r.expected) << r.what;
}

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

std::string drain(CPdfStream* stream) {
    std::string out;
    for (int c; (c = stream->getChar()) >= 0;) out.push_back(char(c));
    return out;
}

// Reads that go on, step back, jump and read large through the file's block give its bytes; then windows on it;
// memory windows clamp positions and sub-streams to their bytes.
TEST(PlainStreams, FileReadsAndWindowsGiveTheirBytes) {
    TempDir dir;
    std::string content(300000, '\0');  // a pattern that does not repeat at block sizes
    for (size_t i = 0; i < content.size(); ++i) content[i] = char(i * 7919 % 251);
    writeFile(dir.file("in"), content);
    const std::unique_ptr<CInputFile> file = CInputFile::open(dir.file("in"));
    ASSERT_TRUE(file);
    std::vector<uint8_t> buffer(200000);
    uint64_t position = 0;
    uint32_t state = 1;
    const auto next = [&state](uint32_t limit) { return (state = state * 1103515245u + 12345u) / 65536u % limit; };
    for (int i = 0; i < 3000; ++i) {
        const uint32_t how = next(10);
        if (how == 5 || how == 6) position -= std::min<uint64_t>(position, next(6000));
        if (how >= 7) position = next(uint32_t(content.size()) + 100);
        const size_t count = how == 9 ? 60000 + next(140000) : 1 + next(how == 8 ? 70000 : 3000);
        const size_t got = file->readAt(position, buffer.data(), count);
        ASSERT_EQ(got, std::min<size_t>(count, content.size() - std::min<size_t>(position, content.size()))) << i;
        ASSERT_EQ(0, std::memcmp(buffer.data(), content.data() + position, got)) << "read " << i;
        position += got;
    }
    const auto window = [&](uint32_t at, uint32_t n) { return new CPdfFileStream(file.get(), at, n, CPdfElement()); };
    CPdfStreamRef whole(window(0, 0)), a(window(1000, 300)), b(window(3000, 2000));
    EXPECT_TRUE(drain(whole.get()) == content) << "length 0 reads to the end of the file";
    // Two windows read alternately, one by bytes over two refills, the other in blocks to its end.
    std::string fromA, fromB;
    uint8_t block[7];
    for (int i = 0; i < 300; ++i) fromA += char(a->getChar()), fromB.append(block, block + b->read(block, 7));
    EXPECT_TRUE(fromA + fromB == content.substr(1000, 300) + content.substr(3000, 2000) && a->getChar() == -1);

    CPdfStreamRef memory(new CPdfMemoryStream(reinterpret_cast<const uint8_t*>("0123456789abcdef"), 0, 16));
    CPdfStreamRef part(memory->makeSubStream(4, 6, CPdfElement()));
    const auto moved = [&part](uint32_t to, int direction) { return part->setPos(to, direction), part->getPos(); };
    EXPECT_EQ(part->getPos(), 4u);
    EXPECT_EQ(drain(part.get()), "456789");
    EXPECT_EQ(std::vector<uint32_t>({moved(100, CPdfStream::kFromStart), moved(2, CPdfStream::kFromEnd),
                                     moved(100, CPdfStream::kFromEnd)}), std::vector<uint32_t>({10, 8, 4}));
    CPdfStreamRef beyond(part->makeSubStream(8, 20, CPdfElement()));
    EXPECT_EQ(drain(beyond.get()), "89") << "nothing past the parent's window";
}

}  // namespace
