#pragma once

#include <string>

// The one error type of the program: a fixed text, printed once by the program entry.
class CPdfException {
public:
    explicit CPdfException(const char* message);
    explicit CPdfException(std::string message);
    CPdfException(const CPdfException&) = default;
    CPdfException& operator=(const CPdfException&) = default;
    virtual ~CPdfException();

    virtual const char* getMessage() const;

private:
    std::string message_;
};
