#include "cli/ProgramEntry.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "cli/Messages.h"
#include "cli/Usage.h"
#include "pdf/objects/PdfException.h"
#include "platform/SignalCleanup.h"

namespace {

constexpr int exitSuccess = 0;
constexpr int exitFailure = 1;
constexpr int firstArgumentIndex = 1;
constexpr int secondArgumentIndex = 2;
constexpr int countWithoutArguments = 1;
constexpr int countWithTwoArguments = 3;

constexpr char wildcardMessage[] =
    "\nError! Wildcards * are not permitted, if you want to process many files then do: dir /B *.pdf > "
    "list.txt, then quillmor list.txt -fc:\\test\n\n";
constexpr char unexpectedMessage[] = "Unexpected exception";
constexpr char doneMessage[] = "\nDone.\n";

bool hasWildcard(int argumentCount, const char* const* arguments) {
    for (int i = firstArgumentIndex; i < argumentCount; ++i) {
        if (std::strchr(arguments[i], '*') != nullptr) {
            return true;
        }
    }
    return false;
}

int runJobs(int argumentCount, const char* const* arguments, const JobRunner& runJob) {
    const char* second = argumentCount > secondArgumentIndex ? arguments[secondArgumentIndex] : nullptr;
    const int batch = runBatchList(arguments[firstArgumentIndex], second, argumentCount, arguments, runJob);
    if (batch == batchFinished) {
        return exitSuccess;
    }
    if (batch == batchNotStarted || batch == batchFailed) {
        return exitFailure;
    }
    if (second == nullptr) {
        throw CPdfException(missingOutputFileMessage);
    }
    runJob(argumentCount, arguments);
    std::fputs(doneMessage, stdout);
    return exitSuccess;
}

}  // namespace

int runProgram(int argumentCount, const char* const* arguments, const JobRunner& runJob) {
    if (argumentCount <= countWithoutArguments) {
        printUsage();
        return exitSuccess;
    }
    if (argumentCount >= countWithTwoArguments && hasWildcard(argumentCount, arguments)) {
        std::fputs(wildcardMessage, stdout);
        return exitFailure;
    }
    printBanner();
    SignalCleanup::install(SignalCleanup::Response::endProcess);
    try {
        return runJobs(argumentCount, arguments, runJob);
    } catch (const CPdfException& error) {
        // Printed as text, never as a format: messages may carry file names with "%" in them.
        std::fputs(error.getMessage(), stdout);
    } catch (...) {
        std::fputs(unexpectedMessage, stdout);
    }
    // A job that a recorded signal stopped ends as the signal would have ended it.
    SignalCleanup::endIfSignalled();
    return exitFailure;
}
