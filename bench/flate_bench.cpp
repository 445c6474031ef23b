// Prints the decoding speed of CPdfFlateStream next to zlib's inflate on the same data: a few MB
// of text-like and of random-ish data, compressed by zlib at several levels.

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "pdf/objects/PdfException.h"
#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfMemoryStream.h"

namespace {

constexpr size_t kDataSize = 8u << 20;
constexpr double kMinSeconds = 0.5;
constexpr size_t kReadBlock = 64 * 1024;

std::string textLike(size_t size) {
    static const char* const words[] = {"stream ", "endobj\n", "0 0 612 792 ", "/Type /Page ", "BT /F1 12 Tf ",
                                        "(Hello) Tj ", "ET\n", "q 1 0 0 1 72 720 cm ", "Q\n", "re f\n"};
    std::mt19937 random(1);
    std::string out;
    while (out.size() < size) {
        out += words[random() % (sizeof words / sizeof words[0])];
        if (random() % 4 == 0) out += std::to_string(random() % 10000) + ' ';
    }
    out.resize(size);
    return out;
}

// Like sampled image data: noise around a slowly changing level, with some repeated stretches.
std::string randomIsh(size_t size) {
    std::mt19937 random(2);
    std::string out;
    out.reserve(size);
    int level = 128;
    while (out.size() < size) {
        level = (level + static_cast<int>(random() % 7) - 3) & 0xFF;
        if (random() % 64 == 0 && out.size() > 1000) {
            const size_t from = out.size() - 1 - random() % 1000;
            out.append(out, from, std::min<size_t>(out.size() - from, 20 + random() % 200));
        } else {
            out.push_back(static_cast<char>(level + static_cast<int>(random() % 16)));
        }
    }
    out.resize(size);
    return out;
}

std::string compress(const std::string& data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), level);
    out.resize(size);
    return out;
}

size_t inflateWithZlib(const std::string& packed, std::vector<uint8_t>& out) {
    uLongf size = static_cast<uLongf>(out.size());
    uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(packed.data()), static_cast<uLong>(packed.size()));
    return size;
}

size_t inflateWithOurs(const std::string& packed, std::vector<uint8_t>& out) {
    CPdfStreamRef flate(new CPdfFlateStream(
        new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(packed.data()), 0, static_cast<uint32_t>(packed.size())),
        1, 1, 1, 8));
    size_t done = 0;
    for (;;) {
        const size_t got = flate->read(out.data() + done, std::min(kReadBlock, out.size() - done));
        done += got;
        if (got == 0 || done == out.size()) return done;
    }
}

// Megabytes of decoded output per second, over repeated runs of at least kMinSeconds.
template <typename Decode>
double megabytesPerSecond(const std::string& packed, std::vector<uint8_t>& out, Decode decode) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    size_t bytes = 0;
    double seconds = 0;
    do {
        bytes += decode(packed, out);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (seconds < kMinSeconds);
    return static_cast<double>(bytes) / seconds / 1e6;
}

}  // namespace

int main() {
    struct Sample {
        const char* name;
        std::string data;
    };
    const Sample samples[] = {{"text", textLike(kDataSize)}, {"random-ish", randomIsh(kDataSize)}};
    std::printf("%-11s %5s %7s %12s %12s %7s\n", "data", "level", "ratio", "zlib MB/s", "ours MB/s", "ours/zlib");
    int status = 0;
    for (const Sample& sample : samples) {
        for (int level : {1, 6, 9}) {
            const std::string packed = compress(sample.data, level);
            std::vector<uint8_t> out(sample.data.size());
            try {
                if (inflateWithOurs(packed, out) != out.size() ||
                    std::string(out.begin(), out.end()) != sample.data) {
                    std::printf("%-11s %5d  decoded data differs\n", sample.name, level);
                    status = 1;
                    continue;
                }
                const double zlibSpeed = megabytesPerSecond(packed, out, inflateWithZlib);
                const double ourSpeed = megabytesPerSecond(packed, out, inflateWithOurs);
                std::printf("%-11s %5d %7.2f %12.1f %12.1f %7.2f\n", sample.name, level,
                            static_cast<double>(sample.data.size()) / static_cast<double>(packed.size()), zlibSpeed,
                            ourSpeed, ourSpeed / zlibSpeed);
            } catch (const CPdfException& e) {
                std::printf("%-11s %5d  %s\n", sample.name, level, e.getMessage());
                status = 1;
            }
        }
    }
    return status;
}
