#include "run/FrameRecording.h"

#include "run/MangoHudLog.h"
#include "run/RunTimeline.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <limits>

namespace {

// Two cuts at least this far apart: their logs never share a name (whole seconds).
constexpr qint64 kMinCutGapMs = 1500;
// A log file that changed since a cut is looked at again this much later: one MangoHud
// appends to has grown by then.
constexpr int kGrowthLookMs = 500;

QString folderOf(const QString& variable, const QString& belowHome) {
    QString folder = qEnvironmentVariable(variable.toLatin1().constData());
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        folder = QDir::homePath() + belowHome;
    return folder;
}

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// The frame logs of the folder (not MangoHud's summaries), regular files only.
QFileInfoList logFiles(const QString& folder) {
    QFileInfoList logs;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks))
        if (IsMangoHudLogName(file.fileName()))
            logs << file;
    return logs;
}

// The sensors of the samples taken during the demo (not while it loaded).
void addSensors(RunFrames& frames, const std::vector<SensorSample>& samples, double demoStart,
                double demoEnd) {
    std::vector<const SensorSample*> demo;
    for (const SensorSample& sample : samples)
        if (sample.AtSeconds > demoStart + kDemoStartUncertainty && sample.AtSeconds <= demoEnd)
            demo.push_back(&sample);
    if (demo.empty())
        return;
    std::vector<float> values(demo.size());
    const auto column = [&](std::size_t index) {
        for (std::size_t i = 0; i < demo.size(); ++i)
            values[i] = demo[i]->Values[index];
        return values;
    };
    std::size_t clockIndex = 0, cpuIndex = 0, gpuIndex = 0;
    for (std::size_t c = 0; c < kSensorCount; ++c) {
        const QString name = QLatin1String(kSensorColumns[c]);
        if (name == QLatin1String("gpu_core_clock"))
            clockIndex = c;
        else if (name == QLatin1String("cpu_load"))
            cpuIndex = c;
        else if (name == QLatin1String("gpu_load"))
            gpuIndex = c;
        if (const std::optional<SensorFigure> figure = SensorFigureOf(name, column(c)))
            frames.Sensors.push_back(*figure);
    }
    SensorTrace trace;
    for (const SensorSample* sample : demo)
        trace.Seconds.push_back(static_cast<float>(sample->AtSeconds - demoStart));
    trace.GpuClock = column(clockIndex);
    trace.CpuLoad = column(cpuIndex);
    trace.GpuLoad = column(gpuIndex);
    frames.ClockFell = ClockFell(trace.Seconds, trace.GpuClock);
    // Columns without a sensor are left out of the trace as of the figures.
    const auto known = [&](const char* name) {
        return std::any_of(frames.Sensors.begin(), frames.Sensors.end(),
                           [&](const SensorFigure& f) { return f.Name == QLatin1String(name); });
    };
    const float none = std::numeric_limits<float>::quiet_NaN();
    if (!known("gpu_core_clock"))
        std::fill(trace.GpuClock.begin(), trace.GpuClock.end(), none);
    if (!known("cpu_load"))
        std::fill(trace.CpuLoad.begin(), trace.CpuLoad.end(), none);
    if (!known("gpu_load"))
        std::fill(trace.GpuLoad.begin(), trace.GpuLoad.end(), none);
    if (known("gpu_core_clock") || known("cpu_load") || known("gpu_load"))
        frames.Trace = ThinnedTrace(std::move(trace));
}

} // namespace

std::optional<qint64> FinalCutMs(std::optional<qint64> learnedDemoEndMs) {
    if (!learnedDemoEndMs || *learnedDemoEndMs - kFinalCutMarginMs < kMinCutGapMs)
        return std::nullopt;
    return *learnedDemoEndMs - kFinalCutMarginMs;
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

FrameRecording::FrameRecording(QString configFolder, QString logFolder, int cutIntervalMs)
    : keeper_(std::move(configFolder)), logFolder_(std::move(logFolder)),
      cutIntervalMs_(std::max<int>(cutIntervalMs, kMinCutGapMs)) {
    timer_.setSingleShot(true);
    // A coarse timer may fire 5 % early; the last cut is to come when planned.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.callOnTimeout([this] { cutDue(); });
}

FrameRecording::~FrameRecording() {
    End();
}

std::optional<QString> FrameRecording::Begin() {
    QDir().mkpath(logFolder_);
    logging_ = MangoHudLogging::Unknown;
    learnedEndMs_.reset();
    anyLog_ = false;
    cut_ = 0;
    active_ = true;
    if (const std::optional<QString> why = keeper_.Install(MangoHudConfigText(logFolder_, cut_))) {
        active_ = false;
        return why;
    }
    return std::nullopt;
}

void FrameRecording::BeforeRun(const QDateTime& now) {
    if (!active_)
        return;
    runStartMs_ = now.toMSecsSinceEpoch();
    lastCutMs_ = 0;
    runCuts_ = 0;
    watched_.clear();
    running_ = true;
    schedule();
}

void FrameRecording::schedule() {
    if (!running_ || logging_ == MangoHudLogging::Appending)
        return;
    const qint64 from = lastCutMs_ ? lastCutMs_ : runStartMs_;
    qint64 due = from + cutIntervalMs_;
    if (const std::optional<qint64> last = FinalCutMs(learnedEndMs_)) {
        const qint64 at = runStartMs_ + *last;
        if (at >= from + kMinCutGapMs && at < due)
            due = at;
    }
    timer_.start(static_cast<int>(std::clamp<qint64>(due - nowMs(), 0, 24 * 3600 * 1000)));
}

std::vector<std::pair<QString, qint64>> FrameRecording::growingCandidates() const {
    // A cut's log is written at once; before any cut, no log is written in this way at all.
    const qint64 since = lastCutMs_ ? lastCutMs_ + kCutSettleMs : runStartMs_;
    std::vector<std::pair<QString, qint64>> changed;
    for (const QFileInfo& file : logFiles(logFolder_))
        if (file.lastModified().toMSecsSinceEpoch() > since)
            changed.emplace_back(file.filePath(), file.size());
    return changed;
}

void FrameRecording::cutDue() {
    if (!running_ || logging_ == MangoHudLogging::Appending)
        return;
    if (!watched_.empty()) {
        // Looked at again: a file that grew is a log MangoHud appends to. Never cut it.
        for (const auto& [path, size] : watched_) {
            if (QFileInfo(path).size() != size) {
                watched_.clear();
                logging_ = MangoHudLogging::Appending;
                return;
            }
        }
        watched_.clear();
        cut();
        return;
    }
    watched_ = growingCandidates();
    if (!watched_.empty()) {
        timer_.start(kGrowthLookMs);
        return;
    }
    cut();
}

void FrameRecording::cut() {
    ++cut_;
    ++runCuts_;
    // A configuration that cannot be written cuts nothing; the next try comes as planned.
    keeper_.Install(MangoHudConfigText(logFolder_, cut_));
    lastCutMs_ = nowMs();
    schedule();
}

RunFrames FrameRecording::AfterRun(const PlayedRun& played,
                                   const std::optional<QDateTime>& resultWritten) {
    running_ = false;
    timer_.stop();
    watched_.clear();
    RunFrames frames;
    if (!active_) {
        frames.Missing = QStringLiteral("frame times are not recorded");
        return frames;
    }
    const bool demoKnown = played.Seconds && *played.Seconds > 0 && resultWritten;
    // The next run's last cut follows this run's demo end; a run without one teaches nothing.
    learnedEndMs_.reset();
    if (demoKnown)
        learnedEndMs_ = resultWritten->toMSecsSinceEpoch() - runStartMs_;

    RunTimeline timeline;
    QString problem;
    bool found = false;
    for (const QFileInfo& file : logFiles(logFolder_)) {
        const qint64 written = file.lastModified().toMSecsSinceEpoch();
        if (written < runStartMs_)
            continue;
        found = true;
        MangoHudLogRead read = ReadMangoHudLogFile(file.filePath());
        if (!read.Frames) {
            problem = read.Problem;
            continue;
        }
        AddLogFile(timeline, std::move(read), static_cast<double>(written - runStartMs_) / 1000.0);
    }
    if (!found) {
        frames.Missing = QStringLiteral("no MangoHud log");
        return frames;
    }
    anyLog_ = true;
    // Columns of 0.7.0 or later, or a log left without a cut: MangoHud appends as it logs.
    if (timeline.NewerColumns || runCuts_ == 0)
        logging_ = MangoHudLogging::Appending;
    else if (logging_ == MangoHudLogging::Unknown)
        logging_ = MangoHudLogging::WrittenAtStop;
    if (timeline.Frames.empty()) {
        frames.Missing = problem.isEmpty()
                             ? QStringLiteral("the MangoHud log has no frames")
                             : QStringLiteral("the MangoHud log cannot be read: ") + problem;
        return frames;
    }
    if (!demoKnown) {
        frames.Missing = QStringLiteral("the game's result gives no demo time");
        return frames;
    }
    OrderTimeline(timeline);
    const double demoEnd =
        static_cast<double>(resultWritten->toMSecsSinceEpoch() - runStartMs_) / 1000.0;
    DemoFrames demo = TimelineDemoFrames(timeline, demoEnd, *played.Seconds, played.Frames);
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
    if (frames.Figures)
        addSensors(frames, timeline.Sensors, demoEnd - *played.Seconds, demoEnd);
    return frames;
}

void FrameRecording::End() {
    running_ = false;
    timer_.stop();
    if (!active_)
        return;
    active_ = false;
    keeper_.Restore();
}
