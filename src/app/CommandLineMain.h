#pragma once

// The program started with command-line options (see SeriesArguments.h) instead of for its
// window.
bool WantsCommandLine(int argc, char** argv);

// Runs the command line: usage, version, or one series without a window. Returns the exit
// status.
int RunCommandLine(int& argc, char** argv);
