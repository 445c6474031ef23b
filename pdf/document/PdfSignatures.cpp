#include "pdf/document/PdfSignatures.h"

#include <set>
#include <vector>

#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfException.h"
#include "pdf/xref/PdfXRef.h"

namespace {

// Field trees are shallow; these bound a damaged or hostile one.
constexpr size_t kMaxDepth = 32;
constexpr size_t kMaxFields = 100000;

bool isSignatureWithValue(const CPdfDictionary& field) {
    CPdfElement type;
    field.lookup("FT", type);
    if (!type.is(kindName) || std::string(type.getName()) != "Sig") return false;
    const CPdfElement* value = field.find("V");
    return value && !value->is(kindNull);
}

bool anySigned(const CPdfElement& fields) {
    struct Pending {
        CPdfElement array;
        size_t depth;
    };
    std::vector<Pending> pending;
    pending.push_back(Pending{fields, 0});
    std::set<int32_t> seen;
    size_t visited = 0;
    while (!pending.empty()) {
        const Pending top = std::move(pending.back());
        pending.pop_back();
        if (!top.array.is(kindArray)) continue;
        const CPdfArray& array = *top.array.getArray();
        for (int32_t i = 0; i < array.getLength(); ++i) {
            const CPdfElement& stored = array.at(i);
            if (stored.is(kindReference) && !seen.insert(stored.getRefNumber()).second) continue;
            if (++visited > kMaxFields) return false;
            CPdfElement field;
            array.get(i, field);
            if (!field.is(kindDictionary)) continue;
            if (isSignatureWithValue(*field.getDictionary())) return true;
            CPdfElement kids;
            field.getDictionary()->lookup("Kids", kids);
            if (top.depth + 1 < kMaxDepth) pending.push_back(Pending{std::move(kids), top.depth + 1});
        }
    }
    return false;
}

}  // namespace

bool documentIsSigned(CPdfXRef& xref) {
    try {
        const ObjectRef rootRef = xref.getRootRef();
        CPdfElement catalog;
        xref.fetch(rootRef.number, rootRef.generation, catalog);
        if (!catalog.is(kindDictionary)) return false;
        CPdfElement perms;
        catalog.getDictionary()->lookup("Perms", perms);
        if (perms.is(kindDictionary) && perms.getDictionary()->find("DocMDP")) return true;
        CPdfElement form;
        catalog.getDictionary()->lookup("AcroForm", form);
        if (!form.is(kindDictionary)) return false;
        CPdfElement fields;
        form.getDictionary()->lookup("Fields", fields);
        return anySigned(fields);
    } catch (const CPdfException&) {
        return false;
    }
}
