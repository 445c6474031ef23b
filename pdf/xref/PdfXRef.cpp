#include "pdf/xref/PdfXRef.h"

#include <algorithm>
#include <cstring>

#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/stream/PdfStream.h"
#include "pdf/xref/PdfObjectStream.h"
#include "pdf/xref/PdfXRefReader.h"
#include "pdf/xref/PdfXRefScanner.h"

namespace {

constexpr char kTableKeyword[] = "xref";

// The last few large objects fetched, parsed once and then handed out as copies (counted parts
// shared): documents point at one large resource dictionary from every page. Streams stay out,
// since each reader moves a stream's position.
class RecentLargeObjects {
public:
    static constexpr size_t kCapacity = 16;

    bool find(int32_t number, uint32_t generation, CPdfElement& out) const {
        for (const Entry& entry : entries_) {
            if (entry.number != number || entry.generation != generation) continue;
            out.copyFrom(entry.object);
            return true;
        }
        return false;
    }
    void remember(int32_t number, uint32_t generation, const CPdfElement& object) {
        if (object.is(kindStream)) return;
        if (entries_.size() == kCapacity) entries_.erase(entries_.begin());
        entries_.push_back(Entry{number, generation, object});
    }
    void clear() { entries_.clear(); }

private:
    struct Entry {
        int32_t number;
        uint32_t generation;
        CPdfElement object;
    };
    std::vector<Entry> entries_;
};

}  // namespace

struct CPdfXRef::Impl {
    CPdfStream* stream = nullptr;
    uint32_t start = 0;
    std::vector<XRefEntry> entries;
    ObjectRef rootRef;
    ObjectRef infoRef;
    CPdfElement trailer;
    bool ok = false;
    bool repaired = false;
    NewestSection newest;
    // Of a rebuilt table: where each entry's object was found, to tell which of two is newer.
    std::vector<uint32_t> positions;

    CPdfObjectStreamStore decodedStreams;
    // The one object stream of each form that answers requests; both share decoded data.
    std::shared_ptr<CPdfObjectStream> objectStreamCache;
    std::shared_ptr<const CPdfObjectStreamData> objectTextCache;

    bool encrypted = false;
    FileKey fileKey;
    bool encryptMetadata = true;

    // Objects being fetched right now, innermost last.
    std::vector<int32_t> fetching;

    uint64_t parsedBytes = 0;
    uint64_t parseBudget = kBaseParseBudget;
    RecentLargeObjects recentLarge;
};

// Marks an object as being fetched for the span of its fetch. A fetch that comes back to an
// object already on the way (a stream whose Length names itself, an object stream that lies in
// itself) finds nothing instead of recursing for ever.
class CPdfXRef::FetchScope {
public:
    FetchScope(std::vector<int32_t>& fetching, int32_t number) : fetching_(fetching) {
        cycle_ = std::find(fetching.begin(), fetching.end(), number) != fetching.end();
        if (cycle_) return;
        if (fetching.size() >= kMaxFetchDepth) throw CPdfException("Object references nested too deeply");
        fetching.push_back(number);
    }
    ~FetchScope() {
        if (!cycle_) fetching_.pop_back();
    }
    FetchScope(const FetchScope&) = delete;
    FetchScope& operator=(const FetchScope&) = delete;

    bool isCycle() const { return cycle_; }

private:
    std::vector<int32_t>& fetching_;
    bool cycle_ = false;
};

CPdfXRef::CPdfXRef() : impl_(std::make_unique<Impl>()) {}

CPdfXRef::~CPdfXRef() = default;

void CPdfXRef::open(CPdfStream* stream) {
    Impl& x = *impl_;
    x.ok = false;
    x.stream = stream;
    x.start = stream->getStart();
    x.entries.clear();
    x.trailer.free();
    x.rootRef = ObjectRef();
    x.infoRef = ObjectRef();
    x.repaired = false;
    x.newest = NewestSection();
    x.objectStreamCache.reset();
    x.objectTextCache.reset();
    x.decodedStreams.clear();
    x.recentLarge.clear();
    stream->setPos(0, CPdfStream::kFromEnd);
    x.parsedBytes = 0;
    x.parseBudget = kBaseParseBudget + kParseBudgetPerFileByte * stream->getPos();

    try {
        readSections();
        if (holdsOwnHeader(x.rootRef.number)) {
            x.ok = true;
            return;
        }
    } catch (const CPdfException&) {
        // The sections are unusable: the objects themselves still tell where they are.
    }
    rebuild();
}

void CPdfXRef::readSections() {
    Impl& x = *impl_;
    CPdfXRefReader reader(x.stream, x.entries, x.trailer);
    const uint32_t position = reader.findStartXRef();
    if (position == 0) throw CPdfException("PDF file was damaged");
    reader.readChain(position);
    takeTrailer(x.trailer);
    x.newest.position = position;
    char keyword[sizeof kTableKeyword - 1] = {};
    x.stream->setPos(x.start + position, CPdfStream::kFromStart);
    const bool table = x.stream->read(reinterpret_cast<uint8_t*>(keyword), sizeof keyword) == sizeof keyword &&
                       std::memcmp(keyword, kTableKeyword, sizeof keyword) == 0;
    using Form = NewestSection::Form;
    x.newest.form = !table ? Form::stream : x.trailer.getDictionary()->find("XRefStm") ? Form::hybrid : Form::table;
}

void CPdfXRef::takeTrailer(const CPdfElement& trailerElement) {
    Impl& x = *impl_;
    if (!trailerElement.is(kindDictionary)) throw CPdfException("PDF file was damaged");
    if (&trailerElement != &x.trailer) x.trailer = trailerElement;
    CPdfDictionary& trailer = *x.trailer.getDictionary();
    const CPdfElement* root = trailer.find("Root");
    if (!root || !root->is(kindReference)) throw CPdfException("PDF file was damaged");
    x.rootRef = {root->getRefNumber(), root->getRefGeneration()};
    const CPdfElement* info = trailer.find("Info");
    x.infoRef = info && info->is(kindReference) ? ObjectRef{info->getRefNumber(), info->getRefGeneration()} : ObjectRef();
    trailer.setXRef(this);
}

bool CPdfXRef::holdsOwnHeader(int32_t number) {
    Impl& x = *impl_;
    if (number < 0 || static_cast<size_t>(number) >= x.entries.size()) return false;
    XRefEntry entry = x.entries[static_cast<size_t>(number)];
    if (entry.type == XRefEntryType::compressed) {
        // Its object stream cannot be read before decryption is set up: its own header must do.
        number = static_cast<int32_t>(entry.offset);
        if (static_cast<size_t>(number) >= x.entries.size()) return false;
        entry = x.entries[static_cast<size_t>(number)];
    }
    if (entry.type != XRefEntryType::inUse || uint64_t{x.start} + entry.offset > UINT32_MAX) return false;
    CPdfElement noDictionary;
    noDictionary.initNull();
    CPdfParser parser(this, x.stream->makeSubStream(x.start + entry.offset, 0, noDictionary));
    return readOwnHeader(parser, number, entry.generation);
}

bool CPdfXRef::readOwnHeader(CPdfParser& parser, int32_t number, uint32_t generation) {
    CPdfElement objectNumber;
    CPdfElement objectGeneration;
    CPdfElement keyword;
    parser.getObject(objectNumber);
    parser.getObject(objectGeneration);
    parser.getObject(keyword);
    return objectNumber.is(kindInteger) && objectNumber.getInteger() == number && objectGeneration.is(kindInteger) &&
           static_cast<uint32_t>(objectGeneration.getInteger()) == generation && keyword.isCommand("obj");
}

void CPdfXRef::rebuild() {
    Impl& x = *impl_;
    CPdfXRefScanner scanner(*x.stream);
    scanner.scan();
    x.entries.clear();
    x.positions.clear();
    x.recentLarge.clear();
    x.objectStreamCache.reset();
    x.objectTextCache.reset();
    x.decodedStreams.clear();
    x.repaired = true;
    for (const CPdfXRefScanner::Header& header : scanner.headers()) {
        if (header.position < x.start) continue;
        if (header.number >= x.entries.size()) {
            x.entries.resize(header.number + 1);
            x.positions.resize(header.number + 1);
        }
        // Later objects of a number replace earlier ones, as an update's would.
        x.entries[header.number] = XRefEntry{header.position - x.start, header.generation, XRefEntryType::inUse};
        x.positions[header.number] = header.position;
    }
    // Trailer dictionaries and cross-reference streams by position; the last catalog.
    std::vector<std::pair<uint32_t, CPdfElement>> trailers;
    for (const uint32_t position : scanner.trailers()) {
        CPdfElement noDictionary;
        noDictionary.initNull();
        CPdfParser parser(this, x.stream->makeSubStream(position, 0, noDictionary));
        CPdfElement trailer;
        try {
            parser.getObject(trailer);
        } catch (const CPdfException&) {
            continue;
        }
        if (trailer.is(kindDictionary)) trailers.emplace_back(position, std::move(trailer));
    }
    int32_t catalog = -1;
    forEachPlainObject(x.entries.size(), [&](uint32_t number, const CPdfElement& object) {
        CPdfDictionary* dictionary = object.is(kindDictionary) ? object.getDictionary()
                                     : object.is(kindStream)   ? object.getStream()->getDict()
                                                               : nullptr;
        if (!dictionary) return;
        if (dictionary->isType("Catalog")) catalog = static_cast<int32_t>(number);
        if (!object.is(kindStream) || !dictionary->isType("XRef")) return;
        CPdfElement found;
        found.initDictionary(dictionary);
        trailers.emplace_back(x.positions[number], std::move(found));
    });
    // The newest of each key: a section added by an update may repeat only some of them.
    std::stable_sort(trailers.begin(), trailers.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    CPdfElement merged;
    merged.initDictionary(this);
    for (const auto& trailer : trailers) {
        const CPdfDictionary& keys = *trailer.second.getDictionary();
        for (int32_t i = 0; i < keys.getLength(); ++i) {
            CPdfElement value;
            keys.getValue(i, value);
            merged.getDictionary()->add(keys.getKey(i).c_str(), value);
        }
    }
    // Encrypted object streams wait for their key (see setEncryption).
    if (x.encrypted || !merged.getDictionary()->find("Encrypt")) addCompressedEntries();
    const CPdfElement* root = merged.getDictionary()->find("Root");
    const bool rootFound = root && root->is(kindReference) && root->getRefNumber() >= 0 &&
                           static_cast<size_t>(root->getRefNumber()) < x.entries.size() &&
                           (x.entries[static_cast<size_t>(root->getRefNumber())].type == XRefEntryType::compressed ||
                            holdsOwnHeader(root->getRefNumber()));
    if (!rootFound && catalog >= 0) {
        // A Root that names nothing borrows the last catalog found.
        CPdfElement patched;
        patched.initDictionary(this);
        CPdfElement reference;
        reference.initReference(catalog, x.entries[static_cast<size_t>(catalog)].generation);
        patched.getDictionary()->add("Root", reference);
        for (int32_t i = 0; i < merged.getDictionary()->getLength(); ++i) {
            CPdfElement value;
            merged.getDictionary()->getValue(i, value);
            patched.getDictionary()->add(merged.getDictionary()->getKey(i).c_str(), value);
        }
        merged = std::move(patched);
    }
    takeTrailer(merged);
    x.ok = true;
}

void CPdfXRef::addCompressedEntries() {
    Impl& x = *impl_;
    forEachPlainObject(x.entries.size(), [&](uint32_t number, const CPdfElement& object) {
        if (!object.is(kindStream) || !object.getStream()->getDict()->isType("ObjStm")) return;
        std::shared_ptr<const CPdfObjectStreamData> data;
        try {
            data = x.decodedStreams.get(*this, number);
        } catch (const CPdfException&) {
            return;
        }
        const uint32_t streamPosition = x.positions[number];
        for (int32_t index = 0; index < data->getCount(); ++index) {
            const uint32_t stored = data->getObjectNumber(index);
            if (stored > CPdfXRefScanner::kMaxObjectNumber) continue;
            if (stored >= x.entries.size()) {
                x.entries.resize(stored + 1);
                x.positions.resize(stored + 1);
            }
            // A plain object written after the object stream is the newer one.
            if (x.entries[stored].type == XRefEntryType::inUse && x.positions[stored] > streamPosition) continue;
            x.entries[stored] = XRefEntry{number, static_cast<uint32_t>(index), XRefEntryType::compressed};
            x.positions[stored] = streamPosition;
        }
    });
}

void CPdfXRef::forEachPlainObject(size_t end, const std::function<void(uint32_t, const CPdfElement&)>& visit) {
    Impl& x = *impl_;
    for (size_t number = 0; number < end; ++number) {
        if (x.entries[number].type != XRefEntryType::inUse) continue;
        CPdfElement object;
        try {
            fetch(static_cast<int32_t>(number), x.entries[number].generation, object);
        } catch (const CPdfException&) {
            continue;  // a damaged object has nothing to tell
        }
        visit(static_cast<uint32_t>(number), object);
    }
    // What these reads parsed is not what the job will: nothing is kept, nothing is charged.
    x.recentLarge.clear();
    x.parsedBytes = 0;
}

bool CPdfXRef::isOk() const { return impl_->ok; }

bool CPdfXRef::wasRepaired() const { return impl_->repaired; }

NewestSection CPdfXRef::getNewestSection() const { return impl_->newest; }

void CPdfXRef::readRebuilding(const std::function<void()>& read) {
    try {
        read();
    } catch (const CPdfException& failure) {
        if (impl_->repaired) throw;
        try {
            rebuild();
            read();
        } catch (const CPdfException&) {
            throw failure;
        }
    }
}

const std::vector<XRefEntry>& CPdfXRef::getEntries() const { return impl_->entries; }

ObjectRef CPdfXRef::getRootRef() const { return impl_->rootRef; }

ObjectRef CPdfXRef::getInfoRef() const { return impl_->infoRef; }

const CPdfElement& CPdfXRef::getTrailer() const { return impl_->trailer; }

uint32_t CPdfXRef::getStart() const { return impl_->start; }

void CPdfXRef::fetch(int32_t number, uint32_t generation, CPdfElement& out) {
    const std::vector<XRefEntry>& entries = impl_->entries;
    if (number < 0 || static_cast<size_t>(number) >= entries.size()) throw CPdfException("Corrupted PDF file");
    const XRefEntry entry = entries[static_cast<size_t>(number)];
    const bool inUse = entry.type == XRefEntryType::inUse && entry.generation == generation;
    const bool compressed = entry.type == XRefEntryType::compressed && generation == 0;
    if (!inUse && !compressed) {
        out.initNull();
        return;
    }
    const FetchScope scope(impl_->fetching, number);
    if (scope.isCycle()) {
        out.initNull();
        return;
    }
    if (impl_->recentLarge.find(number, generation, out)) return;
    if (inUse) {
        fetchInUse(number, generation, entry, out);
    } else {
        fetchCompressed(number, entry, out);
    }
}

void CPdfXRef::fetchInUse(int32_t number, uint32_t generation, const XRefEntry& entry, CPdfElement& out) {
    Impl& x = *impl_;
    const uint64_t at = uint64_t{x.start} + entry.offset;
    if (at > UINT32_MAX) {
        out.initNull();
        return;
    }
    CPdfElement noDictionary;
    noDictionary.initNull();
    CPdfStream* objectBytes = x.stream->makeSubStream(static_cast<uint32_t>(at), 0, noDictionary);
    CPdfParser parser(this, objectBytes);
    if (!readOwnHeader(parser, number, generation)) {
        out.initNull();
        return;
    }
    // A parse that fails costs what it read too: damaged objects can run on over the whole file.
    const auto charge = [&]() {
        const uint64_t parsed = objectBytes->getPos() > at ? objectBytes->getPos() - at : 0;
        chargeParse(kFetchCost + (parsed > kFirstBlockBytes ? parsed - kFirstBlockBytes : 0));
        return parsed;
    };
    try {
        parser.getObject(out, x.encrypted ? &x.fileKey : nullptr, number, static_cast<int>(generation),
                         x.encryptMetadata);
    } catch (const CPdfException&) {
        charge();
        throw;
    }
    const uint64_t parsed = charge();
    if (parsed > kFirstBlockBytes) x.recentLarge.remember(number, generation, out);
}

void CPdfXRef::fetchCompressed(int32_t number, const XRefEntry& entry, CPdfElement& out) {
    Impl& x = *impl_;
    // A local owner keeps the object stream alive while nested fetches may replace the cache.
    std::shared_ptr<CPdfObjectStream> objectStream = x.objectStreamCache;
    if (!objectStream || objectStream->getNumber() != entry.offset) {
        objectStream = std::make_shared<CPdfObjectStream>(x.decodedStreams.get(*this, entry.offset), this);
        x.objectStreamCache = objectStream;
    }
    const uint64_t parsedBefore = objectStream->getParsedBytes();
    try {
        objectStream->getStoredObject(static_cast<int32_t>(entry.generation), number, out);
    } catch (const CPdfException&) {
        chargeParse(objectStream->getParsedBytes() - parsedBefore);
        throw;
    }
    const uint64_t parsed = objectStream->getParsedBytes() - parsedBefore;
    chargeParse(parsed);
    if (parsed > kFirstBlockBytes) x.recentLarge.remember(number, 0, out);
}

void CPdfXRef::chargeParse(uint64_t bytes) {
    Impl& x = *impl_;
    x.parsedBytes += bytes;
    if (x.parsedBytes > x.parseBudget) throw CPdfException("PDF file refers to its objects too often to be read");
}

const char* CPdfXRef::getCompressedObjectText(int32_t number, uint32_t generation, uint32_t& length) {
    Impl& x = *impl_;
    if (number < 0 || static_cast<size_t>(number) >= x.entries.size()) throw CPdfException("Corrupted PDF file");
    const XRefEntry entry = x.entries[static_cast<size_t>(number)];
    if (generation != 0 || entry.type != XRefEntryType::compressed) return nullptr;
    if (!x.objectTextCache || x.objectTextCache->getNumber() != entry.offset) {
        x.objectTextCache = x.decodedStreams.get(*this, entry.offset);
    }
    uint32_t begin = 0;
    uint32_t end = 0;
    if (!x.objectTextCache->findObject(static_cast<int32_t>(entry.generation), number, begin, end)) return nullptr;
    length = end - begin;
    return reinterpret_cast<const char*>(x.objectTextCache->getData()) + begin;
}

void CPdfXRef::setEncryption(uint32_t, bool, const uint8_t* key, int keyLength, int, CipherKind cipher) {
    Impl& x = *impl_;
    x.encrypted = true;
    x.fileKey = FileKey(key, keyLength > 0 ? static_cast<size_t>(keyLength) : 0, cipher);
    // A rebuilt table could not read the object streams before their key was known.
    if (x.repaired) addCompressedEntries();
}

void CPdfXRef::setEncryptMetadata(bool encryptMetadata) { impl_->encryptMetadata = encryptMetadata; }

bool CPdfXRef::isEncrypted() const { return impl_->encrypted; }

const FileKey& CPdfXRef::getFileKey() const { return impl_->fileKey; }
