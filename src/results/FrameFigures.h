#pragma once

#include "model/LoggedFrame.h"
#include "results/SensorFigures.h"

#include <QString>
#include <optional>
#include <span>
#include <vector>

// How smooth a run was, from the times of its frames (milliseconds).
struct FrameFigures {
    int Frames = 0;
    double AverageFps = 0; // frames per second over the frames' summed time
    // 1000 / the 99th and 99.9th percentile frame time (nearest rank).
    double Percentile1LowFps = 0;
    double Percentile01LowFps = 0;
    // 1000 / the mean time of the slowest 1 % and 0.1 % of the frames (at least one frame).
    double Average1LowFps = 0;
    double Average01LowFps = 0;
    double SlowestFrameMs = 0;
    double MedianFrameMs = 0;
    // Frames longer than twice the median frame time, and their share of the run's time (0..1).
    int Stutters = 0;
    double StutterTimeShare = 0;
};

// Nothing for no frames or frames whose times add up to nothing.
std::optional<FrameFigures> ComputeFrameFigures(std::span<const float> frameMs);

// The figures of a run's frames as the data files can hold them, or why they cannot: a frame
// the frames file does not hold (not a time from 0 to kMaxFrameMs, such as a suspend of the
// machine), more than kMaxFramesPerRun frames, or figures that are no finite numbers (frame
// times nearly all zero). Nothing when there are no frames.
struct RecordableFigures {
    std::optional<FrameFigures> Figures;
    QString Missing; // set exactly when Figures is not
};
RecordableFigures RecordableFrameFigures(std::span<const float> frameMs);

// The figures of a resolution row: the mean of each figure over the runs that have them
// (frames, stutters and the slowest frame too). Nothing when no run has figures.
std::optional<FrameFigures> MeanFrameFigures(const std::vector<std::optional<FrameFigures>>& runs);

// The frame times of one run.
struct RunFrames {
    std::optional<FrameFigures> Figures; // nothing: see Missing
    QString Missing;                     // why there are none
    bool Partial = false;                // the log covers only part of the demo
    double Share = 0;                    // the part of the demo's time it covers (0..1)
    std::vector<float> FrameMs;          // the demo's frames, in milliseconds
    // MangoHud's sensors during the demo: the columns that held values, whether the GPU clock
    // fell, and the trace the results window draws.
    std::vector<SensorFigure> Sensors{};
    bool ClockFell = false;
    SensorTrace Trace{};
};

// The frames of a log that belong to the timedemo: those that ended after `demoStartSeconds`
// and at most `demoSeconds` later (log time). The start comes from the times of two files
// written by two programs, so it is known to some milliseconds only: frames that end within
// kDemoStartUncertainty (or a quarter of the demo's average frame, `demoSeconds` /
// `demoFrames`, when that is longer) after it are taken for loading frames, which can be long
// and would count as the run's slowest. The log may stop before the demo's end: then the run
// is partial, and Share tells the part of the demo's time the log covers.
inline constexpr double kDemoStartUncertainty = 0.05;
struct DemoFrames {
    std::vector<float> FrameMs;
    bool Partial = false;
    double Share = 0; // 0..1
};
DemoFrames SelectDemoFrames(std::span<const LoggedFrame> log, double demoStartSeconds,
                            double demoSeconds, std::optional<qint64> demoFrames = std::nullopt);
