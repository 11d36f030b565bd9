#pragma once

#include "results/FrameFigures.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

// Reading a data file (result_<stamp>.json, written by DataFiles.h) back, for the results
// window. The files come from outside the program's hands (a folder anyone may write to), so
// the reader bounds what it accepts and reports a reason for everything it cannot use. Not to
// be confused with the game's result file, which gives a run its score (run/ScoreReading.h).

inline constexpr qsizetype DataFileMaxBytes = 1024 * 1024;
inline constexpr int DataFileMaxDepth = 8;
inline constexpr int DataFileMaxRows = 64;
inline constexpr int DataFileMaxRuns = 64;

struct DataFileRowSummary {
    QString Caption;
    int Count = 0;
    std::optional<double> Mean;
    std::optional<double> Min;
    std::optional<double> Max;
    std::optional<double> StdDev;
    std::optional<int> Average;
    std::vector<std::optional<double>> Fps;
    // Format 2, per run beside Fps: its "frame_times" (figures, or why there are none, without
    // the frames, which stand in the frames file); nothing for a run that has none (format 1).
    std::vector<std::optional<RunFrames>> RunFrameTimes;
    // Format 2: the row's figures, the mean over its runs with frame times.
    std::optional<FrameFigures> FrameTimes;
};

struct DataFileSummary {
    QDateTime Started;
    QString Version;
    QString Note;
    std::vector<DataFileRowSummary> Rows;
};

// A data file read, or why it cannot be used.
struct DataFileRead {
    std::optional<DataFileSummary> Summary;
    QString Problem; // set exactly when Summary is empty
};

DataFileRead ReadDataFile(const QByteArray& bytes);
