#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CPdfStream;

// Finds what a damaged file's cross-reference data should have said by reading the file itself:
// every "n g obj" header outside stream data, in file order, and every "trailer" keyword. One pass
// in large blocks; the work and the memory grow with the file, never faster.
class CPdfXRefScanner {
public:
    struct Header {
        uint32_t number = 0;
        uint32_t generation = 0;
        uint32_t position = 0;  // of the number's first digit, from the file's first byte
    };

    static constexpr uint32_t kMaxObjectNumber = 8388607;

    explicit CPdfXRefScanner(CPdfStream& stream) : stream_(stream) {}

    void scan();
    const std::vector<Header>& headers() const { return headers_; }
    // Where the dictionary after each "trailer" keyword begins.
    const std::vector<uint32_t>& trailers() const { return trailers_; }

private:
    enum class Token { kObject, kStream, kTrailer };
    class TokenFinder;

    // Whether the "obj" at `at` ends a header; fills `header` (position relative to the block).
    bool readHeader(const std::vector<uint8_t>& block, size_t at, Header& header) const;

    CPdfStream& stream_;
    std::vector<Header> headers_;
    std::vector<uint32_t> trailers_;
};
