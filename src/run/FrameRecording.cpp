#include "run/FrameRecording.h"

#include "run/MangoHudLog.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <cstdio>

namespace {

// The first run logs this long: enough to tie the clocks, and over before any demo ends.
constexpr int kLearningSeconds = 1;

QString folderOf(const QString& variable, const QString& belowHome) {
    QString folder = qEnvironmentVariable(variable.toLatin1().constData());
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        folder = QDir::homePath() + belowHome;
    return folder;
}

double wallSeconds(const QDateTime& time) {
    return static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0;
}

} // namespace

double LogStartWallSeconds(double logWritten, double lastFrameAt) {
    return logWritten - lastFrameAt;
}

std::optional<int> NextLogSeconds(double demoEndLogSeconds) {
    const double seconds = std::floor(demoEndLogSeconds - 1.0);
    if (!(seconds >= 1) || seconds > 24 * 3600)
        return std::nullopt;
    return static_cast<int>(seconds);
}

QString DefaultFrameLogFolder() {
    return folderOf(QStringLiteral("XDG_STATE_HOME"), QStringLiteral("/.local/state")) +
           QStringLiteral("/Quillon/frames/");
}

QString NoFrameTimesMessage() {
    return QStringLiteral(
        "No frame times were recorded: MangoHud did not run with the game.\n\nTo record them, "
        "install MangoHud and set the game's launch options in Steam (Half-Life 2: Episode One, "
        "Properties, General, Launch options) to:\n\nmangohud %command%");
}

FrameRecording::FrameRecording(QString configFolder, QString logFolder)
    : keeper_(std::move(configFolder)), logFolder_(std::move(logFolder)) {}

FrameRecording::~FrameRecording() {
    End();
}

std::optional<QString> FrameRecording::Begin() {
    QDir().mkpath(logFolder_);
    logSeconds_.reset();
    installedSeconds_ = -1;
    anyLog_ = false;
    active_ = true;
    const std::optional<QString> why =
        keeper_.Install(MangoHudConfigText(logFolder_, kLearningSeconds));
    if (why) {
        active_ = false;
        return why;
    }
    installedSeconds_ = kLearningSeconds;
    return std::nullopt;
}

void FrameRecording::install() {
    const int seconds = logSeconds_.value_or(kLearningSeconds);
    if (seconds == installedSeconds_)
        return;
    // A configuration that cannot be written leaves the last one: its log may come too late.
    if (!keeper_.Install(MangoHudConfigText(logFolder_, seconds)))
        installedSeconds_ = seconds;
}

void FrameRecording::BeforeRun(const QDateTime& now) {
    if (!active_)
        return;
    install();
    // Whole seconds, as file times are compared: a log of this run is not older.
    runStarted_ = now.toSecsSinceEpoch();
}

RunFrames FrameRecording::AfterRun(const PlayedRun& played,
                                   const std::optional<QDateTime>& resultWritten) {
    RunFrames frames;
    if (!active_) {
        frames.Missing = QStringLiteral("frame times are not recorded");
        return frames;
    }
    const bool learning = !logSeconds_;
    const QString log = NewestMangoHudLog(logFolder_, runStarted_);
    if (log.isEmpty()) {
        // Logging ran past the game's end (or MangoHud did not run): learn again.
        logSeconds_.reset();
        frames.Missing = QStringLiteral("no MangoHud log");
        return frames;
    }
    anyLog_ = true;
    MangoHudLogRead read = ReadMangoHudLogFile(log);
    if (!read.Frames || read.Frames->empty()) {
        logSeconds_.reset();
        frames.Missing = read.Frames
                             ? QStringLiteral("the MangoHud log has no frames")
                             : QStringLiteral("the MangoHud log cannot be read: ") + read.Problem;
        return frames;
    }
    if (!played.Seconds || !(*played.Seconds > 0) || !resultWritten) {
        logSeconds_.reset();
        frames.Missing = QStringLiteral("the game's result gives no demo time");
        return frames;
    }
    // The log's file was made as logging stopped; its last change came after all its rows.
    const QFileInfo logFile(log);
    const QDateTime made =
        logFile.birthTime().isValid() ? logFile.birthTime() : logFile.lastModified();
    const double logStart = LogStartWallSeconds(wallSeconds(made), read.Frames->back().AtSeconds);
    const double demoEnd = wallSeconds(*resultWritten) - logStart;
    const double demoStart = demoEnd - *played.Seconds;
    logSeconds_ = NextLogSeconds(demoEnd);
    if (learning) {
        frames.Missing = QStringLiteral("the first run learns where the demo lies");
        return frames;
    }
    DemoFrames demo = SelectDemoFrames(*read.Frames, demoStart, *played.Seconds, played.Frames);
    read = {};
    frames.Partial = demo.Partial;
    frames.Share = demo.Share;
    RecordableFigures figures = RecordableFrameFigures(demo.FrameMs);
    frames.Figures = figures.Figures;
    if (!frames.Figures) {
        // Frames the data files cannot hold are left out: they would make them unreadable.
        frames.Missing = demo.FrameMs.empty()
                             ? QStringLiteral("the MangoHud log has no frames of the demo")
                             : figures.Missing;
        return frames;
    }
    frames.FrameMs = std::move(demo.FrameMs);
    return frames;
}

void FrameRecording::End() {
    if (!active_)
        return;
    active_ = false;
    keeper_.Restore();
}
