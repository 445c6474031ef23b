#pragma once

// Reads a text the way sscanf reads it with a format made of literal text and "%lf"
// conversions: literal text must match exactly, a number may be preceded by white space and
// is taken as the longest decimal number at that place; whatever follows is left unread.
class CScanfReader {
public:
    explicit CScanfReader(const char* text) : position_(text) {}

    // Moves past `word` and returns true when the text continues with it; otherwise false.
    bool literal(const char* word);

    // Reads a decimal floating-point number (sign, fraction and exponent allowed). Returns false,
    // reading nothing, when there is none or when it does not fit in a finite double.
    bool number(double& value);

private:
    const char* position_;
};
