#pragma once

#include <functional>

// Runs one job (one input file into one output file) with the program's argument list;
// throws CPdfException when the job fails.
using JobRunner = std::function<void(int argumentCount, const char* const* arguments)>;

// Results of runBatchList.
constexpr int batchNotAList = 0;    // the first argument names no list file: run a single job
constexpr int batchNotStarted = 1;  // a list file, but a message ended it before the first job
constexpr int batchFinished = 2;    // every line of the list has been run

// True when the name counts as a list file: four characters or fewer, or ".tx" four
// characters before its end (case-sensitive).
bool isListFileName(const char* name);

// When `firstArgument` names a list file, runs one job per line of it into the folder that
// `secondArgument` gives as "-f<folder>", with the arguments' first two entries replaced by the
// line and the output name. A failing job's CPdfException leaves this function and ends the batch.
int runBatchList(const char* firstArgument, const char* secondArgument, int argumentCount,
                 const char* const* arguments, const JobRunner& runJob);
