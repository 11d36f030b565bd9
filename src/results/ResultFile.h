#pragma once

#include "results/FrameFigures.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

// Reading a data file back, for the results window. The files come from outside the program's
// hands (a folder anyone may write to), so the reader bounds what it accepts and reports a
// reason for everything it cannot use.

inline constexpr qsizetype ResultFileMaxBytes = 1024 * 1024;
inline constexpr int ResultFileMaxDepth = 8;
inline constexpr int ResultFileMaxRows = 64;
inline constexpr int ResultFileMaxRuns = 64;

struct ResultRowSummary {
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

struct ResultSummary {
    QDateTime Started;
    QString Version;
    QString Note;
    std::vector<ResultRowSummary> Rows;
};

// A data file read, or why it cannot be used.
struct ResultFileRead {
    std::optional<ResultSummary> Summary;
    QString Problem; // set exactly when Summary is empty
};

// The deepest nesting of arrays and objects in JSON text, counted outside strings; stops
// counting once `limit` is passed (and returns a value above it).
int JsonNestingDepth(const QByteArray& bytes, int limit);

ResultFileRead ReadResultFile(const QByteArray& bytes);
