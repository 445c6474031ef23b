#include "resize/CopyPass.h"

#include <string>

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

std::vector<bool> copyObjects(RawObjectReader& reader, OutputWriter& output,
                              const std::vector<XRefEntry>& entries, const std::vector<PageRecord>& records) {
    const std::vector<bool> heldBack = heldBackObjects(entries.size(), records);
    std::vector<bool> streams = contentsObjects(entries, records);
    std::string bytes;
    for (uint32_t number = 0; number < entries.size(); ++number) {
        const XRefEntry& entry = entries[number];
        const bool probe = streams[number];
        streams[number] = false;
        // A page that is rewritten gets its row when it is written, or the job fails: reading
        // it here would only be done again.
        if (output.row(number).written || heldBack[number]) continue;
        if (entry.type == XRefEntryType::inUse) {
            RawObjectSpan span;
            if (!reader.locateObject(number, span) || span.length == 0 || span.isObjectStream) continue;
            const uint32_t offset = output.position();
            reader.copySpan(span, output);
            output.setOutputEntry(number, entry.generation, offset, true);
            streams[number] = probe && span.isStream;
        } else if (entry.type == XRefEntryType::compressed) {
            if (!reader.readRawObject(number, bytes) || bytes.empty()) continue;
            const uint32_t offset = output.position();
            output.write(bytes);
            // Rebuilt from an object stream: written as generation 0, like its header says.
            output.setOutputEntry(number, 0, offset, true);
        }
    }
    return streams;
}
