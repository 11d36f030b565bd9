#pragma once

// What MangoHud does for the stand-in game, as Debian 12's MangoHud 0.6.8 was seen to do for a
// real program. It is active only when the game was started through it ("mangohud %command%"
// in Steam sets MANGOHUD=1). It reads the per-application configuration
// <$XDG_CONFIG_HOME or ~/.config>/MangoHud/<executable>.conf; with "autostart_log" it logs from
// the start, and with "log_interval=0" every frame into "output_folder". The log is written
// only when logging stops, after "log_duration" whole seconds: a game that ends while logging
// leaves none. The file is <output_folder>/<executable>_<YYYY-MM-DD_HH-MM-SS>.csv beside
// ..._summary.csv; three header lines, then "fps,frametime,...,elapsed" rows with the frame time
// in microseconds and the time since logging started in nanoseconds.

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
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

struct FrameLogConfig {
    QString folder;
    int durationSeconds = 0; // 0: until the game ends
};

// The configuration MangoHud would act on for `exeName`; nothing when it would not log every
// frame from the start.
inline std::optional<FrameLogConfig> frameLogConfig(const QString& exeName) {
    if (qEnvironmentVariable("MANGOHUD") != QLatin1String("1"))
        return std::nullopt;
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = qEnvironmentVariable("HOME") + QStringLiteral("/.config");
    QFile file(configHome + QStringLiteral("/MangoHud/") + exeName + QStringLiteral(".conf"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    FrameLogConfig config;
    bool autostart = false;
    bool everyFrame = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
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
    }
    if (!autostart || !everyFrame || config.folder.isEmpty())
        return std::nullopt;
    return config;
}

struct VirtualFrame {
    double ms;
    double endSeconds; // since the game started
};

// The game's frames: loading frames of 50 ms for `loadMs`, then the demo's frames as the
// pattern says for `playMs`. `demoFrames`/`demoSeconds` tell the demo's part.
inline std::vector<VirtualFrame> virtualFrames(const FramePattern& pattern, int loadMs, int playMs,
                                               std::int64_t& demoFrames, double& demoSeconds) {
    std::vector<VirtualFrame> frames;
    double at = 0;
    while (at * 1000 + 50 <= loadMs) {
        at += 0.05;
        frames.push_back({50, at});
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

// Writes the log of the frames that ended within the first `seconds`, as MangoHud names and
// lays it out. False when it cannot be written.
inline bool writeFrameLog(const QString& folder, const QString& exeName,
                          const std::vector<VirtualFrame>& frames, double seconds) {
    QDir().mkpath(folder);
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QString base = folder + QLatin1Char('/') + exeName + QLatin1Char('_') + stamp;
    QByteArray text = "os,cpu,gpu,ram,kernel,driver,cpuscheduler\n"
                      "Stand-in,Stand-in,,0,0,Stand-in,\n"
                      "fps,frametime,cpu_load,gpu_load,cpu_temp,gpu_temp,gpu_core_clock,"
                      "gpu_mem_clock,gpu_vram_used,gpu_power,ram_used,elapsed\n";
    for (const VirtualFrame& frame : frames) {
        if (frame.endSeconds > seconds)
            break;
        text += QByteArray::number(1000.0 / frame.ms, 'g', 6) + ',' +
                QByteArray::number(static_cast<std::int64_t>(frame.ms * 1000 + 0.5)) +
                ",10,0,0,0,0,0,0,0,1," +
                QByteArray::number(static_cast<std::int64_t>(frame.endSeconds * 1e9 + 0.5)) + '\n';
    }
    QSaveFile summary(base + QStringLiteral("_summary.csv"));
    QSaveFile log(base + QStringLiteral(".csv"));
    return summary.open(QIODevice::WriteOnly) &&
           summary.write("0.1% Min FPS,1% Min FPS,97% Percentile FPS,Average FPS,GPU Load,CPU "
                         "Load\n0,0,0,0,0,0") >= 0 &&
           summary.commit() && log.open(QIODevice::WriteOnly) && log.write(text) >= 0 &&
           log.commit();
}

} // namespace testbed
