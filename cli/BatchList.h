#pragma once

#include <functional>

// Runs one job (one input file into one output file) with the program's argument list;
// throws CPdfException when the job fails.
using JobRunner = std::function<void(int argumentCount, const char* const* arguments)>;

// Results of runBatchList.
constexpr int batchNotAList = 0;    // the first argument names no list file: run a single job
constexpr int batchNotStarted = 1;  // a list file, but a message ended it before the first job
constexpr int batchFinished = 2;    // every line of the list has been run
constexpr int batchFailed = 3;      // -keepgoing ran the list to its end, and some files were not resized

// The option that lets a list go on past a failing job; the option parser of a job ignores it.
inline constexpr char keepGoingOption[] = "-keepgoing";

// True when the name counts as a list file: four characters or fewer, or ".tx" four
// characters before its end (case-sensitive).
bool isListFileName(const char* name);

// When `firstArgument` names a list file, runs one job per line of it into the folder that
// `secondArgument` gives as "-f<folder>", with the arguments' first two entries replaced by the
// line and the output name (the folder, "/" and the line, its leading "/" dropped), after making
// the line's folders below the output folder. A failing job's CPdfException leaves this function
// and ends the batch; with -keepgoing the batch goes on and ends with a summary. A signal stops
// the batch once the current job has cleaned up; the summary says how far it got, and the process
// then ends as the signal would have ended it.
int runBatchList(const char* firstArgument, const char* secondArgument, int argumentCount,
                 const char* const* arguments, const JobRunner& runJob);

// With the report option first: when `arguments[2]` names a list file (not "-", which is standard
// input), runs `runReport` once per line of it with the line in that place. A failing report's
// CPdfException leaves this function and ends the list. Returns batchNotAList, batchNotStarted
// (the list cannot be opened, said) or batchFinished.
int runReportList(const char* listName, int argumentCount, const char* const* arguments, const JobRunner& runReport);
