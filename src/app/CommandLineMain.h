#pragma once

// The program started with command-line options (see SeriesArguments.h) instead of for its
// window.
bool WantsCommandLine(int argc, char** argv);

// Runs the command line: usage, version, or one series without a window. Returns the exit
// status.
int RunCommandLine(int& argc, char** argv);

// Whether a window can be shown: a display server is named, or a Qt platform is.
bool DisplayAvailable();

// The window's start without a display: one line on standard error; returns the exit status.
int RefuseWithoutDisplay();

// What a window started during a series from the command line says before it ends.
inline constexpr char CommandLineSeriesRunningText[] =
    "A benchmark series is running from the command line, so the window does not open now. "
    "Start the program again once the series has ended (Ctrl-C in its terminal stops it).";
