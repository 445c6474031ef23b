#pragma once

#include <vector>

#include "pdf/xref/PdfXRef.h"
#include "resize/PageRecord.h"

class OutputWriter;
class RawObjectReader;

// Copies the bytes of every input object to the output in ascending object number and records
// their offsets. Free entries, unreadable objects and object streams are left out (the members
// of an object stream are copied one by one in their rebuilt form); the page objects of the
// selected pages get their row but no bytes, since their rewrite comes later.
// Gives the objects that a selected page names as its /Contents and whose head begins a stream:
// the copy has their heads at hand, so that the page rewrite need not read them again (it only
// asks what kind of object they are).
std::vector<bool> copyObjects(RawObjectReader& reader, OutputWriter& output,
                              const std::vector<XRefEntry>& entries, const std::vector<PageRecord>& records);
