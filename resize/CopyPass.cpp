#include "resize/CopyPass.h"

#include <algorithm>

#include "resize/OutputWriter.h"
#include "resize/RawObjectReader.h"

namespace {

std::vector<bool> heldBackObjects(size_t entryCount, const std::vector<PageRecord>& records) {
    std::vector<bool> heldBack(entryCount, false);
    for (const PageRecord& record : records) {
        if (record.selected && record.filled && record.objectNumber < entryCount) heldBack[record.objectNumber] = true;
    }
    return heldBack;
}

// The single content streams of the pages to rewrite, named with the generation their entry has.
std::vector<bool> contentsObjects(const std::vector<XRefEntry>& entries, const std::vector<PageRecord>& records) {
    std::vector<bool> contents(entries.size(), false);
    for (const PageRecord& record : records) {
        if (!record.selected || !record.filled || record.contentsNumber >= entries.size()) continue;
        const XRefEntry& entry = entries[record.contentsNumber];
        if (entry.type == XRefEntryType::inUse && entry.generation == record.contentsGeneration) contents[record.contentsNumber] = true;
    }
    return contents;
}

}  // namespace

CopyPass::CopyPass(RawObjectReader& reader, OutputWriter& output, const std::vector<XRefEntry>& entries)
    : reader_(reader), output_(output), entries_(entries), heldBack_(entries.size(), false), streams_(entries.size(), false) {}

bool CopyPass::holdBack(uint32_t number) {
    if (number >= heldBack_.size()) return true;
    if (number < next_) return heldBack_[number];
    heldBack_[number] = true;
    return true;
}

void CopyPass::copyBelow(uint32_t bound) {
    const uint32_t end = static_cast<uint32_t>(std::min<size_t>(bound, entries_.size()));
    for (; next_ < end; ++next_) copyObject(next_);
}

bool CopyPass::heldBackAsSelected(const std::vector<PageRecord>& records) const {
    if (entries_.size() != heldBack_.size()) return false;
    const std::vector<bool> selected = heldBackObjects(entries_.size(), records);
    return std::equal(selected.begin(), selected.begin() + next_, heldBack_.begin());
}

std::vector<bool> CopyPass::finish(const std::vector<PageRecord>& records) {
    const std::vector<bool> selected = heldBackObjects(entries_.size(), records);
    std::copy(selected.begin() + next_, selected.end(), heldBack_.begin() + next_);
    copyBelow(static_cast<uint32_t>(entries_.size()));
    std::vector<bool> contents = contentsObjects(entries_, records);
    for (size_t number = 0; number < contents.size(); ++number) contents[number] = contents[number] && streams_[number];
    return contents;
}

void CopyPass::copyObject(uint32_t number) {
    const XRefEntry& entry = entries_[number];
    // A page that is rewritten gets its row when it is written, or the job fails: reading it here
    // would only be done again.
    if (output_.row(number).written || heldBack_[number]) return;
    if (entry.type == XRefEntryType::inUse) {
        RawObjectSpan span;
        if (!reader_.locateObject(number, span) || span.length == 0 || span.isObjectStream) return;
        const uint32_t offset = output_.position();
        reader_.copySpan(span, output_);
        output_.setOutputEntry(number, entry.generation, offset, true);
        streams_[number] = span.isStream;
    } else if (entry.type == XRefEntryType::compressed) {
        if (!reader_.readRawObject(number, rebuilt_) || rebuilt_.empty()) return;
        const uint32_t offset = output_.position();
        output_.write(rebuilt_);
        // Rebuilt from an object stream: written as generation 0, like its header says.
        output_.setOutputEntry(number, 0, offset, true);
    }
}

std::vector<bool> copyObjects(RawObjectReader& reader, OutputWriter& output,
                              const std::vector<XRefEntry>& entries, const std::vector<PageRecord>& records) {
    CopyPass pass(reader, output, entries);
    return pass.finish(records);
}
