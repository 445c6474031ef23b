#pragma once

#include <cstddef>
#include <cstdint>

class CPdfArray;
class CPdfDictionary;
class CPdfString;
class CPdfStream;
class CPdfResolver;

enum ElementKind : int32_t {
    kindBool,
    kindInteger,
    kindReal,
    kindString,
    kindHexString,
    kindName,
    kindNull,
    kindArray,
    kindDictionary,
    kindStream,
    kindReference,
    kindCommand,
    kindError,
    kindEof,
    kindNone
};

// One PDF value: a kind and an 8-byte payload. Texts and hex strings are owned and copied;
// arrays, dictionaries and streams are shared by counted reference.
// Setters and out-parameters expect a kindNone element.
class CPdfElement {
public:
    CPdfElement();
    CPdfElement(const CPdfElement& source);
    CPdfElement(CPdfElement&& source) noexcept;
    CPdfElement& operator=(const CPdfElement& source);
    CPdfElement& operator=(CPdfElement&& source) noexcept;
    virtual ~CPdfElement();

    ElementKind getKind() const { return kind_; }
    bool is(ElementKind kind) const { return kind_ == kind; }
    bool isNumber() const { return kind_ == kindInteger || kind_ == kindReal; }
    bool isCommand(const char* text) const;

    bool getBool() const { return payload_.boolean != 0; }
    int32_t getInteger() const { return payload_.integer; }
    double getReal() const { return payload_.real; }
    // The value of a kindInteger or kindReal as a double.
    double getNumber() const { return kind_ == kindInteger ? payload_.integer : payload_.real; }
    const char* getString() const { return payload_.text; }
    // Every byte of a kindString, zero bytes included (getString() ends at the first of them).
    size_t getStringLength() const;
    const char* getName() const { return payload_.text; }
    const char* getCommand() const { return payload_.text; }
    CPdfString* getHexString() const { return payload_.hexString; }
    CPdfArray* getArray() const { return payload_.array; }
    CPdfDictionary* getDictionary() const { return payload_.dictionary; }
    CPdfStream* getStream() const { return payload_.stream; }
    int32_t getRefNumber() const { return payload_.reference.number; }
    uint32_t getRefGeneration() const { return payload_.reference.generation; }

    void initBool(bool value);
    void initInteger(int32_t value);
    void initReal(double value);
    void initNull();
    void initError();
    void initEof();
    void initReference(int32_t objectNumber, uint32_t generation);
    void initString(const char* text);
    void initString(const char* bytes, size_t length);
    void initName(const char* text);
    // A name of `length` bytes that hold no zero byte.
    void initName(const char* bytes, size_t length);
    void initCommand(const char* text);
    void initHexString(const CPdfString& string);
    void initArray(CPdfResolver* xref);
    void initDictionary(CPdfResolver* xref);
    void initDictionary(CPdfDictionary* dictionary);
    void initStream(CPdfStream* stream);

    void free();
    void copyFrom(const CPdfElement& source);

    // Resolves a reference through `xref`; any other element (or no xref) is copied.
    void fetch(CPdfResolver* xref, CPdfElement& out) const;

private:
    void initText(ElementKind kind, const char* text);

    union Payload {
        uint8_t boolean;
        int32_t integer;
        double real;
        char* text;
        CPdfString* hexString;
        CPdfArray* array;
        CPdfDictionary* dictionary;
        CPdfStream* stream;
        struct {
            int32_t number;
            uint32_t generation;
        } reference;
    };

    ElementKind kind_;
    Payload payload_;
};
