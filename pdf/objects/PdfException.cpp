#include "pdf/objects/PdfException.h"

#include <utility>

CPdfException::CPdfException(const char* message) : message_(message ? message : "") {}

CPdfException::CPdfException(std::string message) : message_(std::move(message)) {}

CPdfException::~CPdfException() = default;

const char* CPdfException::getMessage() const { return message_.c_str(); }
