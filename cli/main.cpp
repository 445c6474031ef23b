#include <utility>

#include "cli/OptionParser.h"
#include "cli/ProgramEntry.h"
#include "resize/QuillmorHandler.h"

int main(int argumentCount, char* arguments[]) {
    // One handler per job, so that no option or state of one file reaches the next.
    const JobRunner runJob = [](int count, const char* const* jobArguments) {
        JobRequest job;
        parseOptions(count, jobArguments, job.inputFileName, job.outputFileName, job.settings);
        CQuillmorHandler(std::move(job)).resizeFile();
    };
    return runProgram(argumentCount, arguments, runJob);
}
