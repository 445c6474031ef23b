#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CPdfStream;

// Least-significant-bit-first input of a deflate bit stream (RFC 1951). Source bytes are pulled in
// blocks; whole bytes may wait in the bit buffer ahead of use, and the byte-aligned reads of stored
// blocks take those first, so a stored block starts at the right byte whatever was read ahead.
class FlateBitReader {
public:
    // Largest request of fill(): the bit buffer always has room for seven more bytes.
    static constexpr unsigned kMaxFill = 56;

    // The state the hot decoding loop works on. It copies the cursor into locals, which the
    // compiler can keep in registers while output bytes are stored, and hands it back after.
    struct Cursor {
        uint64_t bits;          // input bits not yet used, the next one in bit 0
        unsigned count;         // valid bits in `bits`
        const uint8_t* next;    // next input byte not yet in `bits`
        const uint8_t* end;

        bool canRefillFast() const { return end - next >= 8; }

        // Tops the buffer up to at least kMaxFill bits; needs canRefillFast(). The bits above
        // `count` may then hold the low bits of *next, which the next refill ORs in again.
        void refillFast() {
            uint64_t word = 0;
            for (int i = 7; i >= 0; --i) word = (word << 8) | next[i];
            bits |= word << count;
            next += (63 - count) >> 3;
            count |= kMaxFill;
        }
        uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits & ((uint64_t{1} << n) - 1)); }
        void drop(unsigned n) {
            bits >>= n;
            count -= n;
        }
    };

    explicit FlateBitReader(CPdfStream& source);
    ~FlateBitReader();
    FlateBitReader(const FlateBitReader&) = delete;
    FlateBitReader& operator=(const FlateBitReader&) = delete;

    // Forgets all buffered input; the owner positions the source.
    void restart();

    // Makes at least `need` (at most kMaxFill) bits available when the input holds them; false
    // when it ends first, in which case every remaining bit is available and the bits above are 0.
    bool fill(unsigned need);
    unsigned available() const { return cursor_.count; }
    uint64_t bits() const { return cursor_.bits; }
    void drop(unsigned n) { cursor_.drop(n); }
    // The next n bits (at most 16) as a number, or -1 when the input ends first.
    int getBits(unsigned n);

    // Byte-aligned input: skips to the next byte boundary, then takes whole bytes.
    void alignToByte() { cursor_.drop(cursor_.count & 7); }
    int takeByte();
    size_t takeBytes(uint8_t* destination, size_t count);

    // Keeps at least `bytes` unread bytes in the input buffer while the source has them, so that
    // the hot loop can refill without checks.
    void topUp(size_t bytes);

    Cursor cursor() const { return cursor_; }
    void setCursor(const Cursor& cursor) { cursor_ = cursor; }

private:
    static constexpr size_t kInputSize = 16 * 1024;

    bool loadInput();
    // Ends the bit buffer's claim on the input once it holds no whole byte.
    void dropStrayBits();

    CPdfStream& source_;
    std::unique_ptr<uint8_t[]> input_;
    Cursor cursor_{};
    bool sourceEnded_ = false;
};
