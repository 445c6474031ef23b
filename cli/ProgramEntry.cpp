#include "cli/ProgramEntry.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string_view>

#include "cli/Messages.h"
#include "cli/Usage.h"
#include "pdf/objects/PdfException.h"
#include "platform/SignalCleanup.h"

namespace {

constexpr int exitSuccess = 0;
constexpr int exitFailure = 1;
constexpr int firstArgumentIndex = 1;
constexpr int secondArgumentIndex = 2;
constexpr int reportInputIndex = 2;  // after the report option
constexpr int countWithoutArguments = 1;
constexpr int countWithOneArgument = 2;
constexpr int countWithTwoArguments = 3;

constexpr char wildcardMessage[] =
    "\nError! Wildcards * are not permitted, if you want to process many files then do: dir /B *.pdf > "
    "list.txt, then quillmor list.txt -fc:\\test\n\n";
constexpr char unexpectedMessage[] = "Unexpected exception";
constexpr char doneMessage[] = "\nDone.\n";

// Readers' messages such as "Corrupted PDF file" carry no line end; the shell prompt must not
// land behind them.
void printError(const char* message) {
    // Printed as text, never as a format: messages may carry file names with "%" in them.
    std::fputs(message, stdout);
    const std::size_t length = std::strlen(message);
    if (length == 0 || message[length - 1] != '\n') {
        std::fputc('\n', stdout);
    }
}

// "--help", "-h" and "--version" count only as the sole argument; anywhere else they are
// names like any other (a list file, an input, an ignored option).
bool answerQuestion(const char* argument) {
    const std::string_view only = argument;
    if (only == "--help" || only == "-h") {
        printUsage();
        return true;
    }
    if (only == "--version") {
        printVersion();
        return true;
    }
    return false;
}

bool hasWildcard(int argumentCount, const char* const* arguments) {
    for (int i = firstArgumentIndex; i < argumentCount; ++i) {
        // A password is no file name: it may hold any character.
        if (std::strcmp(arguments[i], passwordOption) == 0) {
            ++i;
            continue;
        }
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

// A report is the program's whole output, for scripts to read: no banner, no "Done.".
int runReports(int argumentCount, const char* const* arguments, const JobRunner& runReport) {
    if (argumentCount <= reportInputIndex) throw CPdfException(missingReportInputMessage);
    const int list = runReportList(arguments[reportInputIndex], argumentCount, arguments, runReport);
    if (list == batchFinished) return exitSuccess;
    if (list != batchNotAList) return exitFailure;
    runReport(argumentCount, arguments);
    return exitSuccess;
}

}  // namespace

int runProgram(int argumentCount, const char* const* arguments, const JobRunner& runJob,
               const JobRunner& runReport) {
    if (argumentCount <= countWithoutArguments) {
        printUsage();
        return exitSuccess;
    }
    if (argumentCount == countWithOneArgument && answerQuestion(arguments[firstArgumentIndex])) {
        return exitSuccess;
    }
    if (argumentCount >= countWithTwoArguments && hasWildcard(argumentCount, arguments)) {
        std::fputs(wildcardMessage, stdout);
        return exitFailure;
    }
    const bool report = std::strcmp(arguments[firstArgumentIndex], reportOption) == 0;
    if (!report) printBanner();
    SignalCleanup::install(SignalCleanup::Response::endProcess);
    try {
        return report ? runReports(argumentCount, arguments, runReport) : runJobs(argumentCount, arguments, runJob);
    } catch (const CPdfException& error) {
        printError(error.getMessage());
    } catch (...) {
        printError(unexpectedMessage);
    }
    // A job that a recorded signal stopped ends as the signal would have ended it.
    SignalCleanup::endIfSignalled();
    return exitFailure;
}
