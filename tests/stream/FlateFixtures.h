#pragma once
// Fixture makers for the decoder tests: zlib with chosen parameters, a deflate bit writer for
// hand-made streams, sample data, and decoding through our stream in several reading styles.

#include <cstdint>
#include <string>

// zlib's deflate with the given level, strategy and window bits.
std::string zlibCompress(const std::string& data, int level, int strategy, int windowBits = 15);
// zlib's inflate; false unless the data is a complete zlib stream.
bool zlibInflate(const std::string& compressed, std::string& out);

enum class ReadStyle { ByteByByte, Blocks, Mixed };

// Decodes `compressed` with CPdfFlateStream over a memory stream. Throws what the decoder throws.
std::string decodeFlate(const std::string& compressed, ReadStyle style = ReadStyle::Blocks, int predictor = 1,
                        int columns = 1, int colors = 1, int bitsPerComponent = 8);

// Deterministic sample data.
std::string randomBytes(size_t size, uint32_t seed);
std::string textLike(size_t size, uint32_t seed);
std::string runs(size_t size, uint32_t seed);

// Writes deflate bits least significant first; Huffman codes go most significant bit first.
class DeflateWriter {
public:
    DeflateWriter();                            // starts with the zlib header 78 9C
    static constexpr int kFixed = 1;
    static constexpr int kDynamic = 2;

    void bits(uint32_t value, int count);
    void blockHeader(bool last, int type) { bits(last ? 1 : 0, 1), bits(static_cast<uint32_t>(type), 2); }
    void code(uint32_t code, int length);
    void fixedSymbol(int symbol);               // literal/length symbol of the fixed code
    void fixedDistance(int code) { this->code(static_cast<uint32_t>(code), 5); }
    void alignToByte();
    void byte(uint8_t value);
    std::string bytes() const;

private:
    std::string out_;
    uint32_t pending_ = 0;
    int pendingCount_ = 0;
};
