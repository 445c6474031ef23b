#include "tests/parser/ParserFixture.h"

#include "pdf/stream/PdfStream.h"

std::string readAll(CPdfStream* stream) {
    std::string bytes;
    for (int c; (c = stream->getChar()) != CPdfStream::kEnd;) bytes.push_back(static_cast<char>(c));
    return bytes;
}
