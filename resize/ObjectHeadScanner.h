#pragma once

#include <cstddef>
#include <cstdint>

// What the first bytes of an indirect object tell about its extent: whether it is a stream,
// where the stream's data begins, and the /Length and /Type of its own dictionary.
struct ObjectHead {
    enum class Status {
        needMore,  // the bytes ended before the head could be judged
        plain,     // no stream (or a head too damaged to tell)
        stream     // "n g obj << ... >> stream" followed by its line end
    };
    enum class LengthKind { none, direct, reference };

    Status status = Status::plain;
    bool hasHeader = false;  // the bytes begin with "n g obj"
    uint64_t number = 0;
    uint64_t generation = 0;
    size_t dataOffset = 0;  // stream: the first data byte, counted from the object's first byte
    LengthKind lengthKind = LengthKind::none;
    uint64_t length = 0;    // direct: the value
    uint32_t lengthNumber = 0;      // reference: object number
    uint32_t lengthGeneration = 0;  // reference: generation
    bool isObjectStream = false;    // the dictionary's own /Type is /ObjStm
};

// Scans `size` bytes that start at an object's header ("n g obj"). When `complete` is false
// more bytes exist after them, and running out of bytes yields Status::needMore; when it is
// true the bytes end where the file ends.
ObjectHead scanObjectHead(const char* data, size_t size, bool complete);
