#include "resize/DictionaryScanner.h"

#include <array>
#include <cstdint>
#include <string>

namespace {

constexpr size_t kMaxHeaderNumbers = 2;  // "n g" before "obj"

enum ByteClass : uint8_t { kRegularByte, kWhiteByte, kDelimiterByte };

constexpr std::array<uint8_t, 256> makeByteClasses() {
    std::array<uint8_t, 256> classes{};
    for (const char c : {' ', '\n', '\r', '\t', '\f', '\0'}) classes[static_cast<uint8_t>(c)] = kWhiteByte;
    for (const char c : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'}) classes[static_cast<uint8_t>(c)] = kDelimiterByte;
    return classes;
}

// One look-up per byte: the scanner classifies every byte of every object it edits.
constexpr std::array<uint8_t, 256> kByteClasses = makeByteClasses();

bool isWhite(char c) { return kByteClasses[static_cast<uint8_t>(c)] == kWhiteByte; }

bool isRegular(char c) { return kByteClasses[static_cast<uint8_t>(c)] == kRegularByte; }

// The first byte of the token that closes a container opened by `opener` ("<<" closes with ">>").
char closerOf(char opener) {
    switch (opener) {
        case '[': return ']';
        case '{': return '}';
        default: return '>';
    }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool DictionaryScanner::startsWith(size_t position, std::string_view bytes) const {
    return position <= text_.size() && text_.substr(position, bytes.size()) == bytes;
}

size_t DictionaryScanner::skipBlanks(size_t position) const {
    while (position < text_.size()) {
        const char c = text_[position];
        if (isWhite(c)) {
            ++position;
        } else if (c == '%') {
            const size_t lineEnd = text_.find_first_of("\r\n", position);
            position = lineEnd == std::string_view::npos ? text_.size() : lineEnd;
        } else {
            break;
        }
    }
    return position;
}

size_t DictionaryScanner::literalStringEnd(size_t position) const {
    size_t depth = 0;
    for (size_t i = position; i < text_.size(); ++i) {
        const char c = text_[i];
        if (c == '\\') {
            ++i;  // the escaped byte, a parenthesis included, is plain text
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i + 1;
        }
    }
    return text_.size();
}

DictionaryScanner::Lexeme DictionaryScanner::lexemeAt(size_t position) const {
    Lexeme lexeme;
    lexeme.first = position;
    lexeme.last = position;
    if (position >= text_.size()) return lexeme;
    const char c = text_[position];
    const bool doubled = position + 1 < text_.size() && text_[position + 1] == c;
    switch (c) {
        case '(':
            lexeme.token = Token::atom;
            lexeme.last = literalStringEnd(position);
            return lexeme;
        case '<':
            if (doubled) {
                lexeme.token = Token::open;
                lexeme.last = position + 2;
            } else {
                const size_t close = text_.find('>', position + 1);
                lexeme.token = Token::atom;
                lexeme.last = close == std::string_view::npos ? text_.size() : close + 1;
            }
            return lexeme;
        case '>':
            lexeme.token = doubled ? Token::close : Token::atom;
            lexeme.last = position + (doubled ? 2 : 1);
            return lexeme;
        case '[': case '{':
            lexeme.token = Token::open;
            lexeme.last = position + 1;
            return lexeme;
        case ']': case '}':
            lexeme.token = Token::close;
            lexeme.last = position + 1;
            return lexeme;
        case '/': {
            size_t last = position + 1;
            while (last < text_.size() && isRegular(text_[last])) ++last;
            lexeme.token = Token::name;
            lexeme.last = last;
            return lexeme;
        }
        default:
            break;
    }
    size_t last = position;
    bool digitsOnly = true;
    while (last < text_.size() && isRegular(text_[last])) {
        digitsOnly = digitsOnly && isDigit(text_[last]);
        ++last;
    }
    if (last == position) {  // a stray ")" or white space: one byte that is no value
        lexeme.token = Token::atom;
        lexeme.last = position + 1;
        return lexeme;
    }
    lexeme.token = digitsOnly ? Token::integer : Token::keyword;
    lexeme.last = last;
    return lexeme;
}

bool DictionaryScanner::isEndKeyword(const Lexeme& lexeme) const {
    if (lexeme.token != Token::keyword) return false;
    const std::string_view word = text_.substr(lexeme.first, lexeme.last - lexeme.first);
    return word == "stream" || word == "endstream" || word == "endobj";
}

size_t DictionaryScanner::referenceEnd(size_t integerEnd) const {
    const Lexeme generation = lexemeAt(skipBlanks(integerEnd));
    if (generation.token != Token::integer || generation.first == integerEnd) return integerEnd;
    const Lexeme r = lexemeAt(skipBlanks(generation.last));
    if (r.token != Token::keyword || r.last - r.first != 1 || text_[r.first] != 'R') return integerEnd;
    return r.last;
}

bool DictionaryScanner::isReference(size_t first, size_t last) const {
    const Lexeme number = lexemeAt(first);
    return number.token == Token::integer && last > number.last && referenceEnd(number.last) == last;
}

size_t DictionaryScanner::valueEnd(size_t position) const {
    if (position >= text_.size() || isWhite(text_[position]) || text_[position] == '%') return position;
    std::string expectedClosers;  // one per open container, innermost last
    size_t i = position;
    for (;;) {
        if (!expectedClosers.empty()) i = skipBlanks(i);
        const Lexeme lexeme = lexemeAt(i);
        const bool nested = !expectedClosers.empty();
        if (lexeme.token == Token::end) return nested ? text_.size() : position;
        // An unclosed container ends before the keyword that ends the object, or before a closer
        // that belongs to an enclosing container.
        if (isEndKeyword(lexeme)) return nested ? lexeme.first : position;
        if (lexeme.token == Token::close) {
            if (!nested || text_[lexeme.first] != expectedClosers.back()) return nested ? lexeme.first : position;
            expectedClosers.pop_back();
            if (expectedClosers.empty()) return lexeme.last;
        } else if (lexeme.token == Token::open) {
            expectedClosers.push_back(closerOf(text_[lexeme.first]));
        } else if (!nested) {
            return lexeme.token == Token::integer ? referenceEnd(lexeme.last) : lexeme.last;
        }
        i = lexeme.last;
    }
}

bool DictionaryScanner::nameEquals(const Lexeme& lexeme, std::string_view key) const {
    size_t k = 0;
    for (size_t i = lexeme.first; i < lexeme.last; ++i, ++k) {
        char c = text_[i];
        if (c == '#' && i + 2 < lexeme.last) {
            const int high = hexValue(text_[i + 1]);
            const int low = hexValue(text_[i + 2]);
            if (high >= 0 && low >= 0) {
                c = static_cast<char>(high * 16 + low);
                i += 2;
            }
        }
        if (k >= key.size() || key[k] != c) return false;
    }
    return k == key.size();
}

bool DictionaryScanner::mayHoldName(std::string_view key) const {
    // A name spelt with #xx escapes need not show the key's bytes; without any "#" it must.
    return text_.find(key) != std::string_view::npos || text_.find('#') != std::string_view::npos;
}

bool DictionaryScanner::findKey(size_t dictionaryOpen, std::string_view key, TextEntry& entry) const {
    if (!isDictionaryAt(dictionaryOpen) || !mayHoldName(key)) return false;
    size_t i = dictionaryOpen + 2;
    for (;;) {
        i = skipBlanks(i);
        const Lexeme lexeme = lexemeAt(i);
        if (lexeme.token == Token::end || lexeme.token == Token::close || isEndKeyword(lexeme)) return false;
        if (lexeme.token != Token::name) {  // not a key: step over it whole
            const size_t next = valueEnd(i);
            i = next > i ? next : lexeme.last;
            continue;
        }
        size_t valueFirst = skipBlanks(lexeme.last);
        size_t valueLast = valueEnd(valueFirst);
        if (valueLast == valueFirst) valueFirst = valueLast = lexeme.last;
        if (nameEquals(lexeme, key)) {
            entry.keyFirst = lexeme.first;
            entry.keyLast = lexeme.last;
            entry.valueFirst = valueFirst;
            entry.valueLast = valueLast;
            return true;
        }
        i = valueLast;
    }
}

bool DictionaryScanner::findKey(std::string_view key, TextEntry& entry) const {
    if (!mayHoldName(key)) return false;
    const size_t dictionary = objectDictionary();
    return dictionary != npos && findKey(dictionary, key, entry);
}

std::vector<TextRange> DictionaryScanner::arrayElements(size_t arrayOpen) const {
    std::vector<TextRange> elements;
    if (!isArrayAt(arrayOpen)) return elements;
    size_t i = arrayOpen + 1;
    for (;;) {
        i = skipBlanks(i);
        const Lexeme lexeme = lexemeAt(i);
        if (lexeme.token == Token::end || lexeme.token == Token::close || isEndKeyword(lexeme)) break;
        size_t last = valueEnd(i);
        if (last == i) last = lexeme.last;
        elements.push_back({i, last});
        i = last;
    }
    return elements;
}

size_t DictionaryScanner::objectValue() const {
    size_t i = 0;
    for (size_t numbers = 0;; ++numbers) {
        i = skipBlanks(i);
        const Lexeme lexeme = lexemeAt(i);
        if (lexeme.token == Token::integer && numbers < kMaxHeaderNumbers) {
            i = lexeme.last;
            continue;
        }
        if (lexeme.token == Token::keyword && text_.substr(lexeme.first, lexeme.last - lexeme.first) == "obj") {
            i = skipBlanks(lexeme.last);
        } else if (numbers > 0) {
            return npos;  // numbers that are no object header
        }
        break;
    }
    const Lexeme value = lexemeAt(i);
    if (value.token == Token::end || value.token == Token::close || isEndKeyword(value)) return npos;
    return i;
}

size_t DictionaryScanner::objectDictionary() const {
    const size_t value = objectValue();
    return value != npos && isDictionaryAt(value) ? value : npos;
}
