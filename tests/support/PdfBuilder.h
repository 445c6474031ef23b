#pragma once
// Small, well-formed (or deliberately odd) PDF files in memory. Objects are written in ascending number;
// offsets count from the "%PDF-" header, so leading junk does not shift them.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class PdfBuilder {
public:
    void setHeader(const std::string& header) { header_ = header; }    // default "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"
    void setLeadingJunk(const std::string& junk) { junk_ = junk; }     // bytes before the header
    void setTrailer(const std::string& entries) { trailer_ = entries; }  // /Size and /Prev are added
    // body: the value, without "n g obj" and "endobj".
    void addObject(int number, const std::string& body, int generation = 0) {
        objects_[number] = Source{generation, Source::Form::plain, body, "", false};
    }
    // /Length (and with compress /Filter /FlateDecode) is added.
    void addStream(int number, const std::string& dictEntries, const std::string& data, bool compress = false,
                   int generation = 0) {
        objects_[number] = Source{generation, Source::Form::stream, dictEntries, data, compress};
    }
    // Verbatim bytes from the object's header on, for broken headers, wrong lengths and the like.
    void addRawObject(int number, const std::string& bytes, int generation = 0) {
        objects_[number] = Source{generation, Source::Form::raw, bytes, "", false};
    }
    // Those plain objects go into object stream streamNumber; needs xrefStream or hybrid.
    void putInObjectStream(int streamNumber, const std::vector<int>& objectNumbers, bool compress = true) {
        objectStreams_[streamNumber] = {objectNumbers, compress};
    }
    // Lists the object as the index-th of an object stream the test writes itself.
    void addCompressedEntry(int number, int streamNumber, int index) { compressedEntries_[number] = {streamNumber, index}; }

    struct Options {
        bool xrefStream = false;              // cross-reference stream instead of a classic table
        bool xrefPredictor = false;           // PNG Up rows in the cross-reference stream
        std::vector<int> widths = {1, 4, 2};  // its W; a 0 type width means type 1
        bool hybrid = false;                  // classic table plus /XRefStm listing the compressed objects
        std::string eol = "\n";               // between tokens and in table rows
    };
    std::string build(const Options& options) const;
    std::string build() const { return build(Options{}); }
    // base, then these objects as an update whose /Prev is the base's last startxref.
    std::string appendUpdate(const std::string& base, const Options& options) const;
    // After build or appendUpdate: where the object's header starts, from the header.
    uint32_t offsetOf(int number) const { return offsets_.at(number); }

private:
    struct Source {
        int generation = 0;
        enum class Form { plain, stream, raw } form = Form::plain;
        std::string body, data;  // body: value, stream dictionary entries or raw bytes
        bool compress = false;
    };
    void writeSection(std::string& out, uint32_t headerPos, uint32_t minimumSize, int64_t previous,
                      const Options& options) const;

    std::string header_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::string junk_, trailer_;
    std::map<int, Source> objects_;
    std::map<int, std::pair<std::vector<int>, bool>> objectStreams_;  // members, compressed
    std::map<int, std::pair<int, int>> compressedEntries_;            // stream, index
    mutable std::map<int, uint32_t> offsets_;
};

// A valid file: catalog 1, page tree 2, Helvetica font 3, then page k (from 1) as object 2k+2 with its
// content stream 2k+3, filled with lines of text up to `contentBytes`. extraPageEntries goes into every page.
PdfBuilder simpleDocumentBuilder(int pageCount, const std::string& extraPageEntries = "", size_t contentBytes = 0);
std::string buildSimpleDocument(int pageCount, const std::string& extraPageEntries = "", size_t contentBytes = 0);
