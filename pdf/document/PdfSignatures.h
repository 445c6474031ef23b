#pragma once

class CPdfXRef;

// Whether the document carries a signature: a field of the AcroForm field tree with /FT /Sig and a
// value, or the catalog's /Perms with /DocMDP. A damaged form counts as unsigned.
bool documentIsSigned(CPdfXRef& xref);
