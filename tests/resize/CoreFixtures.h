#pragma once
// Inputs for the raw-access, page-pass and pipeline tests: an in-memory PDF written to a
// temporary file, its cross-reference read straight from a file stream (so that page trees the
// document would refuse can still be walked), and a raw reader over a second handle.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "pdf/objects/PdfElement.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/QuillmorHandler.h"
#include "resize/RawObjectReader.h"
#include "tests/support/TestTools.h"

class RawInput {
public:
    // `headerStart`: where "%PDF-" stands, for files with bytes before it.
    explicit RawInput(const std::string& pdf, uint32_t headerStart = 0) : path_(dir_.file("in.pdf")) {
        writeFile(path_, pdf);
        streamFile_ = CInputFile::open(path_);
        rawFile_ = CInputFile::open(path_);
        CPdfElement noDictionary;
        noDictionary.initNull();
        stream_ = new CPdfFileStream(streamFile_.get(), 0, 0, noDictionary);
        if (headerStart != 0) stream_->moveStart(headerStart);
        xref_ = std::make_unique<CPdfXRef>();
        xref_->open(stream_);
        reader_ = std::make_unique<RawObjectReader>(*rawFile_, *xref_, xref_->getStart());
    }
    ~RawInput() {
        reader_.reset();
        xref_.reset();
        stream_->decRef();
    }
    RawInput(const RawInput&) = delete;
    RawInput& operator=(const RawInput&) = delete;

    RawObjectReader& reader() { return *reader_; }
    CPdfXRef& xref() { return *xref_; }
    const TempDir& dir() const { return dir_; }

    std::string raw(uint32_t number) {
        std::string bytes;
        if (!reader_->readRawObject(number, bytes)) return "<unreadable>";
        return bytes;
    }

private:
    TempDir dir_;
    std::string path_;
    std::unique_ptr<CInputFile> streamFile_;
    std::unique_ptr<CInputFile> rawFile_;
    CPdfStream* stream_ = nullptr;
    std::unique_ptr<CPdfXRef> xref_;
    std::unique_ptr<RawObjectReader> reader_;
};

// One job of the pipeline on an in-memory input, as the program runs it.
struct JobRun {
    bool ok = false;
    std::string error;    // the exception's message when the job failed
    std::string console;  // what the job printed
    std::string output;   // the output file's bytes, empty when there is none
    bool outputExists = false;
};

inline JobRun runJob(const std::string& inputPath, const std::string& outputPath,
                     const std::vector<std::string>& options = {}) {
    std::vector<const char*> arguments = {"quillmor", inputPath.c_str(), outputPath.c_str()};
    for (const std::string& option : options) arguments.push_back(option.c_str());
    JobRun run;
    testing::internal::CaptureStdout();
    try {
        CQuillmorHandler handler;
        handler.resizeFile(static_cast<int>(arguments.size()), arguments.data());
        run.ok = true;
    } catch (const CPdfException& error) {
        run.error = error.getMessage();
    }
    std::fflush(stdout);
    run.console = testing::internal::GetCapturedStdout();
    if (std::FILE* file = std::fopen(outputPath.c_str(), "rb")) {
        std::fclose(file);
        run.outputExists = true;
        run.output = readFile(outputPath);
    }
    return run;
}

// The cross-reference section and trailer at the end of an output, read back by their layout.
struct OutputLayout {
    struct Row {
        uint32_t offset = 0;
        uint32_t generation = 0;
        bool inUse = false;
    };
    bool valid = false;
    uint32_t startXRef = 0;
    std::vector<Row> rows;
    std::string trailer;  // from "trailer" to the end of the file

    // The object bytes at a row's offset, through the line end after its "endobj".
    std::string object(const std::string& output, uint32_t number) const {
        const size_t first = rows.at(number).offset;
        size_t last = output.find("endobj", first);
        if (last == std::string::npos) return output.substr(first);
        last += 6;
        while (last < output.size() && (output[last] == '\r' || output[last] == '\n')) ++last;
        return output.substr(first, last - first);
    }
};

inline OutputLayout readLayout(const std::string& output) {
    constexpr size_t kRowLength = 20;
    OutputLayout layout;
    const size_t keyword = output.rfind("startxref\n");
    if (keyword == std::string::npos) return layout;
    layout.startXRef = static_cast<uint32_t>(std::strtoul(output.c_str() + keyword + 10, nullptr, 10));
    if (output.compare(layout.startXRef, 7, "xref\n0 ") != 0) return layout;
    const size_t count = std::strtoul(output.c_str() + layout.startXRef + 7, nullptr, 10);
    const size_t rowsStart = output.find('\r', layout.startXRef) + 1;
    if (rowsStart + count * kRowLength > output.size()) return layout;
    for (size_t i = 0; i < count; ++i) {
        const std::string row = output.substr(rowsStart + i * kRowLength, kRowLength);
        if (row[10] != ' ' || row[16] != ' ' || row.substr(18) != " \r") return layout;
        OutputLayout::Row parsed;
        parsed.offset = static_cast<uint32_t>(std::strtoul(row.substr(0, 10).c_str(), nullptr, 10));
        parsed.generation = static_cast<uint32_t>(std::strtoul(row.substr(11, 5).c_str(), nullptr, 10));
        parsed.inUse = row[17] == 'n';
        layout.rows.push_back(parsed);
    }
    layout.trailer = output.substr(rowsStart + count * kRowLength);
    layout.valid = true;
    return layout;
}
