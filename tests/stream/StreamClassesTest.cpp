// The input file's block reads, and the file and memory windows.
#include <gtest/gtest.h>

#include <cstring>

#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "tests/support/TestTools.h"

namespace {

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
