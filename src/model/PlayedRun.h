#pragma once

#include <QtGlobal>
#include <optional>

// What today's engine writes about a run beside its frame rate (the columns of its results
// file). Each is absent when the file did not say; the system's own result file says none.
struct PlayedRun {
    std::optional<int> Width;
    std::optional<int> Height;
    std::optional<qint64> Frames;
    std::optional<double> Seconds;     // the demo's playing time
    std::optional<double> Variability; // the engine's frame-rate variability figure
};
