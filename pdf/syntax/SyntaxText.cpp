#include "pdf/syntax/SyntaxText.h"

#include <cstring>
#include <string>

#include "pdf/syntax/PdfSyntax.h"
#include "pdf/syntax/SyntaxDecoders.h"

namespace {

// The parser's own limit: deeper objects never reach an edit.
constexpr int kMaxNesting = 512;

}  // namespace

size_t SyntaxText::skipBlanks(size_t position, bool& inComment) const {
    const size_t n = text_.size();
    while (position < n) {
        const char c = text_[position];
        if (inComment) {
            if (isLineEnd(c)) inComment = false;
            ++position;
        } else if (c == '%') {
            inComment = true;
            ++position;
        } else if (isWhite(c)) {
            ++position;
        } else {
            break;
        }
    }
    return position;
}

size_t SyntaxText::skipBlanks(size_t position) const {
    bool inComment = false;
    return skipBlanks(position, inComment);
}

SyntaxToken SyntaxText::make(TokenKind kind, size_t first, size_t last, bool mayGoOn) const {
    SyntaxToken token;
    token.first = first;
    token.last = last < text_.size() ? last : text_.size();
    // A token that the end of the bytes cuts, when more bytes follow, is not judged yet.
    token.kind = mayGoOn && last >= text_.size() && !complete_ ? TokenKind::partial : kind;
    return token;
}

size_t SyntaxText::nameEnd(size_t position) const {
    const size_t n = text_.size();
    size_t i = position + 1;
    while (i < n && isRegular(text_[i])) {
        // "#" and a hex digit take the next byte along, whatever it is.
        i += text_[i] == '#' && i + 1 < n && hexDigitValue(text_[i + 1]) != kNotHexDigit ? 3 : 1;
    }
    return i;
}

size_t SyntaxText::literalEnd(size_t position, bool& closed) const {
    const size_t n = text_.size();
    int depth = 0;
    for (size_t i = position; i < n; ++i) {
        const char c = text_[i];
        if (c == '\\') {
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            closed = true;
            return i + 1;
        }
    }
    closed = false;
    return n;
}

SyntaxToken SyntaxText::tokenAt(size_t position) const {
    const size_t n = text_.size();
    if (position >= n) return make(TokenKind::end, n, n, true);
    const char c = text_[position];
    const bool hasNext = position + 1 < n;
    const char next = hasNext ? text_[position + 1] : '\0';
    switch (c) {
        case '(': {
            bool closed = false;
            SyntaxToken token = make(TokenKind::literalString, position, literalEnd(position, closed), !closed);
            token.closed = closed;
            return token;
        }
        case '<': {
            if (hasNext && next == '<') return make(TokenKind::dictionaryOpen, position, position + 2, false);
            const void* close = hasNext ? std::memchr(text_.data() + position + 1, '>', n - position - 1) : nullptr;
            if (close) {
                const size_t last = static_cast<size_t>(static_cast<const char*>(close) - text_.data()) + 1;
                return make(TokenKind::hexString, position, last, false);
            }
            SyntaxToken token = make(TokenKind::hexString, position, n, true);
            token.closed = false;
            return token;
        }
        case '>':
            if (hasNext && next == '>') return make(TokenKind::dictionaryClose, position, position + 2, false);
            return make(TokenKind::error, position, position + 1, !hasNext);
        case ')': case '{': case '}':
            return make(TokenKind::error, position, position + 1, false);
        case '[':
            return make(TokenKind::arrayOpen, position, position + 1, false);
        case ']':
            return make(TokenKind::arrayClose, position, position + 1, false);
        case '/':
            return make(TokenKind::name, position, nameEnd(position), true);
        default:
            break;
    }
    size_t last = position + 1;
    if (c == '-' || c == '.' || isDigit(c)) {
        bool real = c == '.';
        for (; last < n && (isDigit(text_[last]) || text_[last] == '.'); ++last) real = real || text_[last] == '.';
        return make(real ? TokenKind::real : TokenKind::integer, position, last, true);
    }
    while (last < n && isRegular(text_[last])) ++last;
    return make(TokenKind::keyword, position, last, true);
}

bool SyntaxText::nameIs(const SyntaxToken& token, std::string_view key) const {
    if (token.kind != TokenKind::name) return false;
    const std::string_view body = text_.substr(token.first + 1, token.last - token.first - 1);
    if (body.find('#') == std::string_view::npos) return body == key;
    return decodeName(body) == key;
}

bool SyntaxText::endsObject(const SyntaxToken& token) const {
    if (token.kind != TokenKind::keyword) return false;
    const std::string_view word = bytes(token);
    return word == "stream" || word == "endstream" || word == "endobj";
}

size_t SyntaxText::referenceEnd(const SyntaxToken& number) const {
    const SyntaxToken generation = nextToken(number.last);
    if (generation.kind == TokenKind::partial) return kRanOut;
    if (generation.kind != TokenKind::integer) return number.last;
    const SyntaxToken r = nextToken(generation.last);
    if (r.kind == TokenKind::partial) return kRanOut;
    return isKeyword(r, "R") ? r.last : number.last;
}

size_t SyntaxText::valueEnd(size_t position, int depth) const {
    const SyntaxToken token = tokenAt(position);
    switch (token.kind) {
        case TokenKind::partial: return kRanOut;
        case TokenKind::end: return position;
        case TokenKind::integer: return referenceEnd(token);
        case TokenKind::arrayOpen:
        case TokenKind::dictionaryOpen: return containerEnd(token, depth);
        default: return token.last;
    }
}

size_t SyntaxText::containerEnd(const SyntaxToken& open, int depth) const {
    if (depth >= kMaxNesting) return complete_ ? text_.size() : kRanOut;
    size_t position = open.last;
    if (open.kind == TokenKind::dictionaryOpen) {
        SyntaxEntry entry;
        while (nextEntry(position, entry, nullptr, depth + 1)) {
        }
        return position;
    }
    for (;;) {
        const SyntaxToken element = nextToken(position);
        if (element.kind == TokenKind::partial) return kRanOut;
        if (element.kind == TokenKind::arrayClose) return element.last;
        // An array that lost its "]" ends before the ">>" of the dictionary around it.
        if (element.kind == TokenKind::end || element.kind == TokenKind::dictionaryClose || endsObject(element)) {
            return element.first;
        }
        position = valueEnd(element.first, depth + 1);
        if (position == kRanOut) return kRanOut;
    }
}

bool SyntaxText::nextEntry(size_t& position, SyntaxEntry& entry, bool* closed, int depth) const {
    if (closed) *closed = false;
    for (;;) {
        const SyntaxToken token = nextToken(position);
        if (token.kind == TokenKind::partial) {
            position = kRanOut;
            return false;
        }
        if (token.kind == TokenKind::end || endsObject(token)) {
            position = token.first;
            return false;
        }
        if (token.kind == TokenKind::dictionaryClose) {
            if (closed) *closed = true;
            position = token.last;
            return false;
        }
        position = token.last;
        if (token.kind != TokenKind::name) continue;
        const SyntaxToken value = nextToken(token.last);
        if (value.kind == TokenKind::partial) {
            position = kRanOut;
            return false;
        }
        // The key is dropped; the token after it is looked at as a key again.
        if (value.kind == TokenKind::error || value.kind == TokenKind::end || endsObject(value)) continue;
        const size_t last = valueEnd(value.first, depth);
        if (last == kRanOut) {
            position = kRanOut;
            return false;
        }
        entry.key = token;
        entry.valueFirst = value.first;
        entry.valueLast = last;
        position = last;
        return true;
    }
}
