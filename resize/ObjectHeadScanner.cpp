#include "resize/ObjectHeadScanner.h"

#include <cstring>

namespace {

// Deeper nesting than this in a stream dictionary is taken for damage, not for a stream.
constexpr int kMaxNesting = 64;
// Lengths past this cannot describe data in a file whose offsets are 32-bit.
constexpr uint64_t kLengthLimit = 0xFFFFFFFFull;

bool isWhite(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }

bool isDelimiter(char c) {
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
           c == '/' || c == '%';
}

bool isRegular(char c) { return !isWhite(c) && !isDelimiter(c); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A token-level walk over one object's head. Every step returns false when the head is not
// what a stream's head looks like; ranOut_ then tells whether the bytes simply ended.
class HeadScanner {
public:
    HeadScanner(const char* data, size_t size, bool complete) : data_(data), size_(size), complete_(complete) {}

    ObjectHead scan() {
        ObjectHead head;
        if (!scanHeader(head) || !scanDictionary(head) || !scanStreamKeyword(head)) {
            head.status = ranOut_ && !complete_ ? ObjectHead::Status::needMore : ObjectHead::Status::plain;
            return head;
        }
        head.status = ObjectHead::Status::stream;
        return head;
    }

private:
    bool atEnd() {
        if (pos_ < size_) return false;
        ranOut_ = true;
        return true;
    }

    void skipBlanks() {
        while (!atEnd()) {
            const char c = data_[pos_];
            if (c == '%') {
                while (!atEnd() && data_[pos_] != '\n' && data_[pos_] != '\r') ++pos_;
                continue;
            }
            if (!isWhite(c)) return;
            ++pos_;
        }
    }

    // A run of regular characters; a run that touches the end of the bytes may go on after it.
    bool regularToken(size_t& first, size_t& last) {
        first = pos_;
        while (pos_ < size_ && isRegular(data_[pos_])) ++pos_;
        last = pos_;
        if (pos_ == size_) ranOut_ = true;
        return last > first && !(ranOut_ && !complete_);
    }

    bool tokenIs(size_t first, size_t last, const char* word) const {
        const size_t length = std::strlen(word);
        return last - first == length && std::memcmp(data_ + first, word, length) == 0;
    }

    bool unsignedToken(size_t first, size_t last, uint64_t& value) const {
        value = 0;
        for (size_t i = first; i < last; ++i) {
            if (!isDigit(data_[i])) return false;
            if (value <= kLengthLimit) value = value * 10 + static_cast<uint64_t>(data_[i] - '0');
        }
        return true;
    }

    bool scanHeader(ObjectHead& head) {
        uint64_t number = 0;
        uint64_t generation = 0;
        size_t first = 0;
        size_t last = 0;
        skipBlanks();
        if (!regularToken(first, last) || !unsignedToken(first, last, number)) return false;
        skipBlanks();
        if (!regularToken(first, last) || !unsignedToken(first, last, generation)) return false;
        skipBlanks();
        if (!regularToken(first, last) || !tokenIs(first, last, "obj")) return false;
        head.hasHeader = true;
        head.number = number;
        head.generation = generation;
        return true;
    }

    bool startsWith(const char* bytes) {
        const size_t length = std::strlen(bytes);
        if (size_ - pos_ < length) {
            ranOut_ = true;
            return false;
        }
        return std::memcmp(data_ + pos_, bytes, length) == 0;
    }

    bool scanDictionary(ObjectHead& head) {
        skipBlanks();
        if (atEnd() || !startsWith("<<")) return false;
        pos_ += 2;
        bool lengthSeen = false;
        bool typeSeen = false;
        for (;;) {
            skipBlanks();
            if (atEnd()) return false;
            if (data_[pos_] == '>') {
                if (!startsWith(">>")) return false;
                pos_ += 2;
                return true;
            }
            if (data_[pos_] != '/') return false;
            ++pos_;
            size_t keyFirst = 0;
            size_t keyLast = 0;
            regularToken(keyFirst, keyLast);
            if (ranOut_ && !complete_) return false;
            skipBlanks();
            const size_t valueFirst = pos_;
            if (!skipValue(0)) return false;
            if (!lengthSeen && tokenIs(keyFirst, keyLast, "Length")) {
                lengthSeen = true;
                readLength(valueFirst, head);
            } else if (!typeSeen && tokenIs(keyFirst, keyLast, "Type")) {
                typeSeen = true;
                head.isObjectStream = tokenIs(valueFirst, pos_, "/ObjStm");
            }
        }
    }

    // The value that skipValue just passed: "n" or "n g R".
    void readLength(size_t valueFirst, ObjectHead& head) const {
        size_t cursor = valueFirst;
        uint64_t numbers[2] = {0, 0};
        int count = 0;
        while (cursor < pos_ && count < 2) {
            const size_t first = cursor;
            while (cursor < pos_ && isRegular(data_[cursor])) ++cursor;
            if (!unsignedToken(first, cursor, numbers[count])) break;
            ++count;
            while (cursor < pos_ && isWhite(data_[cursor])) ++cursor;
        }
        if (count == 1 && cursor == pos_ && numbers[0] <= kLengthLimit) {
            head.lengthKind = ObjectHead::LengthKind::direct;
            head.length = numbers[0];
        } else if (count == 2 && cursor < pos_ && data_[cursor] == 'R' && numbers[0] <= kLengthLimit &&
                   numbers[1] <= kLengthLimit) {
            head.lengthKind = ObjectHead::LengthKind::reference;
            head.lengthNumber = static_cast<uint32_t>(numbers[0]);
            head.lengthGeneration = static_cast<uint32_t>(numbers[1]);
        }
    }

    bool skipValue(int depth) {
        if (depth > kMaxNesting || atEnd()) return false;
        const char c = data_[pos_];
        if (c == '(') return skipLiteralString();
        if (c == '/') {
            ++pos_;
            size_t first = 0;
            size_t last = 0;
            regularToken(first, last);
            return !(ranOut_ && !complete_);
        }
        if (c == '[') {
            ++pos_;
            for (;;) {
                skipBlanks();
                if (atEnd()) return false;
                if (data_[pos_] == ']') {
                    ++pos_;
                    return true;
                }
                if (!skipValue(depth + 1)) return false;
            }
        }
        if (c == '<') {
            if (pos_ + 1 >= size_) {
                ranOut_ = true;
                return false;
            }
            if (data_[pos_ + 1] == '<') return skipNestedDictionary(depth);
            const void* close = std::memchr(data_ + pos_, '>', size_ - pos_);
            if (!close) {
                ranOut_ = true;
                return false;
            }
            pos_ = static_cast<size_t>(static_cast<const char*>(close) - data_) + 1;
            return true;
        }
        if (!isRegular(c)) return false;
        size_t first = 0;
        size_t last = 0;
        if (!regularToken(first, last)) return false;
        uint64_t number = 0;
        if (unsignedToken(first, last, number)) return skipReferenceTail();
        return tokenIs(first, last, "true") || tokenIs(first, last, "false") || tokenIs(first, last, "null") ||
               isSignedNumber(first, last);
    }

    bool isSignedNumber(size_t first, size_t last) const {
        bool digit = false;
        for (size_t i = first; i < last; ++i) {
            const char c = data_[i];
            if (isDigit(c)) {
                digit = true;
            } else if (!(c == '.' || ((c == '-' || c == '+') && i == first))) {
                return false;
            }
        }
        return digit;
    }

    // After an unsigned integer: consumes " g R" when it follows, so a reference is one value.
    bool skipReferenceTail() {
        const size_t saved = pos_;
        skipBlanks();
        if (ranOut_) return complete_ ? restore(saved) : false;
        size_t first = 0;
        size_t last = 0;
        uint64_t generation = 0;
        if (!isDigit(data_[pos_])) return restore(saved);
        if (!regularToken(first, last)) return complete_ ? restore(saved) : false;
        if (!unsignedToken(first, last, generation)) return restore(saved);
        skipBlanks();
        if (ranOut_) return complete_ ? restore(saved) : false;
        if (data_[pos_] != 'R') return restore(saved);
        if (pos_ + 1 == size_ && !complete_) {
            ranOut_ = true;
            return false;
        }
        if (pos_ + 1 < size_ && isRegular(data_[pos_ + 1])) return restore(saved);
        ++pos_;
        return true;
    }

    bool restore(size_t saved) {
        pos_ = saved;
        ranOut_ = false;
        return true;
    }

    bool skipNestedDictionary(int depth) {
        pos_ += 2;
        for (;;) {
            skipBlanks();
            if (atEnd()) return false;
            if (data_[pos_] == '>') {
                if (!startsWith(">>")) return false;
                pos_ += 2;
                return true;
            }
            if (!skipValue(depth + 1)) return false;
        }
    }

    bool skipLiteralString() {
        int open = 0;
        while (!atEnd()) {
            const char c = data_[pos_++];
            if (c == '\\') {
                if (atEnd()) return false;
                ++pos_;
            } else if (c == '(') {
                ++open;
            } else if (c == ')' && --open == 0) {
                return true;
            }
        }
        return false;
    }

    bool scanStreamKeyword(ObjectHead& head) {
        skipBlanks();
        size_t first = 0;
        size_t last = 0;
        if (!regularToken(first, last) || !tokenIs(first, last, "stream")) return false;
        if (atEnd()) return false;
        if (data_[pos_] == '\r') {
            ++pos_;
            if (pos_ == size_ && !complete_) {
                ranOut_ = true;
                return false;
            }
            if (pos_ < size_ && data_[pos_] == '\n') ++pos_;
        } else if (data_[pos_] == '\n') {
            ++pos_;
        }
        head.dataOffset = pos_;
        return true;
    }

    const char* data_;
    size_t size_;
    bool complete_;
    size_t pos_ = 0;
    bool ranOut_ = false;
};

}  // namespace

ObjectHead scanObjectHead(const char* data, size_t size, bool complete) {
    return HeadScanner(data, size, complete).scan();
}
