#include "pdf/xref/PdfXRefScanner.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "pdf/stream/PdfStream.h"
#include "pdf/syntax/PdfSyntax.h"

namespace {

constexpr size_t kBlockBytes = size_t{4} << 20;
// Bytes kept from the end of one block at the start of the next: a header's number and
// generation before its "obj", or a keyword cut by the block's end, lie within them.
constexpr size_t kOverlap = 64;
// Tokens that start this close to a block's end are left for the next block, which holds the
// bytes that decide them.
constexpr size_t kUndecided = 16;
constexpr size_t kMaxDigits = 10;

constexpr std::string_view kObj = "obj";
constexpr std::string_view kStream = "stream";
constexpr std::string_view kEndStream = "endstream";
constexpr std::string_view kTrailer = "trailer";
constexpr std::string_view kEnd = "end";

bool isWhite(uint8_t c) { return ::isWhite(static_cast<char>(c)); }
bool isDelimiter(uint8_t c) { return byteClass(static_cast<char>(c)) == ByteClass::delimiter; }
bool isDigit(uint8_t c) { return ::isDigit(c); }
bool endsToken(const std::vector<uint8_t>& block, size_t at) {
    return at >= block.size() || isWhite(block[at]) || isDelimiter(block[at]);
}

// The first `token` in `block` at or after `from`, or npos.
size_t find(const std::vector<uint8_t>& block, size_t from, std::string_view token) {
    if (from >= block.size()) return std::string_view::npos;
    const void* hit = memmem(block.data() + from, block.size() - from, token.data(), token.size());
    return hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - block.data()) : std::string_view::npos;
}

}  // namespace

bool CPdfXRefScanner::readHeader(const std::vector<uint8_t>& block, size_t at, Header& header) const {
    if (!endsToken(block, at + kObj.size())) return false;
    size_t i = at;
    // Backwards: white space, the generation, white space, the number.
    const auto skipWhite = [&] {
        const size_t before = i;
        while (i > 0 && isWhite(block[i - 1])) --i;
        return i < before;
    };
    const auto readNumber = [&](uint64_t& value) {
        const size_t end = i;
        while (i > 0 && end - i < kMaxDigits && isDigit(block[i - 1])) --i;
        if (i == end) return false;
        value = 0;
        for (size_t k = i; k < end; ++k) value = value * 10 + (block[k] - '0');
        return true;
    };
    uint64_t generation = 0;
    uint64_t number = 0;
    if (!skipWhite() || !readNumber(generation) || !skipWhite() || !readNumber(number)) return false;
    if (i > 0 && !isWhite(block[i - 1]) && !isDelimiter(block[i - 1])) return false;
    if (number > kMaxObjectNumber || generation > UINT16_MAX) return false;
    header.number = static_cast<uint32_t>(number);
    header.generation = static_cast<uint32_t>(generation);
    header.position = static_cast<uint32_t>(i);
    return true;
}

// The next hit of each token in one block, each searched again only once the cursor has passed
// it, so that a block is searched once per token whatever the number of hits.
class CPdfXRefScanner::TokenFinder {
public:
    explicit TokenFinder(const std::vector<uint8_t>& block) : block_(block) {}

    bool next(size_t from, size_t& at, Token& token) {
        refresh(object_, from, kObj);
        refresh(stream_, from, kStream);
        // "endstream" outside stream data starts no data.
        while (stream_ != npos && stream_ >= kEnd.size() &&
               std::memcmp(&block_[stream_ - kEnd.size()], kEnd.data(), kEnd.size()) == 0) {
            stream_ = find(block_, stream_ + 1, kStream);
        }
        refresh(trailer_, from, kTrailer);
        at = std::min({object_, stream_, trailer_});
        if (at == npos) return false;
        token = at == object_ ? Token::kObject : at == stream_ ? Token::kStream : Token::kTrailer;
        return true;
    }

private:
    static constexpr size_t npos = std::string_view::npos;

    void refresh(size_t& hit, size_t from, std::string_view token) {
        if (hit == kUnknown || (hit != npos && hit < from)) hit = find(block_, from, token);
    }

    static constexpr size_t kUnknown = npos - 1;
    const std::vector<uint8_t>& block_;
    size_t object_ = kUnknown;
    size_t stream_ = kUnknown;
    size_t trailer_ = kUnknown;
};

void CPdfXRefScanner::scan() {
    headers_.clear();
    trailers_.clear();
    stream_.setPos(0, CPdfStream::kFromEnd);
    const uint64_t fileEnd = stream_.getPos();
    std::vector<uint8_t> block;
    uint64_t blockStart = 0;
    uint64_t done = 0;  // every token that starts before this was dealt with
    bool inStreamData = false;
    while (done < fileEnd) {
        block.resize(static_cast<size_t>(std::min<uint64_t>(kBlockBytes, fileEnd - blockStart)));
        stream_.setPos(static_cast<uint32_t>(blockStart), CPdfStream::kFromStart);
        block.resize(stream_.read(block.data(), block.size()));
        const uint64_t blockEnd = blockStart + block.size();
        const bool last = blockEnd >= fileEnd;
        const size_t limit = last ? block.size() : block.size() - kUndecided;
        size_t cursor = static_cast<size_t>(done - blockStart);
        TokenFinder tokens(block);
        while (cursor < limit) {
            if (inStreamData) {
                const size_t end = find(block, cursor, kEndStream);
                if (end == std::string_view::npos || end >= limit) break;
                inStreamData = false;
                cursor = end + kEndStream.size();
                continue;
            }
            size_t at = 0;
            Token token = Token::kObject;
            if (!tokens.next(cursor, at, token) || at >= limit) break;
            cursor = at + 1;
            if (token == Token::kObject) {
                Header header;
                if (!readHeader(block, at, header)) continue;
                header.position += static_cast<uint32_t>(blockStart);
                headers_.push_back(header);
            } else if (token == Token::kStream) {
                const size_t after = at + kStream.size();
                const bool keyword = (at == 0 || isWhite(block[at - 1]) || block[at - 1] == '>') &&
                                     after < block.size() && (block[after] == '\r' || block[after] == '\n');
                if (!keyword) continue;
                inStreamData = true;
                cursor = after;
            } else if ((at == 0 || isWhite(block[at - 1])) && endsToken(block, at + kTrailer.size())) {
                trailers_.push_back(static_cast<uint32_t>(blockStart + at + kTrailer.size()));
            }
        }
        done = blockStart + std::max(cursor, limit);
        if (last) break;
        blockStart = blockEnd - kOverlap;
    }
}
