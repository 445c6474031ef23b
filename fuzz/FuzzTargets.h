#pragma once

#include <cstddef>
#include <cstdint>

// Entry points shared by the libFuzzer targets and the regression replay in the test run.
// Each one must return normally for any input: CPdfException is the only accepted failure.
void fuzzParser(const uint8_t* data, size_t size);
void fuzzFlate(const uint8_t* data, size_t size);
void fuzzDocument(const uint8_t* data, size_t size);
void fuzzResize(const uint8_t* data, size_t size);
// A job under one of several option sets (update, page selection, offsets, size only, fitting as
// seen, no enlarging, keeping the page size).
void fuzzJobs(const uint8_t* data, size_t size);
void fuzzAes256(const uint8_t* data, size_t size);
void fuzzRepair(const uint8_t* data, size_t size);
