#include "FlateFixtures.h"

#include <zlib.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <vector>

#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfMemoryStream.h"

std::string zlibCompress(const std::string& data, int level, int strategy, int windowBits) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate failed");
    return out;
}

bool zlibInflate(const std::string& compressed, std::string& out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    out.clear();
    std::vector<char> block(1 << 16);
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(block.data());
        stream.avail_out = static_cast<uInt>(block.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(block.data(), block.size() - stream.avail_out);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

std::string decodeFlate(const std::string& compressed, ReadStyle style, int predictor, int columns, int colors,
                        int bitsPerComponent) {
    const auto* data = reinterpret_cast<const uint8_t*>(compressed.data());
    CPdfStreamRef flate(new CPdfFlateStream(new CPdfMemoryStream(data, 0, static_cast<uint32_t>(compressed.size())),
                                            predictor, columns, colors, bitsPerComponent));
    std::string out;
    std::vector<uint8_t> block(100000);
    size_t turn = 0;
    for (;;) {
        ++turn;
        if (style == ReadStyle::ByteByByte || (style == ReadStyle::Mixed && turn % 3 != 0)) {
            const int peeked = flate->peekChar();
            const int c = flate->getChar();
            if (peeked != c) throw std::logic_error("peekChar and getChar disagree");
            if (c < 0) break;
            out.push_back(static_cast<char>(c));
            continue;
        }
        // Block sizes vary so that reads end at every kind of place in the decoder's queue.
        const size_t want = style == ReadStyle::Blocks ? block.size() : 1 + (turn * 7919) % block.size();
        const size_t got = flate->read(block.data(), want);
        out.append(reinterpret_cast<const char*>(block.data()), got);
        if (got < want) {
            if (flate->getChar() != -1) throw std::logic_error("short read before the end");
            break;
        }
    }
    return out;
}

std::string randomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(random() & 0xFF);
    return out;
}

std::string textLike(size_t size, uint32_t seed) {
    static const char* const words[] = {"the ", "page ", "stream ", "object ", "of ", "and ", "resize ",
                                        "0 0 612 792 ", "/Type ", "endobj\n", "BT /F1 12 Tf ", "Tj ET\n"};
    std::mt19937 random(seed);
    std::string out;
    while (out.size() < size) {
        out += words[random() % (sizeof words / sizeof words[0])];
        if (random() % 16 == 0) out += std::to_string(random() % 100000);
    }
    out.resize(size);
    return out;
}

std::string runs(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out;
    while (out.size() < size) out.append(1 + random() % 300, static_cast<char>('a' + random() % 3));
    out.resize(size);
    return out;
}

DeflateWriter::DeflateWriter() : out_("\x78\x9C") {}

void DeflateWriter::bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        pending_ |= ((value >> i) & 1u) << pendingCount_;
        if (++pendingCount_ == 8) {
            out_.push_back(static_cast<char>(pending_));
            pending_ = 0;
            pendingCount_ = 0;
        }
    }
}

void DeflateWriter::code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) bits((code >> i) & 1u, 1);
}

void DeflateWriter::fixedSymbol(int symbol) {
    if (symbol < 144) code(static_cast<uint32_t>(0x30 + symbol), 8);
    else if (symbol < 256) code(static_cast<uint32_t>(0x190 + symbol - 144), 9);
    else if (symbol < 280) code(static_cast<uint32_t>(symbol - 256), 7);
    else code(static_cast<uint32_t>(0xC0 + symbol - 280), 8);
}

void DeflateWriter::alignToByte() {
    if (pendingCount_ != 0) bits(0, 8 - pendingCount_);
}

void DeflateWriter::byte(uint8_t value) { bits(value, 8); }

std::string DeflateWriter::bytes() const {
    std::string out = out_;
    if (pendingCount_ != 0) out.push_back(static_cast<char>(pending_));
    return out;
}
