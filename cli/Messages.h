#pragma once

// Said both by the program entry and by the option parser when a job has no output file name.
inline constexpr char missingOutputFileMessage[] =
    "Error! The output file name is missing, e.g. quillmor input.pdf output.pdf -scale50\n";

// The option whose value is a password: read by the option parser, passed over by the wildcard test.
inline constexpr char passwordOption[] = "-password";

// As the first argument: report the input's pages instead of resizing them.
inline constexpr char reportOption[] = "-info";

// Said when the report option has no file after it.
inline constexpr char missingReportInputMessage[] =
    "Error! -info needs a PDF or a list file after it, e.g. quillmor -info input.pdf -page a4\n";
