#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// What the series says while it waits for the game on today's layout, in the window's progress
// panel as on the terminal.

// A time waited, "m:ss" ("0:42", "12:05"); a negative time is 0:00.
QString WaitedTime(qint64 ms);

// "waiting for Steam to start the game (0:42)"; once the wait is long (`late`), the reason it may
// last: "Waiting for Steam to start the game: it may be updating it or preparing shaders (1:12)".
// Other copies of the game that run meanwhile are named after it.
QString AwaitingGameLine(qint64 waitedMs, bool late, const QStringList& otherCopies);

// "the game is running (1:05)".
QString GameRunningLine(qint64 runningMs);

// A finished run: "run 2: 179.56 FPS", or "run 2: no result".
QString FinishedRunLine(int run, const std::optional<double>& fps);

// The series ends: Steam did not start the game before the deadline.
QString GameNeverStartedMessage(qint64 deadlineMs);

// The series ends: the game runs without the benchmark's launch options.
QString LaunchOptionsDroppedMessage();

// The status line with either of those two ends.
inline constexpr char GameNeverStartedStatus[] = "Benchmark aborted: Steam did not start the game.";
inline constexpr char LaunchOptionsDroppedStatus[] =
    "Benchmark aborted: Steam started the game without the benchmark's launch options.";
