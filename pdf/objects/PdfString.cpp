#include "pdf/objects/PdfString.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "pdf/syntax/SyntaxDecoders.h"

namespace {

constexpr size_t kMarkLength = 2;

}  // namespace

CPdfString::CPdfString(const char* bytes, int32_t length) : bytes_(bytes, bytes + (length > 0 ? length : 0)) {}

CPdfString::CPdfString(const CPdfString& source) : decoded_(source.decoded_), bytes_(source.bytes_) {}

CPdfString::~CPdfString() { clear(); }

int32_t CPdfString::getLength() const { return static_cast<int32_t>(bytes_.size()); }

void CPdfString::clear() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    decoded_ = true;
}

CPdfString* CPdfString::clone() const { return new CPdfString(*this); }

void CPdfString::decodeHex() {
    if (decoded_) return;
    const std::string decoded = decodeHexString(std::string_view(bytes_.data(), bytes_.size()));
    bytes_.assign(decoded.begin(), decoded.end());
    decoded_ = true;
}

bool CPdfString::hasBigEndianMark() const {
    return decoded_ && bytes_.size() >= 3 && static_cast<uint8_t>(bytes_[0]) == 0xFE &&
           static_cast<uint8_t>(bytes_[1]) == 0xFF;
}

bool CPdfString::hasLittleEndianMark() const {
    return decoded_ && bytes_.size() >= 3 && static_cast<uint8_t>(bytes_[0]) == 0xFF &&
           static_cast<uint8_t>(bytes_[1]) == 0xFE;
}

const char* CPdfString::getText() {
    cachedText_.clear();
    if (!hasBigEndianMark() && !hasLittleEndianMark()) {
        cachedText_.assign(bytes_.begin(), bytes_.end());
    } else {
        for (size_t i = kMarkLength; i < bytes_.size(); ++i) {
            if (bytes_[i] != 0) cachedText_.push_back(bytes_[i]);
        }
    }
    cachedText_.push_back('\0');
    return cachedText_.data();
}
