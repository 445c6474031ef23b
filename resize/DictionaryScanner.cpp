#include "resize/DictionaryScanner.h"

namespace {

constexpr size_t kMaxHeaderNumbers = 2;  // "n g" before "obj"

}  // namespace

size_t DictionaryScanner::valueEnd(size_t position) const {
    if (position >= syntax_.size() || syntax_.skipBlanks(position) != position) return position;
    const size_t last = syntax_.valueEnd(position);
    return last == SyntaxText::kRanOut ? syntax_.size() : last;
}

bool DictionaryScanner::isReference(size_t first, size_t last) const {
    const SyntaxToken number = syntax_.tokenAt(first);
    return number.is(TokenKind::integer) && last > number.last && syntax_.valueEnd(first) == last;
}

bool DictionaryScanner::mayHoldName(std::string_view key) const {
    // A name spelt with #xx escapes need not show the key's bytes; without any "#" it must.
    return text().find(key) != std::string_view::npos || text().find('#') != std::string_view::npos;
}

bool DictionaryScanner::findKey(size_t dictionaryOpen, std::string_view key, TextEntry& entry) const {
    if (key.empty() || !isDictionaryAt(dictionaryOpen) || !mayHoldName(key)) return false;
    const std::string_view name = key.substr(1);
    size_t position = syntax_.tokenAt(dictionaryOpen).last;
    SyntaxEntry found;
    while (syntax_.nextEntry(position, found)) {
        if (!syntax_.nameIs(found.key, name)) continue;
        entry.keyFirst = found.key.first;
        entry.keyLast = found.key.last;
        entry.valueFirst = found.valueFirst;
        entry.valueLast = found.valueLast;
        return true;
    }
    return false;
}

std::vector<TextEntry> DictionaryScanner::entries(size_t dictionaryOpen) const {
    std::vector<TextEntry> found;
    if (!isDictionaryAt(dictionaryOpen)) return found;
    size_t position = syntax_.tokenAt(dictionaryOpen).last;
    SyntaxEntry entry;
    while (syntax_.nextEntry(position, entry)) {
        found.push_back(TextEntry{entry.key.first, entry.key.last, entry.valueFirst, entry.valueLast});
    }
    return found;
}

bool DictionaryScanner::findKey(std::string_view key, TextEntry& entry) const {
    if (!mayHoldName(key)) return false;
    const size_t dictionary = objectDictionary();
    return dictionary != npos && findKey(dictionary, key, entry);
}

std::vector<TextRange> DictionaryScanner::arrayElements(size_t arrayOpen) const {
    std::vector<TextRange> elements;
    if (!isArrayAt(arrayOpen)) return elements;
    size_t position = arrayOpen + 1;
    for (;;) {
        const SyntaxToken element = syntax_.nextToken(position);
        if (element.is(TokenKind::end) || element.is(TokenKind::arrayClose) || syntax_.endsObject(element)) break;
        position = valueEnd(element.first);
        elements.push_back({element.first, position});
    }
    return elements;
}

size_t DictionaryScanner::objectValue() const {
    SyntaxToken token = syntax_.nextToken(0);
    size_t numbers = 0;
    for (; numbers < kMaxHeaderNumbers && token.is(TokenKind::integer); ++numbers) token = syntax_.nextToken(token.last);
    if (syntax_.isKeyword(token, "obj")) {
        token = syntax_.nextToken(token.last);
    } else if (numbers > 0) {
        return npos;  // numbers that are no object header
    }
    if (token.is(TokenKind::end) || token.is(TokenKind::dictionaryClose) || token.is(TokenKind::arrayClose) ||
        syntax_.endsObject(token)) {
        return npos;
    }
    return token.first;
}

size_t DictionaryScanner::objectDictionary() const {
    const size_t value = objectValue();
    return value != npos && isDictionaryAt(value) ? value : npos;
}

bool DictionaryScanner::objectHeader(TextRange& numbers) const {
    const SyntaxToken number = syntax_.nextToken(0);
    const SyntaxToken generation = syntax_.nextToken(number.last);
    if (!number.is(TokenKind::integer) || !generation.is(TokenKind::integer) ||
        !syntax_.isKeyword(syntax_.nextToken(generation.last), "obj")) {
        return false;
    }
    numbers = {number.first, generation.last};
    return true;
}
