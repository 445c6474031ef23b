#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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
    bool closed = true;   // false for a string that the text ends before its closing byte

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
    std::string_view bytes(const SyntaxToken& token) const { return text_.substr(token.first, token.last - token.first); }

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
    size_t valueEnd(size_t position) const { return valueEnd(position, 0); }
    // Reads the next entry of the dictionary being walked, from `position` on (just after its
    // "<<" or after the previous entry). Tokens that are no key are stepped over one by one, and
    // a key followed by an error loses its entry, as the parser does. True with an entry;
    // false at the dictionary's end, where `position` is one past its ">>" (or where the text
    // or the object ends), or kRanOut when the text ran out first; `closed` tells which.
    bool nextEntry(size_t& position, SyntaxEntry& entry, bool* closed = nullptr) const {
        return nextEntry(position, entry, closed, 0);
    }

private:
    size_t valueEnd(size_t position, int depth) const;
    bool nextEntry(size_t& position, SyntaxEntry& entry, bool* closed, int depth) const;
    size_t containerEnd(const SyntaxToken& open, int depth) const;
    size_t referenceEnd(const SyntaxToken& number) const;
    SyntaxToken make(TokenKind kind, size_t first, size_t last, bool mayGoOn) const;
    size_t nameEnd(size_t position) const;
    size_t literalEnd(size_t position, bool& closed) const;

    std::string_view text_;
    bool complete_;
};
