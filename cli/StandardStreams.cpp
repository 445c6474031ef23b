#include "cli/StandardStreams.h"

#include <cstring>

#include "cli/Messages.h"
#include "pdf/objects/PdfException.h"
#include "pdf/stream/InputFile.h"

namespace {

constexpr int firstArgumentIndex = 1;
constexpr int outputFileIndex = 2;

}  // namespace

bool writesToStandardOutput(int argumentCount, const char* const* arguments) {
    // A report has no output file: its second argument is the input.
    return argumentCount > outputFileIndex && std::strcmp(arguments[outputFileIndex], standardStreamName) == 0 &&
           std::strcmp(arguments[firstArgumentIndex], reportOption) != 0;
}

std::unique_ptr<StandardInput> readStandardInputFor(JobRequest& job) {
    if (job.inputFileName != standardStreamName) return nullptr;
    StandardInput::Outcome outcome = StandardInput::Outcome::failed;
    std::unique_ptr<StandardInput> input = StandardInput::copy(CInputFile::kMaxSize, outcome);
    if (outcome == StandardInput::Outcome::tooLarge) throw CPdfException("Input file is larger than 2 GB\n");
    if (!input) throw CPdfException("Input file open error: standard input cannot be copied to a temporary file\n");
    job.inputLabel = job.inputFileName;
    job.inputFileName = input->fileName();
    return input;
}
