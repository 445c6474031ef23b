#pragma once

// The lines that open every run that does work: product, version, notice, addresses.
void printBanner();

// The help text printed when the program is started without arguments.
void printUsage();
