#include "cli/ProgramEntry.h"
#include "resize/QuillmorHandler.h"

int main(int argumentCount, char* arguments[]) {
    // One handler per job, so that no option or state of one file reaches the next.
    const JobRunner runJob = [](int count, const char* const* jobArguments) {
        CQuillmorHandler handler;
        handler.resizeFile(count, jobArguments);
    };
    return runProgram(argumentCount, arguments, runJob);
}
