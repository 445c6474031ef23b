#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pdf/objects/PdfElement.h"

class CPdfStream;
class SyntaxText;
struct SyntaxToken;

// Turns the bytes of a stream into tokens, one CPdfElement each. Bytes are taken from the stream
// in blocks and cut into tokens by the shared PDF syntax; a token that a block ends inside is
// read again with more bytes. The lexer knows the stream position of the next byte it hands out.
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

    // Consumes bytes through the next line end (LF, CR or CR LF).
    void skipToNextLine();

    CPdfStream* currentStream() const { return stream_; }
    // Position, in the stream's terms, of the next byte to be handed out.
    uint32_t position() const { return bufferPos_ + static_cast<uint32_t>(next_); }
    // Moves the stream to `pos` (from its beginning) and forgets the bytes read ahead.
    void setPosition(uint32_t pos);

private:
    // Large enough that a small object comes in one read, small enough to cost little per fetch.
    static constexpr size_t kBlockSize = 1024;

    // Keeps the bytes not yet handed out and appends more; false when the stream has no more.
    bool readMore();
    void makeElement(const SyntaxText& text, const SyntaxToken& token, CPdfElement& out, std::string& literal);
    void makeKeyword(const std::string& word, CPdfElement& out);

    CPdfStream* stream_;
    // The first block lives in the lexer; a token longer than half of it moves the bytes to
    // `large_`, doubled as often as needed.
    char block_[kBlockSize];
    std::vector<char> large_;
    char* buffer_ = block_;
    size_t capacity_ = kBlockSize;
    size_t next_ = 0;
    size_t end_ = 0;
    uint32_t bufferPos_ = 0;
    bool streamEnded_ = false;
    bool inComment_ = false;
    std::string scratch_;
};
