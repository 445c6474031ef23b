#pragma once
// Parses PDF held in memory, describes what comes out as short text; a resolver of objects given as text.
#include <map>
#include <sstream>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/objects/PdfResolver.h"
#include "pdf/objects/PdfString.h"
#include "pdf/parser/PdfParser.h"
#include "pdf/stream/PdfMemoryStream.h"

struct ParsedText {
    explicit ParsedText(std::string input, CPdfResolver* xref = nullptr)
        : text(std::move(input)),
          parser(xref, new CPdfMemoryStream(reinterpret_cast<const uint8_t*>(text.data()), 0, uint32_t(text.size()))) {}
    CPdfElement next() { CPdfElement element; return parser.getObject(element), element; }
    const std::string text;
    CPdfParser parser;
};

// Objects by number, parsed from their text when fetched; other numbers are null, and "!" fails.
struct TextResolver : CPdfResolver {
    explicit TextResolver(std::map<int32_t, std::string> objects) : texts(std::move(objects)) {}
    void fetch(int32_t number, uint32_t, CPdfElement& out) override {
        const auto found = texts.find(number);
        if (found != texts.end() && found->second == "!") throw CPdfException("broken object");
        found == texts.end() ? out.initNull() : ParsedText(found->second).parser.getObject(out);
    }
    std::map<int32_t, std::string> texts;
};

// 7, real(1.5), true, null, error, cmd(R), /Name, (bytes), <hex digits>, ref(12,0), [items], <</Key value>>, stream(data).
inline std::string describe(const CPdfElement& e) {
    std::ostringstream out;
    const CPdfArray* a = e.is(kindArray) ? e.getArray() : nullptr;
    const auto* d = e.is(kindStream) ? e.getStream()->getDict() : e.is(kindDictionary) ? e.getDictionary() : nullptr;
    switch (e.getKind()) {
        case kindInteger: out << e.getInteger(); break;
        case kindReal: out << "real(" << e.getReal() << ")"; break;
        case kindBool: out << (e.getBool() ? "true" : "false"); break;
        case kindNull: return "null";
        case kindError: return "error";
        case kindCommand: out << "cmd(" << e.getCommand() << ")"; break;
        case kindName: out << "/" << e.getName(); break;
        case kindString: out << "(" << std::string(e.getString(), e.getStringLength()) << ")"; break;
        case kindHexString:
            out << "<" << std::string(e.getHexString()->getBytes(), size_t(e.getHexString()->getLength())) << ">";
            break;
        case kindReference: out << "ref(" << e.getRefNumber() << "," << e.getRefGeneration() << ")"; break;
        case kindArray:
            for (int32_t i = 0; i < a->getLength(); ++i) out << (i ? " " : "[") << describe(a->at(i));
            out << (a->getLength() ? "]" : "[]");
            break;
        default: break;
    }
    for (int32_t i = 0; d && i < d->getLength(); ++i)
        out << (i ? " /" : "<</") << d->getKey(i) << " " << describe(*d->find(d->getKey(i).c_str()));
    out << (!d ? "" : d->getLength() ? ">>" : "<<>>") << (d && e.is(kindStream) ? " " : "");
    if (!e.is(kindStream)) return out.str();
    out << "stream(";
    for (int c; (c = e.getStream()->getChar()) != CPdfStream::kEnd;) out << static_cast<char>(c);
    return out.str() + ")";
}

// The objects of `text` described one after the other, up to the end or to an exception: "!" and its message.
inline std::string parsed(const std::string& text, CPdfResolver* xref = nullptr) {
    ParsedText in(text, xref);
    std::string out;
    try {
        for (CPdfElement e = in.next(); !e.is(kindEof); e = in.next()) out += (out.empty() ? "" : " ") + describe(e);
    } catch (const CPdfException& error) {
        return out + (out.empty() ? "!" : " !") + error.getMessage();
    }
    return in.next().is(kindEof) ? out : out + " (no end after the end)";
}

inline std::string streamText(const std::string& entries, const std::string& data) {
    return "<< /Length " + std::to_string(data.size()) + " " + entries + " >>\nstream\n" + data + "\nendstream";
}
