#pragma once

#include "cli/BatchList.h"

// The whole program: usage text, wildcard refusal, banner, then a list of jobs or one job run
// through `runJob`; or, with the report option first, no banner and a report of each file (of a
// list) through `runReport`. Prints every error as one message and returns the exit status: 0 when
// the usage text was shown or every job succeeded, 1 otherwise.
int runProgram(int argumentCount, const char* const* arguments, const JobRunner& runJob,
               const JobRunner& runReport = JobRunner());
