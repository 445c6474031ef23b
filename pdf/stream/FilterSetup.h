#pragma once

#include "pdf/objects/PdfElement.h"

class CPdfStream;

class CPdfArray;
class CPdfDictionary;

// The stream a stream object holds: `raw` itself when there is no filter, else the chain of
// decoders of its Filter array (or name), first filter innermost. Flate, ASCIIHex, ASCII85 and
// RunLength decode; any other filter gives a stream whose reading throws "Stream filter not
// supported". Null when the Filter entry is no name or a Filter array holds something that names
// no filter. Takes over the caller's reference to `raw` in every case, also when it returns null
// or throws (a bad zlib header).
CPdfStream* makeFilterStream(CPdfStream* raw, const CPdfElement& streamDictionary);

CPdfStream* makeFilter(const char* name, CPdfStream* raw, const CPdfElement& parms);

// The decoders for the filters `names` from index `first` on, over `raw`, with the matching
// elements of the parameter array `parms`; as makeFilterStream.
CPdfStream* makeFilterChain(CPdfStream* raw, const CPdfArray& names, const CPdfElement& parms, int32_t first);

// `key` resolved, or its abbreviation when the full key is absent (Filter/F, DecodeParms/DP).
CPdfElement lookupEither(const CPdfDictionary& dictionary, const char* key, const char* abbreviation);
