#pragma once
// Helpers of the command-line tests: argument lists as the program receives them, and the
// standard output of a piece of code.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "pdf/objects/PdfException.h"

// Argument 0 is the program's name, as in main; the texts live as long as the list.
class ArgumentList {
public:
    ArgumentList(std::initializer_list<std::string> arguments)
        : ArgumentList(std::vector<std::string>(arguments)) {}
    explicit ArgumentList(const std::vector<std::string>& arguments) : texts_{"quillmor"} {
        texts_.insert(texts_.end(), arguments.begin(), arguments.end());
        for (const std::string& text : texts_) {
            pointers_.push_back(text.c_str());
        }
    }
    ArgumentList(const ArgumentList&) = delete;
    ArgumentList& operator=(const ArgumentList&) = delete;

    int count() const { return static_cast<int>(pointers_.size()); }
    const char* const* data() const { return pointers_.data(); }
    const char* at(int index) const { return pointers_[static_cast<std::size_t>(index)]; }

private:
    std::vector<std::string> texts_;
    std::vector<const char*> pointers_;
};

// Runs `action` and returns what it printed; an exception still ends the capture and passes on.
template <typename Action>
std::string capturedOutput(Action action) {
    testing::internal::CaptureStdout();
    try {
        action();
    } catch (...) {
        testing::internal::GetCapturedStdout();
        throw;
    }
    return testing::internal::GetCapturedStdout();
}

// The message of the CPdfException that `action` throws, or a note that it threw none.
template <typename Action>
std::string thrownMessage(Action action) {
    try {
        action();
    } catch (const CPdfException& error) {
        return error.getMessage();
    }
    return "(no exception)";
}
