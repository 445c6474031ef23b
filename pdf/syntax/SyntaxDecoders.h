#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The values of tokens (ISO 32000-1, 7.3): each decoder appends to `out`.

// A name's bytes after its "/": "#" and a hex digit take the byte after them as the second digit
// whatever it is (a digit or not, low bits 0 then); a "#" before anything else stays "#". A
// name ends at a zero byte.
void appendName(std::string_view body, std::string& out);
std::string decodeName(std::string_view body);

// A literal string's bytes between its outer parentheses: every escape, and an end of line (CR,
// LF or CR LF) without a backslash read as one line feed.
void appendLiteralString(std::string_view body, std::string& out);
std::string decodeLiteralString(std::string_view body);

// A hex string's bytes between "<" and ">": bytes that are no hex digit (white space) are
// skipped, an odd last digit is completed with 0.
void appendHexString(std::string_view body, std::string& out);
std::string decodeHexString(std::string_view body);

// A number token without a point ("-" and digits), saturated far beyond 32 bits so that callers
// clamp or refuse it as they need.
int64_t integerValue(std::string_view token);
