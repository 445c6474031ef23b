#pragma once

#include <string>

#include "resize/ResizeSettings.h"

// Reads the input and output file names and the options of one job. Prints the two
// combination warnings; throws CPdfException for a bad paper name or page size.
void parseOptions(int argumentCount, const char* const* arguments, std::string& inputFileName,
                  std::string& outputFileName, ResizeSettings& settings);

// The same for a report (-info): the arguments are the program's name, the report option, the input
// file name and the options.
void parseReportOptions(int argumentCount, const char* const* arguments, std::string& inputFileName,
                        ResizeSettings& settings);
