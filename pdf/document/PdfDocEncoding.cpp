#include "pdf/document/PdfDocEncoding.h"

#include <array>

namespace {

constexpr uint8_t kFirstMapped = 24;
constexpr uint8_t kFirstSpecialHigh = 0x80;
constexpr uint8_t kDelete = 0x7F;
constexpr uint8_t kSoftHyphen = 0xAD;

// 0x18 to 0x1F: the spacing accents.
constexpr std::array<uint16_t, 8> kAccents = {
    0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC,
};

// 0x80 to 0xA0: punctuation, ligatures and the letters Latin-1 lacks; 0 where undefined (0x9F).
constexpr std::array<uint16_t, 33> kHighSpecials = {
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044,  // 0x80
    0x2039, 0x203A, 0x2212, 0x2030, 0x201E, 0x201C, 0x201D, 0x2018,  // 0x88
    0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141, 0x0152, 0x0160,  // 0x90
    0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0x0000,  // 0x98
    0x20AC,                                                          // 0xA0
};

constexpr uint8_t kByteOrderHigh = 0xFE;
constexpr uint8_t kByteOrderLow = 0xFF;
constexpr size_t kMarkLength = 2;
constexpr unsigned kBitsPerByte = 8;

}  // namespace

uint32_t pdfDocEncodingToUnicode(uint8_t code) {
    if (code < kFirstMapped || code == kDelete || code == kSoftHyphen) return 0;
    if (code < kFirstMapped + kAccents.size()) return kAccents[code - kFirstMapped];
    if (code < kFirstSpecialHigh) return code;
    if (code < kFirstSpecialHigh + kHighSpecials.size()) return kHighSpecials[code - kFirstSpecialHigh];
    // The rest agrees with Latin-1.
    return code;
}

std::vector<uint32_t> decodeTextString(const std::string& bytes) {
    std::vector<uint32_t> codePoints;
    const bool utf16 = bytes.size() >= kMarkLength && static_cast<uint8_t>(bytes[0]) == kByteOrderHigh &&
                       static_cast<uint8_t>(bytes[1]) == kByteOrderLow;
    if (!utf16) {
        codePoints.reserve(bytes.size());
        for (const char byte : bytes) codePoints.push_back(pdfDocEncodingToUnicode(static_cast<uint8_t>(byte)));
        return codePoints;
    }
    // A last odd byte has no partner and is dropped.
    const size_t units = (bytes.size() - kMarkLength) / 2;
    codePoints.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        const size_t at = kMarkLength + 2 * i;
        codePoints.push_back(static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << kBitsPerByte |
                             static_cast<uint8_t>(bytes[at + 1]));
    }
    return codePoints;
}
