#pragma once

#include <cstdint>
#include <vector>

// The bytes of a hex string; the digits are decoded on demand. Copied, never shared.
class CPdfString {
public:
    CPdfString(const char* bytes, int32_t length);
    CPdfString(const CPdfString& source);
    CPdfString& operator=(const CPdfString&) = delete;
    virtual ~CPdfString();

    // Zero-terminated text; a UTF-16 text (byte-order mark) loses its mark and its zero bytes.
    virtual const char* getText();
    virtual int32_t getLength() const;
    virtual void clear();
    virtual CPdfString* clone() const;

    void decodeHex();
    bool isDecoded() const { return decoded_; }
    void setDecoded(bool decoded) { decoded_ = decoded; }
    const char* getBytes() const { return bytes_.data(); }
    bool hasBigEndianMark() const;
    bool hasLittleEndianMark() const;

private:
    bool decoded_ = true;
    std::vector<char> bytes_;
    std::vector<char> cachedText_;
};
