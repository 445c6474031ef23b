#pragma once
// Builds small, well-formed (or deliberately odd) PDF files in memory for tests. Objects are written in
// ascending object number; every offset written into a cross-reference section or after "startxref" counts
// from the "%PDF-" header, so leading junk before the header does not shift them.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class PdfBuilder {
public:
    void setHeader(const std::string& header);          // default "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"
    void setLeadingJunk(const std::string& junk);       // bytes before the header

    // body is the object's value, without "n g obj" and "endobj".
    void addObject(int number, const std::string& body, int generation = 0);
    // The builder adds /Length (and /Filter /FlateDecode when compress is set).
    void addStream(int number, const std::string& dictEntries, const std::string& data, bool compress = false,
                   int generation = 0);
    // Writes bytes verbatim where the object would go (from its header on), so that tests can produce broken
    // headers, wrong lengths and the like. The entry still points at the first of those bytes.
    void addRawObject(int number, const std::string& bytes, int generation = 0);

    // Those objects are stored in an object stream numbered streamNumber instead of at the top level. Needs a
    // cross-reference stream (xrefStream or hybrid).
    void putInObjectStream(int streamNumber, const std::vector<int>& objectNumbers, bool compress = true);

    // Lists the object as the index-th of an object stream that the test writes itself (addRawObject).
    void addCompressedEntry(int number, int streamNumber, int index);

    // Trailer entries such as "/Root 1 0 R /Info 9 0 R"; /Size and /Prev are added.
    void setTrailer(const std::string& entries);

    struct Options {
        bool xrefStream = false;      // cross-reference stream instead of a classic table
        bool xrefPredictor = false;   // PNG Up rows in the cross-reference stream
        std::vector<int> widths = {1, 4, 2};  // W of the cross-reference stream; a 0 type width means type 1
        bool hybrid = false;          // classic table plus /XRefStm listing the compressed objects
        std::string eol = "\n";       // line end used between tokens and in table rows
    };

    std::string build(const Options& options) const;    // whole file
    std::string build() const;
    // base followed by this builder's objects as an incremental section whose
    // trailer has /Prev pointing at the base's last startxref.
    std::string appendUpdate(const std::string& base, const Options& options) const;
    // After build or appendUpdate: where the object's header starts, from the header.
    uint32_t offsetOf(int number) const;

private:
    struct ObjectSource {
        int generation = 0;
        enum class Form { plain, stream, raw } form = Form::plain;
        std::string body;         // value text (plain), dictionary entries (stream) or raw bytes
        std::string data;         // stream data before compression
        bool compress = false;
    };
    struct ObjectStreamPlan {
        std::vector<int> members;
        bool compress = true;
    };
    struct WrittenObject {
        int generation = 0;
        std::string bytes;
    };

    std::map<int, WrittenObject> renderObjects(const Options& options) const;
    std::string renderObjectStream(int number, const ObjectStreamPlan& plan, const Options& options) const;
    void writeSection(std::string& out, uint32_t headerPos, uint32_t minimumSize, int64_t previous,
                      const Options& options) const;

    std::string header_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::string junk_, trailer_;
    std::map<int, ObjectSource> objects_;
    std::map<int, ObjectStreamPlan> objectStreams_;
    std::map<int, std::pair<int, int>> compressedEntries_;
    mutable std::map<int, uint32_t> offsets_;
};

// A valid file: catalog 1, page tree 2, Helvetica font 3, then page k (from 1) as object 2k+2 with its
// content stream 2k+3, filled with lines of text up to `contentBytes`. extraPageEntries goes into every page.
PdfBuilder simpleDocumentBuilder(int pageCount, const std::string& extraPageEntries = "", size_t contentBytes = 0);
std::string buildSimpleDocument(int pageCount, const std::string& extraPageEntries = "", size_t contentBytes = 0);
