#include "pdf/parser/PdfLexer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "pdf/objects/PdfString.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/syntax/PdfSyntax.h"
#include "pdf/syntax/SyntaxDecoders.h"
#include "pdf/syntax/SyntaxText.h"

namespace {

int32_t clampedInteger(std::string_view token) {
    constexpr size_t kSafeDigits = 9;  // fewer digits than these never leave 32 bits
    if (token.size() <= kSafeDigits && token[0] != '-') {
        int32_t value = 0;
        for (const char c : token) value = value * 10 + (c - '0');
        return value;
    }
    const int64_t value = integerValue(token);
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

CPdfLexer::CPdfLexer(CPdfStream* stream) : stream_(stream), bufferPos_(stream->getPos()) {}

CPdfLexer::~CPdfLexer() { stream_->decRef(); }

bool CPdfLexer::readMore() {
    const size_t kept = end_ - next_;
    if (next_ > 0) {
        std::memmove(buffer_, buffer_ + next_, kept);
        next_ = 0;
        end_ = kept;
    }
    // A token longer than half the buffer doubles it, so that reading it again stays linear.
    if (kept > capacity_ / 2) {
        std::vector<char> larger(capacity_ * 2);
        std::memcpy(larger.data(), buffer_, kept);
        large_.swap(larger);
        buffer_ = large_.data();
        capacity_ = large_.size();
    }
    bufferPos_ = stream_->getPos() - static_cast<uint32_t>(kept);
    const size_t got = stream_->read(reinterpret_cast<uint8_t*>(buffer_ + end_), capacity_ - end_);
    end_ += got;
    if (got == 0) streamEnded_ = true;
    return got != 0;
}

void CPdfLexer::setPosition(uint32_t pos) {
    stream_->setPos(pos, CPdfStream::kFromStart);
    next_ = end_ = 0;
    bufferPos_ = stream_->getPos();
    streamEnded_ = false;
    inComment_ = false;
}

void CPdfLexer::skipToNextLine() {
    for (;;) {
        if (next_ == end_ && !readMore()) return;
        const char c = buffer_[next_++];
        if (c == kLineFeed) return;
        if (c == kCarriageReturn) {
            if (next_ == end_ && !readMore()) return;
            if (buffer_[next_] == kLineFeed) ++next_;
            return;
        }
    }
}

void CPdfLexer::readToken(CPdfElement& out, std::string& literal) {
    literal.clear();
    for (;;) {
        const SyntaxText text(std::string_view(buffer_ + next_, end_ - next_), streamEnded_);
        const size_t start = text.skipBlanks(0, inComment_);
        if (start == text.size()) {
            next_ = end_;
            if (streamEnded_ || !readMore()) {
                out.initEof();
                return;
            }
            continue;
        }
        const SyntaxToken token = text.tokenAt(start);
        if (token.kind == TokenKind::partial) {
            next_ += start;
            readMore();
            continue;
        }
        makeElement(text, token, out, literal);
        next_ += token.last;
        return;
    }
}

void CPdfLexer::makeElement(const SyntaxText& text, const SyntaxToken& token, CPdfElement& out, std::string& literal) {
    const std::string_view bytes = text.bytes(token);
    switch (token.kind) {
        case TokenKind::name:
            if (!token.escaped) {
                out.initName(bytes.data() + 1, bytes.size() - 1);
                return;
            }
            scratch_.clear();
            appendName(bytes.substr(1), scratch_);
            out.initName(scratch_.c_str());
            return;
        case TokenKind::integer:
            out.initInteger(clampedInteger(bytes));
            return;
        case TokenKind::real:
            scratch_.assign(bytes.data(), bytes.size());
            out.initReal(std::strtod(scratch_.c_str(), nullptr));
            return;
        case TokenKind::literalString:
            appendLiteralString(bytes.substr(1, bytes.size() - (token.closed ? 2 : 1)), literal);
            // The text ends at the first zero byte; the element keeps every byte for binary strings.
            out.initString(literal.data(), literal.size());
            return;
        case TokenKind::hexString: {
            // The digits stay as they are until the value is asked for; "<>" keeps one zero byte.
            static constexpr char kNoDigits[] = "";
            std::string_view digits = bytes.substr(1, bytes.size() - (token.closed ? 2 : 1));
            if (digits.empty()) digits = std::string_view(kNoDigits, 1);
            CPdfString string(digits.data(), static_cast<int32_t>(digits.size()));
            string.setDecoded(false);
            out.initHexString(string);
            return;
        }
        case TokenKind::dictionaryOpen: out.initCommand("<<"); return;
        case TokenKind::dictionaryClose: out.initCommand(">>"); return;
        case TokenKind::arrayOpen: out.initCommand("["); return;
        case TokenKind::arrayClose: out.initCommand("]"); return;
        case TokenKind::keyword:
            scratch_.assign(bytes.data(), bytes.size());
            makeKeyword(scratch_, out);
            return;
        default:
            out.initError();
            return;
    }
}

void CPdfLexer::makeKeyword(const std::string& word, CPdfElement& out) {
    const char initial = word[0];
    if (initial != 't' && initial != 'f' && initial != 'n') {  // most keywords are none of the three
        out.initCommand(word.c_str());
    } else if (word == "true") {
        out.initBool(true);
    } else if (word == "false") {
        out.initBool(false);
    } else if (word == "null") {
        out.initNull();
    } else {
        out.initCommand(word.c_str());
    }
}
