#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Standard input, read whole into a new file in the system's temporary folder ($TMPDIR), for a
// reader that must move around in it. The file goes with the object, and with a signal that ends
// the program while it exists (it is tracked for the signal handler).
class StandardInput {
public:
    enum class Outcome { copied, tooLarge, failed };

    // Copies standard input up to its end, or up to `limit` + 1 bytes, which is `tooLarge`: the rest
    // stays unread. Null unless `copied`.
    static std::unique_ptr<StandardInput> copy(uint64_t limit, Outcome& outcome);

    ~StandardInput();
    StandardInput(const StandardInput&) = delete;
    StandardInput& operator=(const StandardInput&) = delete;

    const std::string& fileName() const { return name_; }

private:
    explicit StandardInput(std::string name) : name_(std::move(name)) {}

    std::string name_;
};
