#pragma once

#include <string>

class CPdfElement;

// True for a literal or hex string, with its bytes in `bytes` (a hex string decoded);
// false, with `bytes` empty, for every other kind.
bool getStringBytes(const CPdfElement& element, std::string& bytes);
