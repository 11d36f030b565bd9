#pragma once

// What MangoHud does for the stand-in game, as MangoHud's versions do for a real program. It is
// active only when the game was started through it ("mangohud %command%" in Steam sets
// MANGOHUD=1). It reads the per-application configuration
// <$XDG_CONFIG_HOME or ~/.config>/MangoHud/<executable>.conf; with "autostart_log" it logs from
// the start, and with "log_interval=0" every frame into "output_folder". It watches that file:
// a change stops the active log (writing it) and, with autostart_log, starts a new one a
// moment later. The file is <output_folder>/<executable>_<YYYY-MM-DD_HH-MM-SS>.csv beside
// ..._summary.csv; two header lines, the column names, then one row per frame with the frame
// time in microseconds and the time since logging started in nanoseconds.
// VARNHOLT_TESTBED_MANGOHUD picks the version's behaviour:
// - "0.6.8" (the default, Debian 12's, tried here): rows kept in memory and written when
//   logging stops (a change of the file or "log_duration" whole seconds); a game that ends while
//   logging leaves none; the file is named after the time logging stopped; logging starts at once.
// - "0.7" (0.6.9 to 0.7.1, from MangoHud's source): every row appended and flushed as it is
//   logged, so the game's end leaves the whole log; the file is named after the time logging
//   started (two logs of one second share it, the second appended); logging starts a second
//   after the configuration is read; swap_used and process_rss columns.
// - "0.8" (0.7.2 to 0.8.x): as "0.7", but "no_display" keeps logging from ever starting;
//   cpu_power and cpu_mhz columns too.

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

namespace testbed {

// The demo's frame times a test asks for: "BASE_MS,SPIKE_MS,EVERY" (every EVERY-th frame takes
// SPIKE_MS, the others BASE_MS), optionally followed by ",BIG_MS,BIG_EVERY" (every
// BIG_EVERY-th frame takes BIG_MS instead). Without it the game plays as before, logging
// nothing.
inline constexpr char kFrameMsEnv[] = "VARNHOLT_TESTBED_FRAME_MS";
// How long the game loads before the demo plays (frames of 50 ms), default 0.
inline constexpr char kLoadMsEnv[] = "VARNHOLT_TESTBED_LOAD_MS";

struct FramePattern {
    double baseMs = 0;
    double spikeMs = 0;
    int every = 0;
    double bigMs = 0;
    int bigEvery = 0; // 0: no big spikes

    double msOf(int frame) const {
        if (bigEvery > 0 && frame % bigEvery == 0)
            return bigMs;
        return frame % every == 0 ? spikeMs : baseMs;
    }
};

inline std::optional<FramePattern> framePattern() {
    const QStringList parts = qEnvironmentVariable(kFrameMsEnv).split(QLatin1Char(','));
    if (parts.size() != 3 && parts.size() != 5)
        return std::nullopt;
    FramePattern pattern{parts[0].toDouble(), parts[1].toDouble(), parts[2].toInt()};
    if (parts.size() == 5) {
        pattern.bigMs = parts[3].toDouble();
        pattern.bigEvery = parts[4].toInt();
        if (!(pattern.bigMs > 0) || pattern.bigEvery < 1)
            return std::nullopt;
    }
    if (!(pattern.baseMs > 0) || !(pattern.spikeMs > 0) || pattern.every < 1)
        return std::nullopt;
    return pattern;
}

// The version whose behaviour the stand-in's MangoHud has: "0.6.8", "0.7" or "0.8".
inline constexpr char kMangoHudVersionEnv[] = "VARNHOLT_TESTBED_MANGOHUD";
enum class MangoHudVersion { V068, V07, V08 };

inline MangoHudVersion mangoHudVersion() {
    const QString version = qEnvironmentVariable(kMangoHudVersionEnv);
    if (version == QLatin1String("0.7"))
        return MangoHudVersion::V07;
    if (version == QLatin1String("0.8"))
        return MangoHudVersion::V08;
    return MangoHudVersion::V068;
}

// The loading time of this start (from 0): kLoadMsEnv may list one per start, "4000,1000"; the
// last one holds for later starts.
inline int loadMsFor(int start) {
    const QStringList parts =
        qEnvironmentVariable(kLoadMsEnv).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return 0;
    return std::max(0, parts.at(std::min<qsizetype>(start, parts.size() - 1)).trimmed().toInt());
}

struct FrameLogConfig {
    QString folder;
    int durationSeconds = 0; // 0: until the game ends
    bool noDisplay = false;
};

inline QString frameLogConfigPath(const QString& exeName) {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = qEnvironmentVariable("HOME") + QStringLiteral("/.config");
    return configHome + QStringLiteral("/MangoHud/") + exeName + QStringLiteral(".conf");
}

// The configuration MangoHud would act on; nothing when it would not log every frame from the
// start.
inline std::optional<FrameLogConfig> parseFrameLogConfig(const QByteArray& text) {
    FrameLogConfig config;
    bool autostart = false;
    bool everyFrame = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('#'))
            continue;
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = line.left(equals < 0 ? line.size() : equals).trimmed();
        const QByteArray value = equals < 0 ? QByteArray() : line.mid(equals + 1).trimmed();
        if (key == "output_folder")
            config.folder = QFile::decodeName(value);
        else if (key == "autostart_log")
            autostart = value.toInt() != 0;
        else if (key == "log_interval")
            everyFrame = value.toInt() == 0;
        else if (key == "log_duration")
            config.durationSeconds = value.toInt(); // whole seconds: "0.5" is no duration
        else if (key == "no_display")
            config.noDisplay = value.isEmpty() || value.toInt() != 0;
    }
    if (!autostart || !everyFrame || config.folder.isEmpty())
        return std::nullopt;
    return config;
}

struct VirtualFrame {
    double ms;
    double endSeconds; // since the game started
    bool loading = false;
};

// The game's frames: loading frames of 50 ms for `loadMs`, then the demo's frames as the
// pattern says for `playMs`. `demoFrames`/`demoSeconds` tell the demo's part.
inline std::vector<VirtualFrame> virtualFrames(const FramePattern& pattern, int loadMs, int playMs,
                                               std::int64_t& demoFrames, double& demoSeconds) {
    std::vector<VirtualFrame> frames;
    double at = 0;
    while (at * 1000 + 50 <= loadMs) {
        at += 0.05;
        frames.push_back({50, at, true});
    }
    const double demoStart = at;
    demoFrames = 0;
    for (int i = 1;; ++i) {
        const double ms = pattern.msOf(i);
        if ((at - demoStart) * 1000 + ms > playMs && demoFrames > 0)
            break;
        at += ms / 1000;
        frames.push_back({ms, at});
        ++demoFrames;
    }
    demoSeconds = at - demoStart;
    return frames;
}

// MangoHud in the game's process, for one start: logs the frames as they end on the real
// clock, watching its configuration file.
class StandInMangoHud {
public:
    StandInMangoHud(QString exeName, const std::vector<VirtualFrame>& frames)
        : exe_(std::move(exeName)), frames_(frames), version_(mangoHudVersion()),
          configPath_(frameLogConfigPath(exe_)) {}

    // Plays the frames until `seconds` on the real clock from `start`.
    template <class Clock> void play(typename Clock::time_point start, double seconds) {
        const bool on = qEnvironmentVariable("MANGOHUD") == QLatin1String("1");
        if (on) {
            configText_ = readConfig();
            startAfter(0, version_ == MangoHudVersion::V068 ? 0.0 : 1.0);
        }
        for (;;) {
            const double now = std::chrono::duration<double>(Clock::now() - start).count();
            const double at = std::min(now, seconds);
            if (on) {
                const QByteArray text = readConfig();
                if (text != configText_) {
                    // MangoHud's watch: the active log stops and is written; autostart begins
                    // a new one a moment later.
                    configText_ = text;
                    logUntil(at);
                    stop();
                    startAfter(at, kRestartSeconds);
                }
                if (!logging_ && pendingStart_ && at >= *pendingStart_)
                    begin(*pendingStart_);
                logUntil(at);
                if (logging_ && config_->durationSeconds > 0 &&
                    at - logStart_ >= config_->durationSeconds)
                    stop();
            }
            if (now >= seconds)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // The game ends here: a log written only when logging stops is lost.
        if (logging_ && version_ != MangoHudVersion::V068)
            file_.close();
    }

private:
    static constexpr double kRestartSeconds = 0.3;

    QByteArray readConfig() const {
        QFile file(configPath_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void startAfter(double now, double delay) {
        pendingStart_.reset();
        config_ = parseFrameLogConfig(configText_);
        if (!config_ || (config_->noDisplay && version_ == MangoHudVersion::V08))
            return;
        pendingStart_ = now + delay;
    }

    QString stampNow() const {
        return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    }
    QString base(const QString& stamp) const {
        return config_->folder + QLatin1Char('/') + exe_ + QLatin1Char('_') + stamp;
    }

    void begin(double at) {
        pendingStart_.reset();
        logging_ = true;
        logStart_ = at;
        rows_.clear();
        startStamp_ = stampNow();
        next_ = static_cast<std::size_t>(
            std::lower_bound(frames_.begin(), frames_.end(), at,
                             [](const VirtualFrame& f, double t) { return f.endSeconds <= t; }) -
            frames_.begin());
        if (version_ != MangoHudVersion::V068) {
            QDir().mkpath(config_->folder);
            file_.setFileName(base(startStamp_) + QStringLiteral(".csv"));
            if (file_.open(QIODevice::WriteOnly | QIODevice::Append))
                file_.write(header());
        }
    }

    QByteArray header() const {
        QByteArray columns = "fps,frametime,cpu_load,";
        if (version_ == MangoHudVersion::V08)
            columns += "cpu_power,";
        columns += "gpu_load,cpu_temp,gpu_temp,gpu_core_clock,gpu_mem_clock,gpu_vram_used,"
                   "gpu_power,ram_used,";
        if (version_ != MangoHudVersion::V068)
            columns += "swap_used,process_rss,";
        if (version_ == MangoHudVersion::V08)
            columns += "cpu_mhz,";
        return "os,cpu,gpu,ram,kernel,driver,cpuscheduler\nStand-in,Stand-in,,0,0,Stand-in,\n" +
               columns + "elapsed\n";
    }

    // A frame's row: the GPU works harder and faster in the demo than while loading; the CPU's
    // temperature and power, the GPU's and swap have no sensor (zero).
    QByteArray row(const VirtualFrame& frame) const {
        const bool v08 = version_ == MangoHudVersion::V08;
        QByteArray text = QByteArray::number(1000.0 / frame.ms, 'g', 6) + ',' +
                          QByteArray::number(static_cast<std::int64_t>(frame.ms * 1000 + 0.5)) +
                          ",35,";
        if (v08)
            text += "0,";
        text += frame.loading ? "20,0,0,600,1500,1.5,0,6.2," : "97,0,0,1800,7000,2.5,0,6.2,";
        if (version_ != MangoHudVersion::V068)
            text += "0,1.1,";
        if (v08)
            text += "4200,";
        text += QByteArray::number(
                    static_cast<std::int64_t>((frame.endSeconds - logStart_) * 1e9 + 0.5)) +
                '\n';
        return text;
    }

    // The rows of the frames that ended by `at`.
    void logUntil(double at) {
        if (!logging_)
            return;
        QByteArray rows;
        while (next_ < frames_.size() && frames_[next_].endSeconds <= at)
            rows += row(frames_[next_++]);
        if (rows.isEmpty())
            return;
        if (version_ == MangoHudVersion::V068) {
            rows_ += rows;
        } else if (file_.isOpen()) {
            file_.write(rows);
            file_.flush();
        }
    }

    void stop() {
        if (!logging_)
            return;
        logging_ = false;
        QString stamp = startStamp_;
        if (version_ == MangoHudVersion::V068) {
            stamp = stampNow();
            QDir().mkpath(config_->folder);
            QSaveFile log(base(stamp) + QStringLiteral(".csv"));
            if (!log.open(QIODevice::WriteOnly) || log.write(header() + rows_) < 0 || !log.commit())
                std::fprintf(stderr, "%s: cannot write the frame log\n", qPrintable(exe_));
            rows_.clear();
        } else {
            file_.close();
        }
        QFile summary(base(stamp) + QStringLiteral("_summary.csv"));
        if (summary.open(QIODevice::WriteOnly | QIODevice::Append))
            summary.write("0.1% Min FPS,1% Min FPS,97% Percentile FPS,Average FPS,GPU Load,CPU "
                          "Load\n0,0,0,0,0,0\n");
    }

    QString exe_;
    const std::vector<VirtualFrame>& frames_;
    MangoHudVersion version_;
    QString configPath_;
    QByteArray configText_;
    std::optional<FrameLogConfig> config_;
    std::optional<double> pendingStart_;
    bool logging_ = false;
    double logStart_ = 0;
    QString startStamp_;
    std::size_t next_ = 0;
    QByteArray rows_; // 0.6.8: until logging stops
    QFile file_;      // later versions: appended as logged
};

} // namespace testbed
