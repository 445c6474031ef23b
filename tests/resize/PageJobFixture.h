#pragma once
// A resize job over an in-memory PDF, for the page rewriting tests: the input written to a
// temporary file and opened with the reader, an empty output, and the job's page records.

#include <memory>
#include <string>
#include <vector>

#include "cli/OptionParser.h"
#include "pdf/document/PdfDocument.h"
#include "pdf/stream/InputFile.h"
#include "pdf/xref/PdfXRef.h"
#include "resize/OutputWriter.h"
#include "resize/PageRecord.h"
#include "resize/PageRewriter.h"
#include "resize/PageScale.h"
#include "resize/PageTreeWalker.h"
#include "resize/RawObjectReader.h"
#include "tests/support/TestTools.h"

class PageJob {
public:
    // `options` as on the command line after the two file names.
    explicit PageJob(const std::string& pdf, const std::vector<const char*>& options = {}) {
        writeFile(dir_.file("in.pdf"), pdf);
        input_ = CInputFile::open(dir_.file("in.pdf"));
        document_.open(dir_.file("in.pdf").c_str(), "", "");
        xref_ = document_.getXRef();
        reader_ = std::make_unique<RawObjectReader>(*input_, *xref_, xref_->getStart());
        output_ = std::make_unique<OutputWriter>(dir_.file("out.pdf"));
        output_->resetTable(xref_->getEntries().size());
        std::vector<const char*> arguments = {"quillmor", "in.pdf", "out.pdf"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        std::string inputName;
        std::string outputName;
        parseOptions(static_cast<int>(arguments.size()), arguments.data(), inputName, outputName, settings_);
        uint32_t pagesNumber = 0;
        records_ = PageTreeWalker(*xref_).collect(xref_->getRootRef(), pagesNumber);
        job_ = std::make_unique<ResizeJob>(ResizeJob{*xref_, xref_->getEntries(), *reader_, *output_, settings_});
    }

    // Rewrites the page at `index` (0-based, page order) with its factors set as the pipeline sets them.
    void rewrite(size_t index) {
        setPageScale(settings_, records_.at(index), static_cast<uint32_t>(index + 1));
        PageRewriter(*job_).rewritePage(records_.at(index));
    }

    // The output's bytes so far (the output file is closed: call once, at the end).
    const std::string& finish() {
        output_->commit();
        outputBytes_ = readFile(dir_.file("out.pdf"));
        return outputBytes_;
    }

    // After finish(): the bytes at `number`'s output row, through the line end after "endobj".
    std::string object(uint32_t number) const {
        const uint32_t offset = output_->row(number).offset;
        const size_t end = outputBytes_.find("endobj", offset);
        if (end == std::string::npos) return outputBytes_.substr(offset);
        size_t last = end + 6;
        while (last < outputBytes_.size() && (outputBytes_[last] == '\n' || outputBytes_[last] == '\r')) ++last;
        return outputBytes_.substr(offset, last - offset);
    }

    ResizeJob& job() { return *job_; }
    OutputWriter& output() { return *output_; }
    ResizeSettings& settings() { return settings_; }
    std::vector<PageRecord>& records() { return records_; }
    CPdfXRef& xref() { return *xref_; }

private:
    TempDir dir_;
    std::unique_ptr<CInputFile> input_;
    CPdfDocument document_;
    CPdfXRef* xref_ = nullptr;
    std::unique_ptr<RawObjectReader> reader_;
    std::unique_ptr<OutputWriter> output_;
    ResizeSettings settings_;
    std::vector<PageRecord> records_;
    std::unique_ptr<ResizeJob> job_;
    std::string outputBytes_;
};
