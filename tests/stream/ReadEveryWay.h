#pragma once
// A decoder's whole output, read bytewise (peekChar agreeing) and in blocks of changing sizes, then again after reset;
// on a fault, the bytes before it, "!" and the message (where `faultsRepeat`, the next call fails again).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "pdf/objects/PdfException.h"
#include "pdf/stream/PdfMemoryStream.h"

inline CPdfStream* memoryStream(const std::string& bytes) {
    return new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(bytes.data()), 0, uint32_t(bytes.size()));
}

inline std::string readEveryWay(const std::function<CPdfStream*()>& open, bool faultsRepeat = true) {
    constexpr size_t kNoEnd = size_t{1} << 26;  // far above every output here: the stream never ends
    std::unique_ptr<CPdfStreamRef> stream;
    std::string out, again;
    std::vector<uint8_t> block(100000);
    const auto keep = [&block](std::string& to, size_t got) { return to.append((const char*)block.data(), got), got; };
    try {
        stream = std::make_unique<CPdfStreamRef>(open());
        for (size_t turn = 1; out.size() < kNoEnd; ++turn) {
            const int peeked = (*stream)->peekChar(), peekedAgain = (*stream)->peekChar(), c = (*stream)->getChar();
            if (peeked != c || peekedAgain != c) throw std::logic_error("peekChar and getChar disagree");
            if (c == CPdfStream::kEnd) break;
            out.push_back(char(c));
            const size_t want = turn % 3 ? 0 : 1 + (turn * 7919) % block.size();
            if (keep(out, (*stream)->read(block.data(), want)) < want && (*stream)->getChar() != CPdfStream::kEnd)
                throw std::logic_error("short read before the end");
        }
    } catch (const CPdfException& e) {
        if (stream && faultsRepeat) { EXPECT_THROW((*stream)->getChar(), CPdfException); }
        return out + "!" + e.getMessage();
    }
    (*stream)->reset();
    while (again.size() < kNoEnd && keep(again, (*stream)->read(block.data(), block.size())) > 0) {}
    if (again != out) throw std::logic_error("the pass after reset differs");
    return out;
}
