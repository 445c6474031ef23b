#include "resize/ObjectText.h"

#include <algorithm>

size_t ObjectText::findText(const std::string& text, size_t from) const {
    if (from > bytes_.size()) return bytes_.size();
    const size_t found = bytes_.find(text, from);
    return found == std::string::npos ? bytes_.size() : found;
}

void ObjectText::insertText(size_t position, const std::string& text) {
    bytes_.insert(std::min(position, bytes_.size()), text);
}

void ObjectText::replaceText(size_t first, size_t last, const std::string& text) {
    first = std::min(first, bytes_.size());
    last = std::min(std::max(first, last), bytes_.size());
    bytes_.replace(first, last - first, text);
}
