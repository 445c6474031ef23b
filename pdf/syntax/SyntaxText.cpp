#include "pdf/syntax/SyntaxText.h"

#include <cstring>
#include <string>

#include "pdf/syntax/PdfSyntax.h"
#include "pdf/syntax/SyntaxDecoders.h"

namespace {

// The parser's own limit: deeper objects never reach an edit.
constexpr int kMaxNesting = 512;

}  // namespace

size_t SyntaxText::skipBlanks(size_t position) const {
    bool inComment = false;
    return skipBlanks(position, inComment);
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

bool SyntaxText::nameIs(const SyntaxToken& token, std::string_view key) const {
    if (token.kind != TokenKind::name) return false;
    const std::string_view body = text_.substr(token.first + 1, token.last - token.first - 1);
    if (!token.escaped) return body == key;
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

size_t SyntaxText::valueEnd(const SyntaxToken& token, int depth) const {
    switch (token.kind) {
        case TokenKind::partial: return kRanOut;
        case TokenKind::end: return token.first;
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
        position = valueEnd(element, depth + 1);
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
        const size_t last = valueEnd(value, depth);
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
