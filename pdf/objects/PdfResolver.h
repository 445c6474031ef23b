#pragma once

#include <cstdint>

class CPdfElement;

// What arrays and dictionaries resolve indirect references through; the
// cross-reference table of the document implements it.
class CPdfResolver {
public:
    virtual ~CPdfResolver() = default;

    // Fills `out` (which must be kindNone) with object `number`, or kindNull when there is none.
    virtual void fetch(int32_t number, uint32_t generation, CPdfElement& out) = 0;
};
