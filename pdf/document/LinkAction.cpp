#include "pdf/document/LinkAction.h"

#include <cctype>
#include <cstring>

#include "pdf/document/ElementText.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/objects/PdfElement.h"

namespace {

std::string stringOrEmpty(const CPdfElement& element) {
    std::string bytes;
    getStringBytes(element, bytes);
    return bytes;
}

std::string lookupString(const CPdfDictionary& dictionary, const char* key) {
    CPdfElement value;
    dictionary.lookup(key, value);
    return stringOrEmpty(value);
}

// A scheme ("http:", "mailto:") makes a URI absolute.
bool hasScheme(const std::string& uri) {
    if (uri.empty() || !std::isalpha(static_cast<unsigned char>(uri[0]))) return false;
    for (const char c : uri) {
        if (c == ':') return true;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    }
    return false;
}

std::string joinURI(const std::string& base, const std::string& relative) {
    const bool baseSlash = base.back() == '/';
    const bool relativeSlash = !relative.empty() && relative.front() == '/';
    if (baseSlash && relativeSlash) return base + relative.substr(1);
    if (baseSlash || relativeSlash) return base + relative;
    return base + '/' + relative;
}

}  // namespace

LinkAction::~LinkAction() = default;

LinkTarget::LinkTarget(const CPdfElement& destination) {
    if (destination.is(kindName)) {
        namedDest_ = destination.getName();
        return;
    }
    if (getStringBytes(destination, namedDest_)) return;
    if (!destination.is(kindArray)) return;
    auto dest = std::make_unique<LinkDest>(*destination.getArray());
    if (dest->isOk()) dest_ = std::move(dest);
}

LinkGoTo::LinkGoTo(const CPdfElement& destination) : target_(destination) {}

LinkGoToR::LinkGoToR(const CPdfElement& file, const CPdfElement& destination, bool newWindow)
    : fileName_(getFileSpecText(file)), target_(destination), newWindow_(newWindow) {}

LinkLaunch::LinkLaunch(const CPdfDictionary& actionDictionary) {
    CPdfElement file;
    actionDictionary.lookup("F", file);
    if (!file.is(kindNull)) {
        fileName_ = getFileSpecText(file);
        return;
    }
    CPdfElement windows;
    actionDictionary.lookup("Win", windows);
    if (!windows.is(kindDictionary)) return;
    fileName_ = lookupString(*windows.getDictionary(), "F");
    parameters_ = lookupString(*windows.getDictionary(), "P");
}

LinkURI::LinkURI(const CPdfElement& uri, const std::string& baseURI) : uri_(stringOrEmpty(uri)) {
    if (!baseURI.empty() && !uri_.empty() && !hasScheme(uri_)) uri_ = joinURI(baseURI, uri_);
}

LinkNamed::LinkNamed(const CPdfElement& name) {
    if (name.is(kindName)) name_ = name.getName();
}

LinkMovie::LinkMovie(const CPdfElement& annotation, const CPdfElement& title) {
    if (annotation.is(kindReference)) {
        annotationNumber_ = annotation.getRefNumber();
        return;
    }
    title_ = stringOrEmpty(title);
}

LinkUnknown::LinkUnknown(const std::string& typeName) : typeName_(typeName) {}

namespace {

std::unique_ptr<LinkAction> buildAction(const CPdfDictionary& dictionary, const char* type,
                                        const std::string& baseURI) {
    CPdfElement first;
    CPdfElement second;
    if (std::strcmp(type, "GoTo") == 0) {
        dictionary.lookup("D", first);
        return std::make_unique<LinkGoTo>(first);
    }
    if (std::strcmp(type, "GoToR") == 0) {
        dictionary.lookup("F", first);
        dictionary.lookup("D", second);
        CPdfElement newWindow;
        dictionary.lookup("NewWindow", newWindow);
        return std::make_unique<LinkGoToR>(first, second, newWindow.is(kindBool) && newWindow.getBool());
    }
    if (std::strcmp(type, "Launch") == 0) return std::make_unique<LinkLaunch>(dictionary);
    if (std::strcmp(type, "URI") == 0) {
        dictionary.lookup("URI", first);
        return std::make_unique<LinkURI>(first, baseURI);
    }
    if (std::strcmp(type, "Named") == 0) {
        dictionary.lookup("N", first);
        return std::make_unique<LinkNamed>(first);
    }
    if (std::strcmp(type, "Movie") == 0) {
        dictionary.lookupUnresolved("Annot", first);
        dictionary.lookup("T", second);
        return std::make_unique<LinkMovie>(first, second);
    }
    return std::make_unique<LinkUnknown>(type);
}

}  // namespace

std::unique_ptr<LinkAction> makeLinkAction(const CPdfElement& actionDictionary, const std::string& baseURI) {
    if (!actionDictionary.is(kindDictionary)) return nullptr;
    const CPdfDictionary& dictionary = *actionDictionary.getDictionary();
    CPdfElement type;
    dictionary.lookup("S", type);
    if (!type.is(kindName)) return nullptr;
    std::unique_ptr<LinkAction> action = buildAction(dictionary, type.getName(), baseURI);
    if (!action->isOk()) return nullptr;
    return action;
}

std::string getFileSpecText(const CPdfElement& fileSpec) {
    std::string text;
    if (getStringBytes(fileSpec, text)) return text;
    if (!fileSpec.is(kindDictionary)) return text;
    const CPdfDictionary& dictionary = *fileSpec.getDictionary();
    CPdfElement entry;
    dictionary.lookup("Unix", entry);
    if (getStringBytes(entry, text)) return text;
    entry.free();
    dictionary.lookup("F", entry);
    getStringBytes(entry, text);
    return text;
}
