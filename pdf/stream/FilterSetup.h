#pragma once

#include "pdf/objects/PdfElement.h"

class CPdfStream;

// The stream a stream object holds: `raw` itself when there is no filter, a decoder owning `raw`
// for Flate, ASCIIHex, ASCII85 and RunLength, or null when the filters cannot be decoded (a chain
// of several). Takes over the caller's reference to `raw` in every case, also when it returns null
// or throws ("Stream filter not supported" for another named filter, or a bad zlib header).
CPdfStream* makeFilterStream(CPdfStream* raw, const CPdfElement& streamDictionary);

CPdfStream* makeFilter(const char* name, CPdfStream* raw, const CPdfElement& parms);

class CPdfDictionary;

// `key` resolved, or its abbreviation when the full key is absent (Filter/F, DecodeParms/DP).
CPdfElement lookupEither(const CPdfDictionary& dictionary, const char* key, const char* abbreviation);
