#pragma once

#include <cstddef>
#include <string>

// One object's text while the engine edits it.
class ObjectText {
public:
    ObjectText() = default;
    explicit ObjectText(std::string bytes) : bytes_(std::move(bytes)) {}

    const std::string& bytes() const { return bytes_; }
    size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }

    // Position of the first occurrence of `text` at or after `from`, or size() when there is none.
    size_t findText(const std::string& text, size_t from = 0) const;
    void insertText(size_t position, const std::string& text);
    // Replaces the bytes from `first` up to (not including) `last` by `text`.
    void replaceText(size_t first, size_t last, const std::string& text);

private:
    std::string bytes_;
};
