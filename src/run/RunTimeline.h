#pragma once

#include "results/FrameFigures.h"
#include "run/MangoHudLog.h"

#include <optional>
#include <utility>
#include <vector>

// The frame logs MangoHud left during one run, put on one clock: seconds since the run
// started. Each log counts from its own start; a file's last change came with its last row
// (every version writes the row of a frame as it ends, or the whole log as logging stops), so
// its last log started that file time minus its last frame's time. An earlier log appended to
// the same file is taken to end where the next one starts (they started within one second).
struct RunTimeline {
    std::vector<LoggedFrame> Frames;                // in order of time
    std::vector<std::pair<double, double>> Covered; // the spans the logs cover, in order
    std::vector<SensorSample> Sensors;              // AtSeconds on the run's clock
    bool NewerColumns = false;                      // a log of MangoHud 0.7.0 or later
};

// Adds a log file read in whole, whose last change was `writtenSeconds` after the run started.
void AddLogFile(RunTimeline& timeline, MangoHudLogRead read, double writtenSeconds);
// Puts the frames, spans and samples in order of time once every file is added.
void OrderTimeline(RunTimeline& timeline);

// The demo's frames on the timeline: the demo ended `demoEndSeconds` after the run started
// and played `demoSeconds` (`demoFrames` frames, when known). When the logs cover the whole
// demo and its frame count is known, the demo is its last that many frames; otherwise the
// frames that ended inside it, less those within the start's uncertainty (see
// SelectDemoFrames). Share is the part of the demo's time the logs cover; a run with less than
// all of it (a gap or a missing end) is partial.
DemoFrames TimelineDemoFrames(const RunTimeline& timeline, double demoEndSeconds,
                              double demoSeconds, std::optional<qint64> demoFrames);
