#pragma once
// A job runner that remembers every job's arguments and fails the way the resize engine does:
// an input it cannot open, or one it was told to refuse.

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/BatchList.h"
#include "pdf/objects/PdfException.h"
#include "tests/support/TestTools.h"

class FakeJobRunner {
public:
    enum class Failure { pdfError, otherError };

    std::vector<std::vector<std::string>> jobs;
    std::set<std::string> refusedInputs;
    Failure failure = Failure::pdfError;
    bool writesOutput = false;

    JobRunner runner() {
        return [this](int count, const char* const* arguments) { run(count, arguments); };
    }

    std::vector<std::string> inputs() const {
        std::vector<std::string> names;
        for (const std::vector<std::string>& job : jobs) {
            names.push_back(job.size() > 1 ? job[1] : "");
        }
        return names;
    }

private:
    void run(int count, const char* const* arguments) {
        jobs.emplace_back(arguments, arguments + count);
        const std::vector<std::string>& job = jobs.back();
        if (job[1].empty() || refusedInputs.count(job[1]) != 0) {
            if (failure == Failure::otherError) {
                throw std::runtime_error("not a PDF error");
            }
            throw CPdfException("Input file open error\n");
        }
        if (writesOutput) {
            writeFile(job[2], "output of " + job[1]);
        }
    }
};
