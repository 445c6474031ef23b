#include "pdf/stream/PdfFlateStream.h"

#include "pdf/stream/StreamPredictor.h"

namespace {
constexpr int kNoPredictor = 1;
}

CPdfFlateStream::CPdfFlateStream(CPdfStream* source, int predictor, int columns, int colors, int bitsPerComponent)
    : CPdfFilterStream(source), inflater_(*source) {
    if (predictor != kNoPredictor)
        predictor_ = std::make_unique<StreamPredictor>(inflater_, predictor, columns, colors, bitsPerComponent);
    reset();
}

CPdfFlateStream::~CPdfFlateStream() = default;

void CPdfFlateStream::reset() {
    inflater_.restart();
    // Rows restart with the data, so a second pass gives the same bytes as the first.
    if (predictor_) predictor_->restart();
}

int CPdfFlateStream::getChar() { return predictor_ ? predictor_->getChar() : inflater_.getByte(); }

int CPdfFlateStream::getRawChar() { return inflater_.getByte(); }

int CPdfFlateStream::peekChar() { return predictor_ ? predictor_->peekChar() : inflater_.peekByte(); }

size_t CPdfFlateStream::read(uint8_t* destination, size_t count) {
    return predictor_ ? predictor_->read(destination, count) : inflater_.read(destination, count);
}
