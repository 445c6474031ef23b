#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pdf/objects/PdfElement.h"

class CPdfStream;

// Turns the bytes of a list of streams into tokens, one CPdfElement each. Bytes are taken from
// the streams in blocks; the lexer knows the stream position of the next byte it will hand out.
class CPdfLexer {
public:
    // Takes over the caller's counted reference to `stream`.
    explicit CPdfLexer(CPdfStream* stream);
    ~CPdfLexer();
    CPdfLexer(const CPdfLexer&) = delete;
    CPdfLexer& operator=(const CPdfLexer&) = delete;

    // Reads the next token into `out` (kindNone). For a literal string `literal` receives every
    // byte of its value, zero bytes included (the element's text ends at the first zero byte);
    // for any other token it is left empty.
    void readToken(CPdfElement& out, std::string& literal);

    int getChar() {
        if (next_ == end_ && !refill()) return kEnd;
        return *next_++;
    }
    // The next byte of the current stream, without consuming it.
    int peekChar() {
        if (next_ == end_ && !refillCurrent()) return kEnd;
        return *next_;
    }
    void skipToNextLine();

    CPdfStream* currentStream() const { return streams_[index_]; }
    // Position, in the current stream's terms, of the next byte to be handed out.
    uint32_t position() const { return bufferPos_ + static_cast<uint32_t>(next_ - buffer_); }
    // Moves the current stream to `pos` (from its beginning) and forgets the bytes read ahead.
    void setPosition(uint32_t pos);

private:
    static constexpr int kEnd = -1;
    // Large enough that a small object comes in one read, small enough to cost little per fetch.
    static constexpr size_t kBlockSize = 1024;

    bool refillCurrent();
    bool refill();

    int skipSpaceAndComments();
    void readLiteralString(CPdfElement& out, std::string& literal);
    void readHexString(CPdfElement& out);
    void readName(CPdfElement& out);
    void readNumber(int first, CPdfElement& out);
    // Fast ways for a name without escapes and an integer that end inside the buffer; false
    // (nothing read) otherwise.
    bool readPlainName(CPdfElement& out);
    bool readPlainInteger(int first, CPdfElement& out);
    void readBareToken(int first, CPdfElement& out);

    std::vector<CPdfStream*> streams_;
    size_t index_ = 0;
    uint8_t buffer_[kBlockSize];
    const uint8_t* next_ = buffer_;
    const uint8_t* end_ = buffer_;
    uint32_t bufferPos_ = 0;
    std::string scratch_;
};
