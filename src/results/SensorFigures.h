#pragma once

#include <QString>
#include <optional>
#include <span>
#include <vector>

// What MangoHud's sensor columns said during a run's demo (loads in %, clocks in MHz,
// temperatures in °C, power in W, memory in GiB, as MangoHud logs them).

// The mean and the peak of one column over the demo.
struct SensorFigure {
    QString Name; // MangoHud's column name: "gpu_core_clock", "cpu_load", ...
    double Mean = 0;
    double Peak = 0;
};

// The columns the results window draws under the frame times, sampled over the demo.
struct SensorTrace {
    std::vector<float> Seconds;                    // since the demo started
    std::vector<float> GpuClock, CpuLoad, GpuLoad; // NaN where a sample has none
};

// A trace longer than this is thinned to it (evenly) before it is kept.
inline constexpr std::size_t kMaxSensorTracePoints = 20000;

// The figure of one column's samples; nothing when it has no value but zeros (no sensor) or
// none at all (NaN: not logged).
std::optional<SensorFigure> SensorFigureOf(const QString& name, std::span<const float> values);

// Whether the GPU core clock stayed more than 10 % below its own median for more than a second:
// from the first sample below to the first one back (or the last one).
inline constexpr double kClockFallShare = 0.9;
inline constexpr double kClockFallSeconds = 1.0;
bool ClockFell(std::span<const float> seconds, std::span<const float> clock);

// Every `n`-th point, so that at most kMaxSensorTracePoints remain.
SensorTrace ThinnedTrace(SensorTrace trace);
