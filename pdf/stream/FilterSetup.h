#pragma once

#include "pdf/objects/PdfElement.h"

class CPdfStream;

// The stream a stream object holds: `raw` itself when there is no filter, a decoder owning `raw`
// for Flate, or null when the filters cannot be decoded. Takes over the caller's reference to
// `raw` in every case, also when it returns null or throws ("Stream filter not supported" for a
// named filter other than Flate, or a bad zlib header).
CPdfStream* makeFilterStream(CPdfStream* raw, const CPdfElement& streamDictionary);

CPdfStream* makeFilter(const char* name, CPdfStream* raw, const CPdfElement& parms);

class CPdfDictionary;

// `key` resolved, or its abbreviation when the full key is absent (Filter/F, DecodeParms/DP).
CPdfElement lookupEither(const CPdfDictionary& dictionary, const char* key, const char* abbreviation);
