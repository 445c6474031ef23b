#include "pdf/parser/PdfParser.h"

#include <string>
#include <utility>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/parser/PdfEmptyStream.h"
#include "pdf/parser/PdfLexer.h"
#include "pdf/parser/StreamDecryption.h"
#include "pdf/security/PdfDecryptStream.h"
#include "pdf/stream/PdfMemoryStream.h"
#include "pdf/stream/PdfStream.h"

namespace {

// What an empty string decrypts from: a memory stream needs some address to point at.
const uint8_t kNoData = 0;

std::string decryptString(const std::string& bytes, const ObjectDecryption& key) {
    const uint8_t* data = bytes.empty() ? &kNoData : reinterpret_cast<const uint8_t*>(bytes.data());
    auto* memory = new CPdfMemoryStream(data, 0, static_cast<uint32_t>(bytes.size()));
    // The decrypting stream owns the memory stream from here on, also if its constructor throws.
    CPdfStreamRef decrypt(
        new CPdfDecryptStream(memory, *key.fileKey, key.objectNumber, key.generation));
    decrypt->reset();
    std::string plain;
    uint8_t block[256];
    for (size_t got; (got = decrypt->read(block, sizeof block)) != 0;) plain.append(reinterpret_cast<char*>(block), got);
    return plain;
}

}  // namespace

struct CPdfParser::Impl {
    Impl(CPdfResolver* resolver, CPdfStream* stream) : xref(resolver), lexer(stream) {
        lexer.readToken(curToken, curLiteral);
        lexer.readToken(nextToken, nextLiteral);
    }

    void shift() {
        curToken = std::move(nextToken);
        // Most tokens are no literal strings: two empty texts need no swap.
        if (!curLiteral.empty() || !nextLiteral.empty()) curLiteral.swap(nextLiteral);
        lexer.readToken(nextToken, nextLiteral);
    }

    void parse(CPdfElement& out, const ObjectDecryption* key, int depth);
    void parseArray(CPdfElement& out, int depth);
    // `key` decrypts the data of a stream object that the dictionary begins.
    void parseDictionary(CPdfElement& out, const ObjectDecryption* key, int depth);
    CPdfStream* makeStream(const CPdfElement& dictionary, const ObjectDecryption* key);

    CPdfResolver* xref;
    CPdfLexer lexer;
    CPdfElement curToken;
    CPdfElement nextToken;
    // Every byte of a literal-string token, zero bytes included, for decryption.
    std::string curLiteral;
    std::string nextLiteral;
};

CPdfParser::CPdfParser(CPdfResolver* xref, CPdfStream* stream) : impl_(std::make_unique<Impl>(xref, stream)) {}

CPdfParser::~CPdfParser() = default;

void CPdfParser::getObject(CPdfElement& out, const FileKey* fileKey, int objectNumber, int generation,
                           bool encryptMetadata) {
    ObjectDecryption key;
    key.fileKey = fileKey;
    key.objectNumber = objectNumber;
    key.generation = generation;
    key.encryptMetadata = encryptMetadata;
    impl_->parse(out, fileKey ? &key : nullptr, 0);
}

void CPdfParser::Impl::parse(CPdfElement& out, const ObjectDecryption* key, int depth) {
    if (curToken.isCommand("[")) {
        parseArray(out, depth);
        return;
    }
    if (curToken.isCommand("<<")) {
        parseDictionary(out, key, depth);
        return;
    }
    if (curToken.is(kindInteger)) {
        const int32_t number = curToken.getInteger();
        shift();
        if (curToken.is(kindInteger) && nextToken.isCommand("R")) {
            out.initReference(number, static_cast<uint32_t>(curToken.getInteger()));
            shift();
            shift();
        } else {
            out.initInteger(number);
        }
        return;
    }
    if (curToken.is(kindString) && key) {
        const std::string plain = decryptString(curLiteral, *key);
        out.initString(plain.data(), plain.size());
        shift();
        return;
    }
    out = std::move(curToken);
    shift();
}

void CPdfParser::Impl::parseArray(CPdfElement& out, int depth) {
    if (depth >= kMaxNesting) throw CPdfException("Arrays and dictionaries nested too deeply");
    shift();
    out.initArray(xref);
    CPdfArray& array = *out.getArray();
    // The end of the input closes the array: nothing more can come.
    while (!curToken.isCommand("]") && !curToken.is(kindEof)) {
        CPdfElement element;
        parse(element, nullptr, depth + 1);
        array.add(std::move(element));
    }
    if (curToken.isCommand("]")) shift();
}

void CPdfParser::Impl::parseDictionary(CPdfElement& out, const ObjectDecryption* key, int depth) {
    if (depth >= kMaxNesting) throw CPdfException("Arrays and dictionaries nested too deeply");
    shift();
    out.initDictionary(xref);
    CPdfDictionary& dictionary = *out.getDictionary();
    while (!curToken.isCommand(">>")) {
        if (curToken.is(kindEof)) return;
        if (!curToken.is(kindName)) {
            shift();
            continue;
        }
        const CPdfElement key = std::move(curToken);
        shift();
        if (curToken.is(kindError) || curToken.is(kindEof)) continue;
        CPdfElement value;
        parse(value, nullptr, depth + 1);
        dictionary.add(key.getName(), std::move(value));
    }
    if (!nextToken.isCommand("stream")) {
        shift();
        return;
    }
    CPdfStream* stream = makeStream(out, key);
    out.free();
    if (!stream) {
        out.initError();
        return;
    }
    out.initStream(stream);
    stream->decRef();
}

CPdfStream* CPdfParser::Impl::makeStream(const CPdfElement& dictionary, const ObjectDecryption* key) {
    lexer.skipToNextLine();
    const uint32_t start = lexer.position();
    CPdfElement length;
    dictionary.getDictionary()->lookup("Length", length);
    if (!length.is(kindInteger)) return nullptr;
    const uint32_t size = static_cast<uint32_t>(length.getInteger());

    CPdfStream* raw = size == 0 ? new CPdfEmptyStream(dictionary)
                                : lexer.currentStream()->makeSubStream(start, size, dictionary);
    // Streams that cannot cut windows (decoded data) cannot hold stream objects.
    if (!raw) return nullptr;
    CPdfStreamRef stream(makeStreamDecoder(raw, dictionary, key));
    lexer.setPosition(start + size);
    shift();
    shift();
    if (!curToken.isCommand("endstream")) throw CPdfException("Missing 'endstream'");
    shift();
    return stream.release();
}
