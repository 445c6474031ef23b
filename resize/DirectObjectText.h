#pragma once

#include <string>

class CPdfElement;

constexpr int kMaxDirectObjectDepth = 64;

// The PDF text of a direct value as the object model holds it (a direct Encrypt dictionary of a
// trailer, say): strings as hex strings of their bytes, names with #xx escapes where needed,
// references as "n g R". Nesting deeper than kMaxDepth, and streams, which are never direct,
// are written as null.
std::string directObjectText(const CPdfElement& value);
