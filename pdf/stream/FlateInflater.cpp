#include "pdf/stream/FlateInflater.h"

#include <algorithm>
#include <cstring>

#include "pdf/objects/PdfException.h"
#include "pdf/stream/PdfStream.h"

namespace {

const char* const kUnknownMethod = "Unknown compression method in flate stream";
const char* const kBadCheck = "Bad FCHECK in flate stream";
const char* const kPresetDictionary = "FDICT bit set in flate stream";
const char* const kBadBlockHeader = "Bad block header in flate stream";
const char* const kBadStoredLength = "Bad uncompressed block length in flate stream";
const char* const kBadDynamicTable = "Bad dynamic code table in flate stream";
const char* const kUnexpectedEnd = "Unexpected end of file in flate stream";

constexpr int kDeflateMethod = 8;
constexpr int kMethodMask = 0x0F;
constexpr int kPresetDictionaryFlag = 0x20;
constexpr int kHeaderCheckDivisor = 31;

constexpr size_t kHistory = 32768;       // the farthest a back-reference reaches
constexpr size_t kChunk = 64 * 1024;     // decoded per refill of the queue
constexpr size_t kMaxMatch = 258;
constexpr size_t kCopyOvershoot = 8;     // match copies move 8 bytes at a time
constexpr size_t kWindowSize = kHistory + kChunk + kMaxMatch + kCopyOvershoot;
constexpr size_t kFastInputBytes = 64;

constexpr unsigned kBlockHeaderBits = 3;
constexpr int kLastBlockFlag = 1;
constexpr int kStoredBlock = 0;
constexpr int kFixedBlock = 1;
constexpr int kDynamicBlock = 2;
constexpr unsigned kStoredLengthBytes = 4;
constexpr uint32_t kStoredLengthMask = 0xFFFF;
constexpr int kEndOfBlock = 256;
constexpr int kFirstLengthSymbol = 257;
constexpr int kMaxLiteralCodes = 288;
constexpr int kMaxDistanceCodes = 30;
constexpr int kCodeLengthCodes = 19;
constexpr int kMinCodeLengthCodes = 4;
constexpr unsigned kCountBits = 5;           // of the literal/length and of the distance code count
constexpr unsigned kCodeLengthCountBits = 4;
constexpr unsigned kCodeLengthBits = 3;

// Code-length symbols above 15: repeats, with their extra bits and smallest count.
struct RepeatCode {
    unsigned extraBits;
    int minimum;
};
constexpr int kRepeatPrevious = 16;
constexpr RepeatCode kRepeats[] = {{2, 3}, {3, 3}, {7, 11}};   // 16, 17 (zeros), 18 (zeros)
constexpr int kLiteralRootBits = 10;
constexpr int kDistanceRootBits = 8;
constexpr int kCodeLengthRootBits = 7;

struct ExtraBitsCode {
    uint16_t base;
    uint8_t extra;
};

// Symbols 257 to 287; 286 and 287, which no encoder emits, decode like 285.
constexpr ExtraBitsCode kLengthCodes[] = {
    {3, 0},   {4, 0},   {5, 0},   {6, 0},   {7, 0},   {8, 0},   {9, 0},   {10, 0},  {11, 1},  {13, 1},  {15, 1},
    {17, 1},  {19, 2},  {23, 2},  {27, 2},  {31, 2},  {35, 3},  {43, 3},  {51, 3},  {59, 3},  {67, 4},  {83, 4},
    {99, 4},  {115, 4}, {131, 5}, {163, 5}, {195, 5}, {227, 5}, {258, 0}, {258, 0}, {258, 0}};

constexpr ExtraBitsCode kDistanceCodes[] = {
    {1, 0},     {2, 0},     {3, 0},     {4, 0},     {5, 1},     {7, 1},     {9, 2},     {13, 2},
    {17, 3},    {25, 3},    {33, 4},    {49, 4},    {65, 5},    {97, 5},    {129, 6},   {193, 6},
    {257, 7},   {385, 7},   {513, 8},   {769, 8},   {1025, 9},  {1537, 9},  {2049, 10}, {3073, 10},
    {4097, 11}, {6145, 11}, {8193, 12}, {12289, 12}, {16385, 13}, {24577, 13}};

static_assert(sizeof kLengthCodes / sizeof kLengthCodes[0] == kMaxLiteralCodes - kFirstLengthSymbol);
static_assert(sizeof kDistanceCodes / sizeof kDistanceCodes[0] == kMaxDistanceCodes);

constexpr uint8_t kCodeLengthOrder[kCodeLengthCodes] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Copies a back-reference byte by byte in effect: overlapping copies repeat the bytes just
// written. May write up to kCopyOvershoot - 1 bytes past the end, which later output replaces.
inline uint8_t* copyMatch(uint8_t* out, size_t distance, size_t length) {
    const uint8_t* from = out - distance;
    uint8_t* const end = out + length;
    if (distance >= kCopyOvershoot) {
        do {
            std::memcpy(out, from, kCopyOvershoot);
            out += kCopyOvershoot;
            from += kCopyOvershoot;
        } while (out < end);
    } else if (distance == 1) {
        std::memset(out, *from, length);
    } else {
        while (out < end) *out++ = *from++;
    }
    return end;
}

}  // namespace

FlateInflater::FlateInflater(CPdfStream& source) : reader_(source), source_(source) {}

FlateInflater::~FlateInflater() = default;

void FlateInflater::restart() {
    source_.reset();
    reader_.restart();
    // Back-references beyond the start of the data read zeros, on every pass alike.
    if (historyUsed_) std::memset(window_.get(), 0, kHistory);
    historyUsed_ = false;
    write_ = kHistory;
    next_ = end_ = nullptr;
    failure_ = nullptr;
    lastBlock_ = false;
    state_ = State::Finished;

    const int cmf = source_.getChar();
    const int flg = source_.getChar();
    if (cmf < 0 || flg < 0) return;
    if ((cmf & kMethodMask) != kDeflateMethod) fail(kUnknownMethod);
    else if ((cmf * 256 + flg) % kHeaderCheckDivisor != 0) fail(kBadCheck);
    else if (flg & kPresetDictionaryFlag) fail(kPresetDictionary);
    if (failure_) throw CPdfException(failure_);
    state_ = State::BlockStart;
}

bool FlateInflater::fail(const char* message) {
    failure_ = message;
    state_ = State::Failed;
    return false;
}

size_t FlateInflater::read(uint8_t* destination, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (next_ == end_ && !decodeMore()) break;
        const size_t piece = std::min(count - done, static_cast<size_t>(end_ - next_));
        std::memcpy(destination + done, next_, piece);
        next_ += piece;
        done += piece;
    }
    return done;
}

void FlateInflater::allocateWindow() {
    // Zeroed, like the history a stream starts with; allocated only once decoding starts.
    window_.reset(new uint8_t[kWindowSize]());
}

void FlateInflater::slideWindow() {
    std::memmove(window_.get(), window_.get() + write_ - kHistory, kHistory);
    write_ = kHistory;
    historyUsed_ = true;
}

bool FlateInflater::decodeMore() {
    if (failure_) throw CPdfException(failure_);
    if (state_ == State::Finished) return false;
    if (!window_) allocateWindow();
    if (write_ >= kHistory + kChunk) slideWindow();
    const size_t first = write_;
    decodeUntil(kHistory + kChunk);
    next_ = window_.get() + first;
    end_ = window_.get() + write_;
    if (next_ != end_) return true;
    if (failure_) throw CPdfException(failure_);
    return false;
}

void FlateInflater::decodeUntil(size_t limit) {
    while (write_ < limit) {
        switch (state_) {
            case State::BlockStart:
                startBlock();
                break;
            case State::Stored:
                copyStored(limit);
                break;
            case State::Compressed:
                decodeCompressed(limit);
                break;
            case State::Finished:
            case State::Failed:
                return;
        }
    }
}

void FlateInflater::endBlock() { state_ = lastBlock_ ? State::Finished : State::BlockStart; }

bool FlateInflater::startBlock() {
    const int header = reader_.getBits(kBlockHeaderBits);
    if (header < 0) return fail(kBadBlockHeader);
    lastBlock_ = (header & kLastBlockFlag) != 0;
    switch (header >> 1) {
        case kStoredBlock:
            return startStoredBlock();
        case kFixedBlock:
            literals_ = &fixedLiteralTable();
            distances_ = &fixedDistanceTable();
            state_ = State::Compressed;
            return true;
        case kDynamicBlock:
            if (!readDynamicTables()) return fail(kBadDynamicTable);
            literals_ = &dynamicLiterals_;
            distances_ = &dynamicDistances_;
            state_ = State::Compressed;
            return true;
        default:
            return fail(kBadBlockHeader);
    }
}

bool FlateInflater::startStoredBlock() {
    reader_.alignToByte();
    int bytes[kStoredLengthBytes];
    for (int& b : bytes) {
        b = reader_.takeByte();
        if (b < 0) return fail(kBadBlockHeader);
    }
    const uint32_t length = static_cast<uint32_t>(bytes[0] | bytes[1] << 8);
    const uint32_t complement = static_cast<uint32_t>(bytes[2] | bytes[3] << 8);
    if (complement != (~length & kStoredLengthMask)) return fail(kBadStoredLength);
    storedLeft_ = length;
    state_ = State::Stored;
    return true;
}

void FlateInflater::copyStored(size_t limit) {
    const size_t wanted = std::min<size_t>(storedLeft_, limit - write_);
    const size_t got = reader_.takeBytes(window_.get() + write_, wanted);
    write_ += got;
    storedLeft_ -= static_cast<uint32_t>(got);
    // A stored block cut short by the end of the input ends the data quietly.
    if (got < wanted) state_ = State::Finished;
    else if (storedLeft_ == 0) endBlock();
}

bool FlateInflater::readDynamicTables() {
    const int literalBits = reader_.getBits(kCountBits);
    const int distanceBits = reader_.getBits(kCountBits);
    const int codeLengthBits = reader_.getBits(kCodeLengthCountBits);
    if (literalBits < 0 || distanceBits < 0 || codeLengthBits < 0) return false;
    const int literalCount = literalBits + kFirstLengthSymbol;
    const int distanceCount = distanceBits + 1;
    const int codeLengthCount = codeLengthBits + kMinCodeLengthCodes;
    if (literalCount > kMaxLiteralCodes || distanceCount > kMaxDistanceCodes) return false;

    uint8_t codeLengthLengths[kCodeLengthCodes] = {};
    for (int i = 0; i < codeLengthCount; ++i) {
        const int length = reader_.getBits(kCodeLengthBits);
        if (length < 0) return false;
        codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(length);
    }
    codeLengthTable_.build(codeLengthLengths, kCodeLengthCodes, kCodeLengthRootBits);

    uint8_t lengths[kMaxLiteralCodes + kMaxDistanceCodes];
    const int total = literalCount + distanceCount;
    int last = 0;
    for (int i = 0; i < total;) {
        const int symbol = decodeSymbol(codeLengthTable_);
        if (symbol < 0) return false;
        if (symbol < kRepeatPrevious) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            last = symbol;
            continue;
        }
        const RepeatCode& code = kRepeats[symbol - kRepeatPrevious];
        const int extra = reader_.getBits(code.extraBits);
        if (extra < 0) return false;
        const int repeat = extra + code.minimum;
        // Before any length, `last` is 0, so a leading repeat of the previous length gives zeros.
        if (symbol != kRepeatPrevious) last = 0;
        if (i + repeat > total) return false;
        std::fill(lengths + i, lengths + i + repeat, static_cast<uint8_t>(last));
        i += repeat;
    }
    dynamicLiterals_.build(lengths, literalCount, kLiteralRootBits);
    dynamicDistances_.build(lengths + literalCount, distanceCount, kDistanceRootBits);
    return true;
}

int FlateInflater::decodeSymbol(const FlateCodeTable& table) {
    // Near the end of the input a short code is still decoded from the bits that remain.
    reader_.fill(static_cast<unsigned>(table.maxLength()));
    const unsigned available = reader_.available();
    if (available == 0) return -1;
    const FlateCodeTable::Entry entry = table.lookup(reader_.bits());
    if (entry.length == 0 || entry.length > available) return -1;
    reader_.drop(entry.length);
    return entry.value;
}

void FlateInflater::decodeCompressed(size_t limit) {
    while (write_ < limit && state_ == State::Compressed) {
        reader_.topUp(kFastInputBytes);
        decodeFast(limit);
        if (write_ >= limit || state_ != State::Compressed) return;
        if (!decodeOneSymbol()) return;
    }
}

// The common case, while at least eight input bytes are buffered: one refill covers a whole
// literal or back-reference (at most 48 bits). Anything unusual is left to decodeOneSymbol.
void FlateInflater::decodeFast(size_t limit) {
    FlateBitReader::Cursor in = reader_.cursor();
    uint8_t* const window = window_.get();
    uint8_t* out = window + write_;
    uint8_t* const outLimit = window + limit;
    const FlateCodeTable& literals = *literals_;
    const FlateCodeTable& distances = *distances_;
    while (out < outLimit && in.canRefillFast()) {
        in.refillFast();
        const FlateCodeTable::Entry entry = literals.lookup(in.bits);
        if (entry.length == 0) break;
        in.drop(entry.length);
        if (entry.value < kEndOfBlock) {
            *out++ = static_cast<uint8_t>(entry.value);
            continue;
        }
        if (entry.value == kEndOfBlock) {
            endBlock();
            break;
        }
        const ExtraBitsCode& lengthCode = kLengthCodes[entry.value - kFirstLengthSymbol];
        const size_t length = lengthCode.base + in.peek(lengthCode.extra);
        in.drop(lengthCode.extra);
        const FlateCodeTable::Entry distanceEntry = distances.lookup(in.bits);
        if (distanceEntry.length == 0) {
            fail(kUnexpectedEnd);
            break;
        }
        in.drop(distanceEntry.length);
        const ExtraBitsCode& distanceCode = kDistanceCodes[distanceEntry.value];
        const size_t distance = distanceCode.base + in.peek(distanceCode.extra);
        in.drop(distanceCode.extra);
        out = copyMatch(out, distance, length);
    }
    write_ = static_cast<size_t>(out - window);
    reader_.setCursor(in);
}

bool FlateInflater::decodeOneSymbol() {
    const int symbol = decodeSymbol(*literals_);
    if (symbol < 0) return fail(kUnexpectedEnd);
    uint8_t* const window = window_.get();
    if (symbol < kEndOfBlock) {
        window[write_++] = static_cast<uint8_t>(symbol);
        return true;
    }
    if (symbol == kEndOfBlock) {
        endBlock();
        return true;
    }
    const ExtraBitsCode& lengthCode = kLengthCodes[symbol - kFirstLengthSymbol];
    const int lengthExtra = reader_.getBits(lengthCode.extra);
    if (lengthExtra < 0) return fail(kUnexpectedEnd);
    const int distanceSymbol = decodeSymbol(*distances_);
    if (distanceSymbol < 0) return fail(kUnexpectedEnd);
    const ExtraBitsCode& distanceCode = kDistanceCodes[distanceSymbol];
    const int distanceExtra = reader_.getBits(distanceCode.extra);
    if (distanceExtra < 0) return fail(kUnexpectedEnd);
    uint8_t* const out = window + write_;
    const size_t length = lengthCode.base + static_cast<size_t>(lengthExtra);
    write_ += static_cast<size_t>(copyMatch(out, distanceCode.base + static_cast<size_t>(distanceExtra), length) - out);
    return true;
}
