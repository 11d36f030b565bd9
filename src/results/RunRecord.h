#pragma once

#include "model/PlayedRun.h"
#include "model/SlotTable.h"
#include "results/FrameFigures.h"

#include <QString>
#include <optional>
#include <vector>

// One run of a series as it was collected, kept for the data files beside the report.
struct RunRecord {
    std::optional<QString> Text; // the score text as read; nothing when the run left no file
    std::optional<int> Score;    // the rounded score the report shows (several runs per row)
    std::optional<double> Fps;   // the frame rate; nothing for a run without a result
    PlayedRun Played;
    std::optional<RunFrames> Frames; // nothing when frame times were not asked for
};

// The runs of one resolution row, in the order they were made.
struct RowRecord {
    int SlotIndex = 0;
    QString Caption;          // "640 × 480", or "1280 × 720 (Custom)" for the custom row
    std::optional<int> Width; // the size asked for
    std::optional<int> Height;
    std::vector<RunRecord> Runs;
};

// The caption a row has in the data files.
QString RowCaption(const ResolutionSlot& slot);

// Adds a run to the row of `slot`, which starts a new row record unless it is the last one.
void AddRun(std::vector<RowRecord>& rows, const ResolutionSlot& slot, RunRecord run);
