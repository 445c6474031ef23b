#pragma once

#include <memory>

#include "platform/StandardInput.h"
#include "resize/ResizeSettings.h"

// Whether the run's output is standard output: a second argument "-" (the output file's place).
bool writesToStandardOutput(int argumentCount, const char* const* arguments);

// For a job whose input is "-": copies standard input into a temporary file, which the job then
// reads in its place (named "-" in messages); the file goes with the result. Null for any other
// input. Throws CPdfException when standard input cannot be read or is too large.
std::unique_ptr<StandardInput> readStandardInputFor(JobRequest& job);
