#pragma once

#include <functional>
#include <string>
#include <string_view>

// Replaces every string of an object's raw text, literal "(...)" or hex "<...>", by the text
// that `replace` makes of the string's value (as the parser reads it); everything else, comments
// and dictionary delimiters "<<" ">>" included, passes byte for byte. A string that is not
// closed before the end of the text stays as it is.
std::string rewriteStrings(std::string_view text, const std::function<std::string(const std::string&)>& replace);

// The bytes as a hex string, "<" and ">" included.
std::string hexStringText(const std::string& bytes);
