#pragma once

// Said both by the program entry and by the option parser when a job has no output file name.
inline constexpr char missingOutputFileMessage[] =
    "Error! The output file name is missing, e.g. quillmor input.pdf output.pdf -scale50\n";

// The option whose value is a password: read by the option parser, passed over by the wildcard test.
inline constexpr char passwordOption[] = "-password";
