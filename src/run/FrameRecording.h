#pragma once

#include "game/MangoHudConfig.h"
#include "model/PlayedRun.h"
#include "results/FrameFigures.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

// Frame times of the runs of a series, through MangoHud: its per-application configuration for
// the game is in place for the series, and each run's log is read after the run.
//
// MangoHud writes a log only when logging stops, and the game quits right after its timedemo,
// so logging must stop while the game still runs: after a whole number of seconds
// (log_duration). The first run of a series learns where the demo lies on MangoHud's clock:
// it logs for one second only, which ties MangoHud's clock to the wall clock (the log is
// written when logging stops), and the result file, written as the demo ends, tells when the
// demo ended and how long it played. Every later run logs until a second before the demo's end
// as the run before it saw it, and teaches the next one the same way.

// When a run's log stopped: it is written as logging stops, and its last frame ended then.
// `logWritten` and the result are in seconds since the epoch, `lastFrameAt` in log time.
double LogStartWallSeconds(double logWritten, double lastFrameAt);

// How many whole seconds the next run may log: until a second before the demo ended on the
// log's clock, at least one. Nothing when the demo ends too early for that.
std::optional<int> NextLogSeconds(double demoEndLogSeconds);

class FrameRecording {
public:
    FrameRecording(QString configFolder, QString logFolder);
    ~FrameRecording(); // puts the user's files back, should End() not have run

    // The configuration of the learning run in place. Nothing, or why it could not be.
    std::optional<QString> Begin();
    // Before a run: its configuration, and when it starts.
    void BeforeRun(const QDateTime& now);
    // After a run: its log read. `resultWritten` is when the game wrote its result file.
    RunFrames AfterRun(const PlayedRun& played, const std::optional<QDateTime>& resultWritten);
    // The user's files back.
    void End();

    // Whether any run of the series left a log.
    bool AnyLog() const { return anyLog_; }
    const QString& logFolder() const { return logFolder_; }

private:
    void install();

    MangoHudConfigKeeper keeper_;
    QString logFolder_;
    std::optional<int> logSeconds_; // nothing: learning
    int installedSeconds_ = -1;
    qint64 runStarted_ = 0;
    bool anyLog_ = false;
    bool active_ = false;
};

// Where the program keeps the logs: <$XDG_STATE_HOME or ~/.local/state>/Quillon/frames/.
QString DefaultFrameLogFolder();

// The message after a series that recorded no frame times.
QString NoFrameTimesMessage();
