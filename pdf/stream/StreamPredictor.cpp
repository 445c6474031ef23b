#include "pdf/stream/StreamPredictor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "pdf/objects/PdfException.h"
#include "pdf/stream/FlateInflater.h"

namespace {

const char* const kBadParameters = "Bad predictor parameters";

constexpr int kTiffPredictor = 2;
constexpr int kFirstPngPredictor = 10;
constexpr int kPngSub = 11;
constexpr int kPngUp = 12;
constexpr int kPngAverage = 13;
constexpr int kPngPaeth = 14;
constexpr uint64_t kBitsPerByte = 8;

uint8_t paeth(int left, int up, int upperLeft) {
    const int p = left + up - upperLeft;
    const int pa = std::abs(p - left);
    const int pb = std::abs(p - up);
    const int pc = std::abs(p - upperLeft);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(left);
    if (pb <= pc) return static_cast<uint8_t>(up);
    return static_cast<uint8_t>(upperLeft);
}

// Samples are packed most significant bit first.
uint32_t readSample(const uint8_t* data, size_t bitPosition, int bits) {
    uint32_t value = 0;
    for (int i = 0; i < bits; ++i, ++bitPosition) {
        const unsigned bit = (data[bitPosition / kBitsPerByte] >> (7 - bitPosition % kBitsPerByte)) & 1u;
        value = (value << 1) | bit;
    }
    return value;
}

void writeSample(uint8_t* data, size_t bitPosition, int bits, uint32_t value) {
    for (int i = bits - 1; i >= 0; --i, ++bitPosition) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (bitPosition % kBitsPerByte));
        uint8_t& byte = data[bitPosition / kBitsPerByte];
        byte = static_cast<uint8_t>(((value >> i) & 1u) ? (byte | mask) : (byte & ~mask));
    }
}

}  // namespace

StreamPredictor::StreamPredictor(FlateInflater& input, int predictor, int columns, int colors, int bitsPerComponent)
    : input_(input), predictor_(predictor), colors_(colors), bitsPerComponent_(bitsPerComponent) {
    if (columns < 0 || colors < 0 || bitsPerComponent < 0 || bitsPerComponent > kMaxBitsPerComponent)
        throw CPdfException(kBadParameters);
    if (columns != 0 && colors != 0 && bitsPerComponent != 0) {
        // Checked one factor at a time so that no product can overflow.
        const uint64_t maxBits = kMaxRowBytes * kBitsPerByte;
        const uint64_t values = uint64_t(columns) * uint64_t(colors);
        if (values > maxBits) throw CPdfException(kBadParameters);
        const uint64_t pixelBytes = (uint64_t(colors) * uint64_t(bitsPerComponent) + 7) / kBitsPerByte;
        const uint64_t rowBytes = pixelBytes + (values * uint64_t(bitsPerComponent) + 7) / kBitsPerByte;
        if (rowBytes > kMaxRowBytes) throw CPdfException(kBadParameters);
        valuesPerRow_ = static_cast<size_t>(values);
        pixelBytes_ = static_cast<size_t>(pixelBytes);
        rowBytes_ = static_cast<size_t>(rowBytes);
    }
    row_.assign(rowBytes_, 0);
    previous_.assign(rowBytes_, 0);
    restart();
}

void StreamPredictor::restart() {
    std::fill(row_.begin(), row_.end(), 0);
    std::fill(previous_.begin(), previous_.end(), 0);
    position_ = rowBytes_;
    // A row without data bytes would be read again for ever: such a stream has no bytes.
    ended_ = rowBytes_ == pixelBytes_;
}

int StreamPredictor::getChar() {
    if (position_ >= rowBytes_ && !readRow()) return -1;
    return row_[position_++];
}

int StreamPredictor::peekChar() {
    if (position_ >= rowBytes_ && !readRow()) return -1;
    return row_[position_];
}

size_t StreamPredictor::read(uint8_t* destination, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (position_ >= rowBytes_ && !readRow()) break;
        const size_t piece = std::min(count - done, rowBytes_ - position_);
        std::memcpy(destination + done, row_.data() + position_, piece);
        position_ += piece;
        done += piece;
    }
    return done;
}

bool StreamPredictor::readRow() {
    if (ended_) return false;
    int method = predictor_;
    if (predictor_ >= kFirstPngPredictor) {
        const int type = input_.getByte();
        if (type < 0) {
            ended_ = true;
            return false;
        }
        method = type + kFirstPngPredictor;
    }
    row_.swap(previous_);
    const size_t dataBytes = rowBytes_ - pixelBytes_;
    if (input_.read(row_.data() + pixelBytes_, dataBytes) < dataBytes) {
        ended_ = true;
        return false;
    }
    undoPng(method);
    if (predictor_ == kTiffPredictor) undoTiff();
    position_ = pixelBytes_;
    return true;
}

void StreamPredictor::undoPng(int method) {
    uint8_t* const row = row_.data();
    const uint8_t* const up = previous_.data();
    const size_t pb = pixelBytes_;
    switch (method) {
        case kPngSub:
            for (size_t i = pb; i < rowBytes_; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - pb]);
            break;
        case kPngUp:
            for (size_t i = pb; i < rowBytes_; ++i) row[i] = static_cast<uint8_t>(row[i] + up[i]);
            break;
        case kPngAverage:
            for (size_t i = pb; i < rowBytes_; ++i)
                row[i] = static_cast<uint8_t>(row[i] + (row[i - pb] + up[i]) / 2);
            break;
        case kPngPaeth:
            for (size_t i = pb; i < rowBytes_; ++i)
                row[i] = static_cast<uint8_t>(row[i] + paeth(row[i - pb], up[i], up[i - pb]));
            break;
        default:
            break;  // PNG None, unknown filter types and the non-PNG predictors keep the bytes
    }
}

void StreamPredictor::undoTiff() {
    if (bitsPerComponent_ != 8) {
        undoTiffSamples();
        return;
    }
    uint8_t* const row = row_.data();
    const size_t colors = static_cast<size_t>(colors_);
    for (size_t i = pixelBytes_; i < rowBytes_; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - colors]);
}

void StreamPredictor::undoTiffSamples() {
    uint8_t* const data = row_.data() + pixelBytes_;
    const int bits = bitsPerComponent_;
    const uint32_t mask = (uint32_t{1} << bits) - 1;
    const size_t colors = static_cast<size_t>(colors_);
    for (size_t k = colors; k < valuesPerRow_; ++k) {
        const size_t at = k * static_cast<size_t>(bits);
        const uint32_t sum = readSample(data, at, bits) + readSample(data, at - colors * static_cast<size_t>(bits), bits);
        writeSample(data, at, bits, sum & mask);
    }
    const size_t usedBits = valuesPerRow_ * static_cast<size_t>(bits);
    const size_t spareBits = (rowBytes_ - pixelBytes_) * kBitsPerByte - usedBits;
    if (spareBits != 0) data[usedBits / kBitsPerByte] &= static_cast<uint8_t>(0xFFu << spareBits);
}
