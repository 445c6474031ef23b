#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "pdf/syntax/SyntaxText.h"

// Where one dictionary entry lies in an object's raw text; positions are byte indexes.
struct TextEntry {
    size_t keyFirst = 0;    // the key's "/"
    size_t keyLast = 0;     // one past the key's last byte
    size_t valueFirst = 0;  // the value's first byte
    size_t valueLast = 0;   // one past the value's last byte; equal to valueFirst when the key has no value
};

// One value (an array element, say) in an object's raw text.
struct TextRange {
    size_t first = 0;
    size_t last = 0;
};

// Finds keys and values in one object's raw text through the shared PDF syntax, so that a key
// is found only where the parser finds it, at the level of the dictionary it belongs to: bytes
// inside nested dictionaries, arrays, strings and comments, and the data of a stream, never
// match. The scanner holds a view: the text must outlive it and must not change while it is used.
class DictionaryScanner {
public:
    static constexpr size_t npos = std::string_view::npos;

    explicit DictionaryScanner(std::string_view text) : syntax_(text) {}

    // The first value after the object header "n g obj", or npos when there is none.
    size_t objectValue() const;
    // The numbers "n g" of the object header "n g obj"; false when the text starts with no such header.
    bool objectHeader(TextRange& numbers) const;
    // The "<<" of the object's own dictionary (also a stream's), or npos when the object is no dictionary.
    size_t objectDictionary() const;

    // Every entry of the dictionary whose "<<" is at `dictionaryOpen`, in the order of the text.
    std::vector<TextEntry> entries(size_t dictionaryOpen) const;
    // The first entry whose key (slash included, compared after #xx escapes are decoded) stands at
    // the top level of the dictionary whose "<<" is at `dictionaryOpen`.
    bool findKey(size_t dictionaryOpen, std::string_view key, TextEntry& entry) const;
    // The same in the object's own dictionary.
    bool findKey(std::string_view key, TextEntry& entry) const;

    // The elements of the array whose "[" is at `arrayOpen`, in order; a reference "n g R" is one element.
    std::vector<TextRange> arrayElements(size_t arrayOpen) const;

    // One past the value that starts at `position`; `position` itself when no value starts there.
    size_t valueEnd(size_t position) const;
    // The first byte at or after `position` that is neither white space nor part of a comment.
    size_t skipBlanks(size_t position) const { return syntax_.skipBlanks(position); }

    std::string_view text() const { return syntax_.text(); }
    bool isDictionaryAt(size_t position) const { return syntax_.tokenAt(position).is(TokenKind::dictionaryOpen); }
    bool isArrayAt(size_t position) const { return syntax_.tokenAt(position).is(TokenKind::arrayOpen); }
    // Whether the value from `first` up to `last` is an indirect reference "n g R".
    bool isReference(size_t first, size_t last) const;

private:
    // False when no name of the text can equal `key`, so that the token walk can be skipped.
    bool mayHoldName(std::string_view key) const;

    SyntaxText syntax_;
};
