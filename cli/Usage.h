#pragma once

// The lines that open every run that does work: product, version, notice, addresses.
void printBanner();

// The help text printed when the program is started without arguments or asked for help.
void printUsage();

// The command's name and version on one line, its licence on the next.
void printVersion();
