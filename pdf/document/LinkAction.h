#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pdf/document/LinkDest.h"

class CPdfDictionary;
class CPdfElement;

enum LinkActionKind : int32_t {
    actionGoTo,
    actionGoToR,
    actionLaunch,
    actionURI,
    actionNamed,
    actionMovie,
    actionUnknown
};

// What an outline item (or a link) triggers.
class LinkAction {
public:
    LinkAction() = default;
    LinkAction(const LinkAction&) = delete;
    LinkAction& operator=(const LinkAction&) = delete;
    virtual ~LinkAction();
    // The action holds what it needs to be carried out.
    virtual bool isOk() const = 0;
    virtual LinkActionKind getKind() const = 0;
};

// A destination given either explicitly (an array) or by name (a name or a string).
class LinkTarget {
public:
    explicit LinkTarget(const CPdfElement& destination);
    bool isPresent() const { return dest_ != nullptr || !namedDest_.empty(); }
    // The explicit destination, or null when there is none (or the array was invalid).
    const LinkDest* getDest() const { return dest_.get(); }
    const std::string& getNamedDest() const { return namedDest_; }

private:
    std::unique_ptr<LinkDest> dest_;
    std::string namedDest_;
};

class LinkGoTo : public LinkAction {
public:
    explicit LinkGoTo(const CPdfElement& destination);
    bool isOk() const override { return target_.isPresent(); }
    LinkActionKind getKind() const override { return actionGoTo; }
    const LinkTarget& getTarget() const { return target_; }

private:
    LinkTarget target_;
};

class LinkGoToR : public LinkAction {
public:
    LinkGoToR(const CPdfElement& file, const CPdfElement& destination, bool newWindow);
    bool isOk() const override { return !fileName_.empty() && target_.isPresent(); }
    LinkActionKind getKind() const override { return actionGoToR; }
    const std::string& getFileName() const { return fileName_; }
    const LinkTarget& getTarget() const { return target_; }
    bool getNewWindow() const { return newWindow_; }

private:
    std::string fileName_;
    LinkTarget target_;
    bool newWindow_;
};

class LinkLaunch : public LinkAction {
public:
    explicit LinkLaunch(const CPdfDictionary& actionDictionary);
    bool isOk() const override { return !fileName_.empty(); }
    LinkActionKind getKind() const override { return actionLaunch; }
    const std::string& getFileName() const { return fileName_; }
    const std::string& getParameters() const { return parameters_; }

private:
    std::string fileName_;
    std::string parameters_;
};

class LinkURI : public LinkAction {
public:
    // A relative URI is appended to a non-empty base URI; an absolute one is kept as it is.
    LinkURI(const CPdfElement& uri, const std::string& baseURI);
    bool isOk() const override { return !uri_.empty(); }
    LinkActionKind getKind() const override { return actionURI; }
    const std::string& getURI() const { return uri_; }

private:
    std::string uri_;
};

class LinkNamed : public LinkAction {
public:
    explicit LinkNamed(const CPdfElement& name);
    bool isOk() const override { return !name_.empty(); }
    LinkActionKind getKind() const override { return actionNamed; }
    const std::string& getName() const { return name_; }

private:
    std::string name_;
};

class LinkMovie : public LinkAction {
public:
    static constexpr int32_t kNoAnnotation = -1;

    // The annotation is taken when it is a reference; the title only when there is none.
    LinkMovie(const CPdfElement& annotation, const CPdfElement& title);
    bool isOk() const override { return annotationNumber_ >= 0 || !title_.empty(); }
    LinkActionKind getKind() const override { return actionMovie; }
    int32_t getAnnotationNumber() const { return annotationNumber_; }
    const std::string& getTitle() const { return title_; }

private:
    int32_t annotationNumber_ = kNoAnnotation;
    std::string title_;
};

class LinkUnknown : public LinkAction {
public:
    explicit LinkUnknown(const std::string& typeName);
    bool isOk() const override { return !typeName_.empty(); }
    LinkActionKind getKind() const override { return actionUnknown; }
    const std::string& getTypeName() const { return typeName_; }

private:
    std::string typeName_;
};

// The action an action dictionary describes (by its S), or null when it has no usable S or the
// action would not be usable.
std::unique_ptr<LinkAction> makeLinkAction(const CPdfElement& actionDictionary, const std::string& baseURI);

// The file name a file reference gives: a string, or a dictionary's Unix or else F string.
std::string getFileSpecText(const CPdfElement& fileSpec);
