#include "resize/ObjectHeadScanner.h"

#include <string_view>

#include "pdf/syntax/PdfSyntax.h"
#include "pdf/syntax/SyntaxText.h"

namespace {

// Lengths past this cannot describe data in a file whose offsets are 32-bit.
constexpr uint64_t kLengthLimit = 0xFFFFFFFFull;

// The value of a token of decimal digits alone, at most kLengthLimit + 1.
bool unsignedValue(std::string_view digits, uint64_t& value) {
    value = 0;
    for (const char c : digits) {
        if (!isDigit(c)) return false;
        if (value <= kLengthLimit) value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return !digits.empty();
}

// A token-level walk over one object's head, by the rules of the shared PDF syntax. Every step
// returns false when the head is not what a stream's head looks like; ranOut_ then tells
// whether the bytes simply ended.
class HeadScanner {
public:
    HeadScanner(const char* data, size_t size, bool complete) : syntax_(std::string_view(data, size), complete) {}

    ObjectHead scan() {
        ObjectHead head;
        size_t position = 0;
        if (!scanHeader(head, position) || !scanDictionary(head, position) || !scanStreamKeyword(head, position)) {
            head.status = ranOut_ ? ObjectHead::Status::needMore : ObjectHead::Status::plain;
            return head;
        }
        head.status = ObjectHead::Status::stream;
        return head;
    }

private:
    // The next token, or false (noting when the bytes ran out) when it is not of `kind`.
    bool expect(size_t& position, TokenKind kind, SyntaxToken& token) {
        token = syntax_.nextToken(position);
        if (token.is(TokenKind::partial)) ranOut_ = true;
        position = token.last;
        return token.is(kind);
    }

    bool scanHeader(ObjectHead& head, size_t& position) {
        SyntaxToken number;
        SyntaxToken generation;
        SyntaxToken obj;
        if (!expect(position, TokenKind::integer, number) || !expect(position, TokenKind::integer, generation) ||
            !expect(position, TokenKind::keyword, obj) || syntax_.bytes(obj) != "obj" ||
            !unsignedValue(syntax_.bytes(number), head.number) ||
            !unsignedValue(syntax_.bytes(generation), head.generation)) {
            return false;
        }
        head.hasHeader = true;
        return true;
    }

    bool scanDictionary(ObjectHead& head, size_t& position) {
        SyntaxToken open;
        if (!expect(position, TokenKind::dictionaryOpen, open)) return false;
        bool lengthSeen = false;
        bool typeSeen = false;
        SyntaxEntry entry;
        bool closed = false;
        while (syntax_.nextEntry(position, entry, &closed)) {
            // The first of two equal keys counts, as in the parsed dictionary.
            if (!lengthSeen && syntax_.nameIs(entry.key, "Length")) {
                lengthSeen = true;
                readLength(entry, head);
            } else if (!typeSeen && syntax_.nameIs(entry.key, "Type")) {
                typeSeen = true;
                const SyntaxToken type = syntax_.tokenAt(entry.valueFirst);
                head.isObjectStream = type.last == entry.valueLast && syntax_.nameIs(type, "ObjStm");
            }
        }
        if (position == SyntaxText::kRanOut) {
            ranOut_ = true;
            return false;
        }
        return closed;
    }

    // A value "n" or "n g R".
    void readLength(const SyntaxEntry& entry, ObjectHead& head) const {
        const SyntaxToken number = syntax_.tokenAt(entry.valueFirst);
        uint64_t value = 0;
        if (!number.is(TokenKind::integer) || !unsignedValue(syntax_.bytes(number), value) || value > kLengthLimit) return;
        if (number.last == entry.valueLast) {
            head.lengthKind = ObjectHead::LengthKind::direct;
            head.length = value;
            return;
        }
        uint64_t generation = 0;
        const SyntaxToken second = syntax_.nextToken(number.last);
        if (!unsignedValue(syntax_.bytes(second), generation) || generation > kLengthLimit) return;
        head.lengthKind = ObjectHead::LengthKind::reference;
        head.lengthNumber = static_cast<uint32_t>(value);
        head.lengthGeneration = static_cast<uint32_t>(generation);
    }

    bool scanStreamKeyword(ObjectHead& head, size_t& position) {
        SyntaxToken keyword;
        if (!expect(position, TokenKind::keyword, keyword) || syntax_.bytes(keyword) != "stream") return false;
        const std::string_view text = syntax_.text();
        if (position == text.size()) return false;
        if (text[position] == kCarriageReturn) {
            ++position;
            if (position == text.size() && !syntax_.complete()) {
                ranOut_ = true;
                return false;
            }
            if (position < text.size() && text[position] == kLineFeed) ++position;
        } else if (text[position] == kLineFeed) {
            ++position;
        }
        head.dataOffset = position;
        return true;
    }

    SyntaxText syntax_;
    bool ranOut_ = false;
};

}  // namespace

ObjectHead scanObjectHead(const char* data, size_t size, bool complete) {
    return HeadScanner(data, size, complete).scan();
}
