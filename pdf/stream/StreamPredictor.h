#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class FlateInflater;

// Undoes a PNG (Predictor 10 and above, a filter-type byte per row) or TIFF (Predictor 2)
// predictor on decoded rows. Any other value except 1 still cuts the data into rows, unchanged.
// A row cut short by the end of the data is dropped and ends the stream.
class StreamPredictor {
public:
    static constexpr size_t kMaxRowBytes = 1024 * 1024;
    static constexpr int kMaxBitsPerComponent = 16;

    // Throws CPdfException "Bad predictor parameters" for negative values, more than 16 bits per
    // component or a row above kMaxRowBytes. A zero value gives rows without data: no bytes.
    StreamPredictor(FlateInflater& input, int predictor, int columns, int colors, int bitsPerComponent);

    void restart();
    int getChar();
    int peekChar();
    size_t read(uint8_t* destination, size_t count);

private:
    bool readRow();
    void undoPng(int method);
    void undoTiff();
    void undoTiffSamples();

    FlateInflater& input_;
    int predictor_;
    int colors_;
    int bitsPerComponent_;
    size_t valuesPerRow_ = 0;
    size_t pixelBytes_ = 0;
    size_t rowBytes_ = 0;
    // Each holds the zero bytes left of the first pixel, then a row's data.
    std::vector<uint8_t> row_;
    std::vector<uint8_t> previous_;
    size_t position_ = 0;
    bool ended_ = false;
};
