#include <memory>
#include <utility>

#include "cli/OptionParser.h"
#include "cli/PageReport.h"
#include "cli/ProgramEntry.h"
#include "cli/StandardStreams.h"
#include "platform/OutputFile.h"
#include "resize/QuillmorHandler.h"

int main(int argumentCount, char* arguments[]) {
    // Before anything is printed: from here on messages go to standard error.
    std::unique_ptr<OutputFile> standardOutput;
    if (writesToStandardOutput(argumentCount, arguments)) standardOutput = OutputFile::takeStandardOutput();
    // One handler per job, so that no option or state of one file reaches the next.
    const JobRunner runJob = [&standardOutput](int count, const char* const* jobArguments) {
        JobRequest job;
        parseOptions(count, jobArguments, job.inputFileName, job.outputFileName, job.settings);
        const std::unique_ptr<StandardInput> standardInput = readStandardInputFor(job);
        CQuillmorHandler(std::move(job), std::move(standardOutput)).resizeFile();
    };
    const JobRunner runReport = [](int count, const char* const* reportArguments) {
        JobRequest job;
        parseReportOptions(count, reportArguments, job.inputFileName, job.settings);
        const std::unique_ptr<StandardInput> standardInput = readStandardInputFor(job);
        printPageReport(std::move(job));
    };
    return runProgram(argumentCount, arguments, runJob, runReport);
}
