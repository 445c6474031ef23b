// Predictor rows from the format definitions, a round trip through a predictor encoder written
// here, and the bounds on the parameters.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "FlateFixtures.h"
#include "tests/support/TestTools.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/PdfFlateStream.h"
#include "pdf/stream/PdfMemoryStream.h"

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

std::string predicted(const std::string& raw, int predictor, int columns, int colors = 1, int bits = 8,
                      ReadStyle style = ReadStyle::Mixed) {
    return decodeFlate(deflateBytes(raw), style, predictor, columns, colors, bits);
}

TEST(Predictor, WorkedRows) {
    EXPECT_EQ(predicted(bytes({2, 1, 2, 3, 4, 2, 1, 1, 1, 1}), 12, 4), bytes({1, 2, 3, 4, 2, 3, 4, 5}));
    EXPECT_EQ(predicted(bytes({7, 9, 8, 7}), 15, 3), bytes({9, 8, 7}));
    EXPECT_EQ(predicted(bytes({0x10, 0x20, 0x30, 0x01, 0x02, 0x03}), 2, 2, 3), bytes({0x10, 0x20, 0x30, 0x11, 0x22, 0x33}));
    EXPECT_EQ(predicted(bytes({0xAA}), 2, 8, 1, 1), bytes({0xCC}));
    // 12 bits of 2-bit samples: the last 4 bits of the byte hold none and come out 0.
    EXPECT_EQ(predicted(bytes({0x5F, 0xFF}), 2, 6, 1, 2), bytes({0x64, 0xE0}));
    // Paeth with 4 one-byte colours: the upper-left byte is the previous row's, 4 back.
    EXPECT_EQ(predicted(bytes({0, 10, 20, 30, 40, 50, 60, 70, 80, 4, 1, 1, 1, 1, 1, 1, 1, 1}), 14, 2, 4),
              bytes({10, 20, 30, 40, 50, 60, 70, 80, 11, 21, 31, 41, 51, 61, 71, 81}));
    // Predictor 3 cuts rows without changing them: the incomplete last row is dropped.
    EXPECT_EQ(predicted(bytes({1, 2, 3, 4, 5}), 3, 2), bytes({1, 2, 3, 4}));
    const std::string hundred(100, '\0');
    EXPECT_EQ(predicted(hundred, 12, 10).size(), 90u);
}

// A plain encoder for PNG rows (the filter type changes per row) and TIFF samples.
std::string encodePng(const std::string& data, size_t rowBytes, size_t pixelBytes) {
    std::string out, previous(rowBytes, '\0');
    for (size_t start = 0, row = 0; start < data.size(); start += rowBytes, ++row) {
        const int type = static_cast<int>(row % 5);
        out.push_back(static_cast<char>(type));
        for (size_t i = 0; i < rowBytes; ++i) {
            const int x = static_cast<uint8_t>(data[start + i]);
            const int a = i >= pixelBytes ? static_cast<uint8_t>(data[start + i - pixelBytes]) : 0;
            const int b = static_cast<uint8_t>(previous[i]);
            const int c = i >= pixelBytes ? static_cast<uint8_t>(previous[i - pixelBytes]) : 0;
            const int p = a + b - c;
            const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const int predictions[] = {0, a, b, (a + b) / 2, paeth};
            out.push_back(static_cast<char>(x - predictions[type]));
        }
        previous = data.substr(start, rowBytes);
    }
    return out;
}

std::string encodeTiff(const std::string& data, size_t rowBytes, size_t samplesPerRow, int colors, int bits) {
    std::string out = data;
    auto sample = [&](const std::string& s, size_t row, size_t k) {
        uint32_t v = 0;
        for (int b = 0; b < bits; ++b) {
            const size_t bit = k * static_cast<size_t>(bits) + static_cast<size_t>(b);
            v = (v << 1) | ((static_cast<uint8_t>(s[row * rowBytes + bit / 8]) >> (7 - bit % 8)) & 1u);
        }
        return v;
    };
    for (size_t row = 0; row * rowBytes < data.size(); ++row)
        for (size_t k = static_cast<size_t>(colors); k < samplesPerRow; ++k) {
            const uint32_t difference = (sample(data, row, k) - sample(data, row, k - static_cast<size_t>(colors))) &
                                        ((1u << bits) - 1);
            for (int b = 0; b < bits; ++b) {
                const size_t bit = k * static_cast<size_t>(bits) + static_cast<size_t>(b);
                char& byte = out[row * rowBytes + bit / 8];
                const int mask = 0x80 >> (bit % 8);
                byte = static_cast<char>((difference >> (bits - 1 - b)) & 1u ? byte | mask : byte & ~mask);
            }
        }
    return out;
}

TEST(Predictor, RoundTripsThroughAnEncoder) {
    std::mt19937 random(5);
    for (int bits : {1, 2, 4, 8, 16})
        for (int colors : {1, 3, 4})
            for (int columns : {1, 7, 64}) {
                const size_t samples = static_cast<size_t>(columns * colors);
                const size_t rowBytes = (samples * static_cast<size_t>(bits) + 7) / 8;
                const size_t pixelBytes = static_cast<size_t>(colors * bits + 7) / 8;
                std::string data = textLike(rowBytes * 23, random());
                // The unused low bits of each row's last byte are zero in decoded TIFF rows.
                const size_t spare = rowBytes * 8 - samples * static_cast<size_t>(bits);
                for (size_t r = 0; r < 23; ++r) data[r * rowBytes + rowBytes - 1] &= static_cast<char>(0xFF << spare);
                const std::string label = std::to_string(bits) + " bits, " + std::to_string(colors) + " colors, " +
                                          std::to_string(columns) + " columns";
                for (int predictor : {10, 11, 12, 13, 14, 15})
                    EXPECT_EQ(predicted(encodePng(data, rowBytes, pixelBytes), predictor, columns, colors, bits), data)
                        << label << ", predictor " << predictor;
                EXPECT_EQ(predicted(encodeTiff(data, rowBytes, samples, colors, bits), 2, columns, colors, bits), data)
                    << label << ", TIFF";
            }
}

TEST(Predictor, BoundedParameters) {
    const std::string raw = deflateBytes(std::string(64, '\0'));
    const auto make = [&](int columns, int colors, int bits) {
        return decodeFlate(raw, ReadStyle::Blocks, 12, columns, colors, bits);
    };
    const int bad[][3] = {{-1, 1, 8}, {1, -1, 8}, {1, 1, -8}, {1, 1, 17}, {0x7FFFFFFF, 1, 8},
                          {1, 0x7FFFFFFF, 16}, {0x7FFFFFFF, 0x7FFFFFFF, 16}, {(1 << 20) + 1, 1, 8}};
    for (const auto& p : bad) {
        try {
            make(p[0], p[1], p[2]);
            ADD_FAILURE() << p[0] << " " << p[1] << " " << p[2] << " accepted";
        } catch (const CPdfException& e) {
            EXPECT_STREQ(e.getMessage(), "Bad predictor parameters");
        }
    }
    // Rows without data bytes end the stream at once instead of repeating for ever.
    EXPECT_EQ(make(0, 1, 8), "");
    EXPECT_EQ(make(3, 0, 8), "");
    EXPECT_EQ(make(3, 1, 0), "");
    EXPECT_EQ(make(1 << 19, 1, 8), "");   // a large row still decodes: the data is shorter than one row
    EXPECT_EQ(make(63, 1, 8), std::string(63, '\0'));
}

TEST(Predictor, ResetRestartsTheRows) {
    const std::string raw = deflateBytes(encodePng(textLike(300, 3), 10, 1));
    CPdfStreamRef flate(new CPdfFlateStream(
        new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(raw.data()), 0, static_cast<uint32_t>(raw.size())), 12,
        10, 1, 8));
    std::string first, second;
    for (int i = 0; i < 15; ++i) first.push_back(static_cast<char>(flate->getChar()));
    flate->reset();
    for (int c = flate->getChar(); c >= 0; c = flate->getChar()) second.push_back(static_cast<char>(c));
    EXPECT_EQ(second, textLike(300, 3));
    EXPECT_EQ(first, second.substr(0, 15));
    // getRawChar gives the bytes before the predictor, row type bytes included.
    flate->reset();
    EXPECT_EQ(flate->getRawChar(), 0);
}

}  // namespace
