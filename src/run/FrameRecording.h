#pragma once

#include "game/MangoHudConfig.h"
#include "model/PlayedRun.h"
#include "results/FrameFigures.h"

#include <QDateTime>
#include <QString>
#include <QTimer>
#include <optional>
#include <vector>

// Frame times of the runs of a series, through MangoHud: its per-application configuration for
// the game is in place for the series, and each run's logs are read after the run.
//
// MangoHud versions write their log in one of two ways, and the program tells which it meets
// by what the log folder shows while the game runs:
// - from 0.6.9 on, every row is appended to the file as it is logged: the file appears as
//   logging starts and grows with every frame. The game's end leaves the whole log, so a run
//   has all its demo frames and nothing more is done.
// - up to 0.6.8 the rows are kept in memory and written when logging stops, and a game that
//   ends while logging leaves nothing. A change of MangoHud's configuration file stops and
//   writes the active log, and autostart_log starts a new one: while the game runs the program
//   changes the file ("cuts" the log) every so often, and once more a second before the demo's
//   end as the run before saw it. The pieces are put on one clock; what lies after the last cut
//   (and the fraction of a second between two pieces) is missing, and the run is partial.
// Until a run has shown which, the program cuts, but only while no log file is growing: a cut
// before MangoHud logs at all does nothing in any version.

// What the log folder has shown of MangoHud in this series.
enum class MangoHudLogging { Unknown, WrittenAtStop, Appending };

// The last cut of a run: this long before the demo's end as the run before saw it, so that the
// game has not ended yet when MangoHud writes the log.
inline constexpr qint64 kFinalCutMarginMs = 1000;
// A log written by a cut is there this soon after it; a log file changed later than that grows
// as it is logged.
inline constexpr qint64 kCutSettleMs = 1000;

// When the last cut of a run comes, in milliseconds after the run started: the margin before
// the demo's end learned from the run before. Nothing when there is nothing learned or the
// demo ended too early.
std::optional<qint64> FinalCutMs(std::optional<qint64> learnedDemoEndMs);

class FrameRecording {
public:
    // `cutIntervalMs`: between two cuts of a log written when logging stops (Timings).
    FrameRecording(QString configFolder, QString logFolder, int cutIntervalMs);
    ~FrameRecording(); // puts the user's files back, should End() not have run

    // The configuration in place. Nothing, or why it could not be.
    std::optional<QString> Begin();
    // Before a run: when it starts.
    void BeforeRun(const QDateTime& now);
    // After a run: its logs read. `resultWritten` is when the game wrote its result file.
    RunFrames AfterRun(const PlayedRun& played, const std::optional<QDateTime>& resultWritten);
    // The user's files back.
    void End();

    // Whether any run of the series left a log.
    bool AnyLog() const { return anyLog_; }
    const QString& logFolder() const { return logFolder_; }
    MangoHudLogging Logging() const { return logging_; }
    int Cuts() const { return cut_; }
    // The demo's end after the run's start, from the last run; nothing after a run without a
    // result.
    std::optional<qint64> LearnedDemoEndMs() const { return learnedEndMs_; }

private:
    void schedule();
    void cutDue();
    void cut();
    // Log files of this run changed later than a cut could have written them, with their
    // sizes.
    std::vector<std::pair<QString, qint64>> growingCandidates() const;

    MangoHudConfigKeeper keeper_;
    QString logFolder_;
    int cutIntervalMs_;
    MangoHudLogging logging_ = MangoHudLogging::Unknown;
    QTimer timer_;
    int cut_ = 0;
    int runCuts_ = 0;
    qint64 runStartMs_ = 0;
    qint64 lastCutMs_ = 0; // 0: none in this run
    bool running_ = false;
    std::vector<std::pair<QString, qint64>> watched_; // looked at again before a cut
    std::optional<qint64> learnedEndMs_;
    bool anyLog_ = false;
    bool active_ = false;
};

// Where the program keeps the logs: <$XDG_STATE_HOME or ~/.local/state>/Quillon/frames/.
QString DefaultFrameLogFolder();

// The message after a series that recorded no frame times.
QString NoFrameTimesMessage();
