#pragma once

#include <cstddef>

// What the data files hold of a run's frames. The writer (DataFiles) leaves out what lies
// beyond these, with a reason, and the readers (FramesFile, DataFileReader) refuse it: so what
// the program writes it always reads back.

// A frame longer than an hour is no frame of a timedemo (a machine that slept, say).
inline constexpr double kMaxFrameMs = 3'600'000;
// The frames of one run kept at most (a MangoHud log of the most frames read).
inline constexpr std::size_t kMaxFramesPerRun = 16'000'000;
