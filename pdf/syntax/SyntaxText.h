#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "pdf/syntax/PdfSyntax.h"

enum class TokenKind : uint8_t {
    end,      // no bytes left
    partial,  // the bytes end inside the token, and more bytes may follow
    name,
    integer,  // a number without a point ("-" alone included)
    real,
    literalString,
    hexString,
    dictionaryOpen,
    dictionaryClose,
    arrayOpen,
    arrayClose,
    keyword,  // any other run of regular bytes: true, null, R, obj, stream ...
    error     // ")" "{" "}" or a lone ">"
};

// Where one token lies; positions are byte indexes into the text.
struct SyntaxToken {
    TokenKind kind = TokenKind::end;
    size_t first = 0;
    size_t last = 0;      // one past the token's last byte
    bool closed = true;    // false for a string that the text ends before its closing byte
    bool escaped = false;  // a name that holds a "#"

    bool is(TokenKind k) const { return kind == k; }
};

// One dictionary entry as the parser adds it: the key's name token and its value's span.
struct SyntaxEntry {
    SyntaxToken key;
    size_t valueFirst = 0;
    size_t valueLast = 0;
};

// Raw PDF text read token by token and value by value, by the rules the object parser follows,
// so that every raw-text reader finds the keys and values the parser finds. The text is a view:
// it must outlive this object. When `complete` is false more bytes follow the text, and a token
// or value that runs to its end is not judged (TokenKind::partial, kRanOut).
class SyntaxText {
public:
    static constexpr size_t kRanOut = std::string_view::npos;

    explicit SyntaxText(std::string_view text, bool complete = true) : text_(text), complete_(complete) {}

    std::string_view text() const { return text_; }
    bool complete() const { return complete_; }
    size_t size() const { return text_.size(); }
    std::string_view bytes(const SyntaxToken& token) const {
        return text_.substr(token.first, token.last - token.first);
    }

    // The first byte at or after `position` that is neither white space nor in a comment.
    // `inComment` says whether a comment is open at `position`, and on return whether the
    // text ended inside one.
    size_t skipBlanks(size_t position, bool& inComment) const;
    size_t skipBlanks(size_t position) const;

    // The token that begins at `position`, which is no blank byte.
    SyntaxToken tokenAt(size_t position) const;
    SyntaxToken nextToken(size_t position) const { return tokenAt(skipBlanks(position)); }

    bool isKeyword(const SyntaxToken& token, std::string_view word) const {
        return token.kind == TokenKind::keyword && bytes(token) == word;
    }
    // Whether the name token, #xx escapes decoded, is `key` (given without its slash).
    bool nameIs(const SyntaxToken& token, std::string_view key) const;
    // "stream", "endstream" or "endobj": no value of the object reaches past them.
    bool endsObject(const SyntaxToken& token) const;

    // One past the value that begins at `position` (an array or dictionary with all it holds, a
    // reference "n g R" as one value, any other token alone); `position` when no value begins
    // there. A container that the text or the object ends inside ends there.
    size_t valueEnd(size_t position) const { return valueEnd(tokenAt(position), 0); }
    // Reads the next entry of the dictionary being walked, from `position` on (just after its
    // "<<" or after the previous entry). Tokens that are no key are stepped over one by one, and
    // a key followed by an error loses its entry, as the parser does. True with an entry;
    // false at the dictionary's end, where `position` is one past its ">>" (or where the text
    // or the object ends), or kRanOut when the text ran out first; `closed` tells which.
    bool nextEntry(size_t& position, SyntaxEntry& entry, bool* closed = nullptr) const {
        return nextEntry(position, entry, closed, 0);
    }

private:
    size_t valueEnd(const SyntaxToken& token, int depth) const;
    bool nextEntry(size_t& position, SyntaxEntry& entry, bool* closed, int depth) const;
    size_t containerEnd(const SyntaxToken& open, int depth) const;
    size_t referenceEnd(const SyntaxToken& number) const;
    SyntaxToken make(TokenKind kind, size_t first, size_t last, bool mayGoOn) const;
    size_t nameEnd(size_t position, bool& escaped) const;
    size_t literalEnd(size_t position, bool& closed) const;

    std::string_view text_;
    bool complete_;
};

// The lexer asks for every token of every object read: these stay inline.

inline size_t SyntaxText::skipBlanks(size_t position, bool& inComment) const {
    const char* const bytes = text_.data();
    const size_t n = text_.size();
    for (;;) {
        if (inComment) {
            while (position < n && !isLineEnd(bytes[position])) ++position;
            if (position == n) return n;
            inComment = false;
        }
        while (position < n && isWhite(bytes[position])) ++position;
        if (position == n || bytes[position] != '%') return position;
        inComment = true;
    }
}

inline SyntaxToken SyntaxText::make(TokenKind kind, size_t first, size_t last, bool mayGoOn) const {
    SyntaxToken token;
    token.first = first;
    token.last = last < text_.size() ? last : text_.size();
    // A token that the end of the bytes cuts, when more bytes follow, is not judged yet.
    token.kind = mayGoOn && last >= text_.size() && !complete_ ? TokenKind::partial : kind;
    return token;
}

inline size_t SyntaxText::nameEnd(size_t position, bool& escaped) const {
    const char* const bytes = text_.data();
    const size_t n = text_.size();
    size_t i = position + 1;
    while (i < n && isRegular(bytes[i])) {
        if (bytes[i] != '#') {
            ++i;
            continue;
        }
        escaped = true;
        // "#" and a hex digit take the next byte along, whatever it is.
        i += i + 1 < n && hexDigitValue(bytes[i + 1]) != kNotHexDigit ? 3 : 1;
    }
    return i;
}

inline SyntaxToken SyntaxText::tokenAt(size_t position) const {
    const size_t n = text_.size();
    if (position >= n) return make(TokenKind::end, n, n, true);
    const char* const bytes = text_.data();
    const char c = bytes[position];
    size_t last = position + 1;
    if (byteClass(c) != ByteClass::delimiter || c == '%') {
        if (isDigit(c) || c == '-' || c == '.') {
            while (last < n && isDigit(bytes[last])) ++last;
            const bool real = c == '.' || (last < n && bytes[last] == '.');
            while (last < n && (isDigit(bytes[last]) || bytes[last] == '.')) ++last;
            return make(real ? TokenKind::real : TokenKind::integer, position, last, true);
        }
        while (last < n && isRegular(bytes[last])) ++last;
        return make(TokenKind::keyword, position, last, true);
    }
    const bool hasNext = last < n;
    switch (c) {
        case '/': {
            bool escaped = false;
            const size_t end = nameEnd(position, escaped);
            SyntaxToken token = make(TokenKind::name, position, end, true);
            token.escaped = escaped;
            return token;
        }
        case '(': {
            bool closed = false;
            const size_t end = literalEnd(position, closed);
            SyntaxToken token = make(TokenKind::literalString, position, end, !closed);
            token.closed = closed;
            return token;
        }
        case '<': {
            if (hasNext && bytes[last] == '<') return make(TokenKind::dictionaryOpen, position, position + 2, false);
            const void* close = hasNext ? std::memchr(bytes + last, '>', n - last) : nullptr;
            if (close) {
                const size_t end = static_cast<size_t>(static_cast<const char*>(close) - bytes) + 1;
                return make(TokenKind::hexString, position, end, false);
            }
            SyntaxToken token = make(TokenKind::hexString, position, n, true);
            token.closed = false;
            return token;
        }
        case '>':
            if (hasNext && bytes[last] == '>') return make(TokenKind::dictionaryClose, position, position + 2, false);
            return make(TokenKind::error, position, last, !hasNext);
        case '[':
            return make(TokenKind::arrayOpen, position, last, false);
        case ']':
            return make(TokenKind::arrayClose, position, last, false);
        default:  // ")" "{" "}"
            return make(TokenKind::error, position, last, false);
    }
}
