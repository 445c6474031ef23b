#include "pdf/parser/PdfLexer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "pdf/objects/PdfCharacters.h"
#include "pdf/objects/PdfString.h"
#include "pdf/stream/PdfStream.h"

namespace {

enum CharClass : uint8_t { kRegular, kWhite, kDelimiter };

constexpr std::array<uint8_t, 256> makeClasses() {
    std::array<uint8_t, 256> classes{};
    for (const int c : {0x00, 0x09, 0x0A, 0x0C, 0x0D, 0x20}) classes[c] = kWhite;
    for (const char c : {'%', '(', ')', '/', '<', '>', '[', ']', '{', '}'}) classes[static_cast<uint8_t>(c)] = kDelimiter;
    return classes;
}

constexpr std::array<uint8_t, 256> kClasses = makeClasses();

constexpr int kLineFeed = 0x0A;
constexpr int kCarriageReturn = 0x0D;
constexpr int kOctalBase = 8;
constexpr int kMaxOctalDigits = 3;
constexpr int kNibbleBits = 4;

bool isWhite(int c) { return c >= 0 && kClasses[c] == kWhite; }
bool isRegular(int c) { return c >= 0 && kClasses[c] == kRegular; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }

// What the C library's string-to-long conversion gives for an optional "-" and decimal digits,
// clamped to the 32-bit range.
int32_t integerValue(const std::string& text) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                   : int64_t{std::numeric_limits<int32_t>::max()};
    int64_t value = 0;
    for (; i < text.size() && value <= limit; ++i) value = value * 10 + (text[i] - '0');
    if (value > limit) value = limit;
    return static_cast<int32_t>(negative ? -value : value);
}

// The escape that follows a backslash inside a literal string, for the one-letter escapes.
int simpleEscape(int c) {
    switch (c) {
        case 'n': return 0x0A;
        case 'r': return 0x0D;
        case 't': return 0x09;
        case 'b': return 0x08;
        case 'f': return 0x0C;
        default: return c;
    }
}

}  // namespace

CPdfLexer::CPdfLexer(CPdfStream* stream) : streams_{stream} {
    bufferPos_ = stream->getPos();
}

CPdfLexer::~CPdfLexer() {
    for (CPdfStream* stream : streams_) stream->decRef();
}

bool CPdfLexer::refillCurrent() {
    CPdfStream* stream = streams_[index_];
    bufferPos_ = stream->getPos();
    next_ = buffer_;
    end_ = buffer_ + stream->read(buffer_, kBlockSize);
    return next_ != end_;
}

bool CPdfLexer::refill() {
    while (!refillCurrent()) {
        if (index_ + 1 >= streams_.size()) return false;
        ++index_;
    }
    return true;
}

void CPdfLexer::setPosition(uint32_t pos) {
    streams_[index_]->setPos(pos, CPdfStream::kFromStart);
    next_ = end_ = buffer_;
    bufferPos_ = streams_[index_]->getPos();
}

void CPdfLexer::skipToNextLine() {
    for (;;) {
        const int c = getChar();
        if (c == kEnd || c == kLineFeed) return;
        if (c == kCarriageReturn) {
            if (peekChar() == kLineFeed) getChar();
            return;
        }
    }
}

int CPdfLexer::skipSpaceAndComments() {
    bool inComment = false;
    for (;;) {
        const int c = getChar();
        if (c == kEnd) return kEnd;
        if (inComment) {
            if (c == kLineFeed || c == kCarriageReturn) inComment = false;
            continue;
        }
        if (c == '%') {
            inComment = true;
            continue;
        }
        if (!isWhite(c)) return c;
    }
}

void CPdfLexer::readToken(CPdfElement& out, std::string& literal) {
    literal.clear();
    const int c = skipSpaceAndComments();
    switch (c) {
        case kEnd:
            out.initEof();
            return;
        case '(':
            readLiteralString(out, literal);
            return;
        case '<':
            if (peekChar() == '<') {
                getChar();
                out.initCommand("<<");
            } else {
                readHexString(out);
            }
            return;
        case '>':
            if (peekChar() == '>') {
                getChar();
                out.initCommand(">>");
            } else {
                out.initError();
            }
            return;
        case ')':
        case '{':
        case '}':
            out.initError();
            return;
        case '[':
            out.initCommand("[");
            return;
        case ']':
            out.initCommand("]");
            return;
        case '/':
            readName(out);
            return;
        default:
            if (c == '-' || c == '.' || isDigit(c)) {
                readNumber(c, out);
            } else {
                readBareToken(c, out);
            }
    }
}

void CPdfLexer::readLiteralString(CPdfElement& out, std::string& literal) {
    int depth = 1;
    for (;;) {
        int c = getChar();
        if (c == kEnd) break;
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) break;
        } else if (c == '\\') {
            c = getChar();
            if (c == kEnd) break;
            if (c == kLineFeed) continue;
            if (c == kCarriageReturn) {
                if (peekChar() == kLineFeed) getChar();
                continue;
            }
            if (isOctalDigit(c)) {
                int value = c - '0';
                for (int digits = 1; digits < kMaxOctalDigits && isOctalDigit(peekChar()); ++digits) {
                    value = value * kOctalBase + (getChar() - '0');
                }
                c = value & 0xFF;
            } else {
                c = simpleEscape(c);
            }
        }
        literal.push_back(static_cast<char>(c));
    }
    // The text ends at the first zero byte; the element keeps every byte for binary strings.
    out.initString(literal.data(), literal.size());
}

void CPdfLexer::readHexString(CPdfElement& out) {
    scratch_.clear();
    for (;;) {
        const int c = getChar();
        if (c == kEnd || c == '>') break;
        scratch_.push_back(static_cast<char>(c));
    }
    if (scratch_.empty()) scratch_.push_back('\0');
    CPdfString digits(scratch_.data(), static_cast<int32_t>(scratch_.size()));
    digits.setDecoded(false);
    out.initHexString(digits);
}

bool CPdfLexer::readPlainName(CPdfElement& out) {
    const uint8_t* last = next_;
    while (last < end_ && isRegular(*last) && *last != '#') ++last;
    // A name that runs to the end of the buffer, or holds an escape, takes the byte-wise way.
    if (last == end_ || isRegular(*last)) return false;
    scratch_.assign(reinterpret_cast<const char*>(next_), static_cast<size_t>(last - next_));
    next_ = last;
    out.initName(scratch_.c_str());
    return true;
}

void CPdfLexer::readName(CPdfElement& out) {
    if (readPlainName(out)) return;
    scratch_.clear();
    while (isRegular(peekChar())) {
        const int c = getChar();
        const int high = c == '#' ? hexDigitValue(peekChar()) : kNotHexDigit;
        if (high == kNotHexDigit) {
            scratch_.push_back(static_cast<char>(c));
            continue;
        }
        getChar();
        // The byte after the first digit belongs to the escape whatever it is.
        const int low = hexDigitValue(getChar());
        scratch_.push_back(static_cast<char>(high << kNibbleBits | (low == kNotHexDigit ? 0 : low)));
    }
    out.initName(scratch_.c_str());
}

bool CPdfLexer::readPlainInteger(int first, CPdfElement& out) {
    const uint8_t* last = next_;
    while (last < end_ && isDigit(*last)) ++last;
    // A number that runs to the end of the buffer, or goes on with a point, takes the general way.
    if (last == end_ || *last == '.') return false;
    const int64_t limit = std::numeric_limits<int32_t>::max();
    int64_t value = first - '0';
    for (const uint8_t* digit = next_; digit < last && value <= limit; ++digit) value = value * 10 + (*digit - '0');
    next_ = last;
    out.initInteger(static_cast<int32_t>(std::min(value, limit)));
    return true;
}

void CPdfLexer::readNumber(int first, CPdfElement& out) {
    if (isDigit(first) && readPlainInteger(first, out)) return;
    scratch_.clear();
    scratch_.push_back(static_cast<char>(first));
    bool real = first == '.';
    for (;;) {
        const int c = peekChar();
        if (c == '.') {
            real = true;
        } else if (!isDigit(c)) {
            break;
        }
        scratch_.push_back(static_cast<char>(getChar()));
    }
    if (real) {
        out.initReal(std::strtod(scratch_.c_str(), nullptr));
    } else {
        out.initInteger(integerValue(scratch_));
    }
}

void CPdfLexer::readBareToken(int first, CPdfElement& out) {
    scratch_.clear();
    scratch_.push_back(static_cast<char>(first));
    while (isRegular(peekChar())) scratch_.push_back(static_cast<char>(getChar()));
    const char initial = scratch_[0];
    if (initial != 't' && initial != 'f' && initial != 'n') {  // most keywords are none of the three
        out.initCommand(scratch_.c_str());
    } else if (scratch_ == "true") {
        out.initBool(true);
    } else if (scratch_ == "false") {
        out.initBool(false);
    } else if (scratch_ == "null") {
        out.initNull();
    } else {
        out.initCommand(scratch_.c_str());
    }
}
