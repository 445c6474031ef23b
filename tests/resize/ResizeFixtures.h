#pragma once
// Jobs over in-memory PDFs; InputJob reads the cross-reference itself, so trees the document refuses get through.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/OptionParser.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/CopyPass.h"
#include "resize/OutputWriter.h"
#include "resize/PageRewriter.h"
#include "resize/PageScale.h"
#include "resize/PageCollector.h"
#include "resize/QuillmorHandler.h"
#include "resize/RawObjectReader.h"
#include "tests/support/PdfBuilder.h"
#include "tests/support/TestTools.h"

template <typename Action>
std::string errorOf(Action action) {
    try { action(); } catch (const CPdfException& error) { return error.getMessage(); }
    return "<no error>";
}

// The bytes from `offset` through the line ends after the first "endobj".
inline std::string objectAt(const std::string& bytes, size_t offset) {
    size_t last = bytes.find("endobj", offset);
    if (last == std::string::npos) return bytes.substr(offset);
    for (last += 6; last < bytes.size() && (bytes[last] == '\r' || bytes[last] == '\n');) ++last;
    return bytes.substr(offset, last - offset);
}

// `objects` with catalog 1 (unless given) naming page tree 2.
inline std::string pdfOf(std::map<int, std::string> objects) {
    objects.emplace(1, "<< /Type /Catalog /Pages 2 0 R >>");
    PdfBuilder builder;
    for (const auto& [number, body] : objects) builder.addObject(number, body);
    builder.setTrailer("/Root 1 0 R");
    return builder.build();
}

// Catalog 1 and the page tree `objects`, numbered from 2.
inline std::string tree(const std::vector<std::string>& objects) {
    std::map<int, std::string> numbered;
    for (size_t i = 0; i < objects.size(); ++i) numbered[static_cast<int>(i + 2)] = objects[i];
    return pdfOf(numbered);
}

// Tree 2 (`treeEntries`, a default MediaBox), its page 3 (`pageEntries`), streams 4 and 5; `extra` may replace any.
inline std::string onePage(const std::string& pageEntries, std::map<int, std::string> extra = {},
                           const std::string& treeEntries = "") {
    extra.emplace(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 " + treeEntries + " /MediaBox [0 0 612 792] >>");
    extra.emplace(3, "<< /Type /Page /Parent 2 0 R " + pageEntries + " >>");
    extra.emplace(4, "<< /Length 5 >>\nstream\n0 0 m\nendstream");
    extra.emplace(5, "<< /Length 5 >>\nstream\nBT ET\nendstream");
    return pdfOf(extra);
}

inline ResizeSettings settingsOf(const std::vector<std::string>& options) {
    std::vector<const char*> arguments = {"quillmor", "in.pdf", "out.pdf"};
    for (const std::string& option : options) arguments.push_back(option.c_str());
    JobRequest job;
    parseOptions(static_cast<int>(arguments.size()), arguments.data(), job.inputFileName, job.outputFileName,
                 job.settings);
    return job.settings;
}

// The whole job in-process: its error (or "<no error>"), what it printed, the output.
struct JobRun {
    std::string error, console, output;
};
inline JobRun runWholeJob(const std::string& in, const std::string& out, const std::vector<std::string>& options = {}) {
    JobRequest job{in, out, settingsOf(options)};
    JobRun result;
    testing::internal::CaptureStdout();
    result.error = errorOf([&] { CQuillmorHandler(std::move(job)).resizeFile(); });
    result.console = testing::internal::GetCapturedStdout();
    if (std::filesystem::exists(out)) result.output = readFile(out);
    return result;
}

// Whole jobs from in.pdf to out.pdf in a fresh folder.
class WholeJob : public ::testing::Test {
protected:
    JobRun resize(const std::string& pdf, const std::vector<std::string>& options = {}) {
        writeFile(input, pdf);
        return runWholeJob(input, output, options);
    }
    TempDir dir;
    const std::string input = dir.file("in.pdf"), output = dir.file("out.pdf");
};

class InputJob {
public:
    // Runs the page pass; `options` as on the command line after the file names.
    explicit InputJob(const std::string& pdf, const std::vector<std::string>& options = {})
        : settings(settingsOf(options)) {
        writeFile(dir_.file("in.pdf"), pdf);
        streamFile_ = CInputFile::open(dir_.file("in.pdf"));
        rawFile_ = CInputFile::open(dir_.file("in.pdf"));
        CPdfElement noDictionary;
        noDictionary.initNull();
        stream_.reset(new CPdfFileStream(streamFile_.get(), 0, 0, noDictionary));
        xref_.open(stream_.get());
        reader_ = std::make_unique<RawObjectReader>(*rawFile_, xref_, xref_.getStart());
        output_ = std::make_unique<OutputWriter>(dir_.file("out.pdf"));
        output_->resetTable(xref_.getEntries().size());
        records = PageCollector::collect(xref_).records;
    }

    std::string raw(uint32_t number) {
        std::string bytes;
        return reader_->readRawObject(number, bytes) ? bytes : "<unreadable>";
    }
    // Copies every object as the pipeline does before the rewrites, every page selected.
    void copy() {
        for (PageRecord& record : records) record.selected = true;
        knownStreams_ = copyObjects(*reader_, *output_, xref_.getEntries(), records);
        copied_ = true;
    }
    void rewrite(size_t index) { rewrite(index, pageTransformOf(settings, records.at(index))); }
    void rewrite(size_t index, const PageTransform& transform) {
        ResizeJob job{xref_, xref_.getEntries(), *reader_, *output_, settings, nullptr, copied_ ? &knownStreams_ : nullptr};
        PageRewriter(job).rewritePage(records.at(index), transform);
    }
    // Once, after the rewrites.
    const std::string& finish() {
        output_->commit();
        bytes_ = readFile(dir_.file("out.pdf"));
        return bytes_;
    }
    // After finish(): the object `number`'s output row points at, or "".
    std::string object(uint32_t number) const {
        return output_->row(number).written ? objectAt(bytes_, output_->row(number).offset) : "";
    }
    OutputWriter& output() { return *output_; }
    const std::vector<XRefEntry>& entries() const { return xref_.getEntries(); }

    ResizeSettings settings;
    std::vector<PageRecord> records;

private:
    TempDir dir_;
    std::unique_ptr<CInputFile> streamFile_, rawFile_;
    std::unique_ptr<CPdfStream, void (*)(CPdfStream*)> stream_{nullptr, [](CPdfStream* s) { s->decRef(); }};
    CPdfXRef xref_;
    std::unique_ptr<RawObjectReader> reader_;
    std::unique_ptr<OutputWriter> output_;
    std::string bytes_;
    std::vector<bool> knownStreams_;
    bool copied_ = false;
};
