// Reads a frame log of 1,000,000 frames in MangoHud 0.8's format (its widest rows: 16 columns,
// cpu_power to cpu_mhz), puts it on the run's clock, takes the demo's frames and sensors as a
// run does and computes every figure of the run, against `wc -l` of the same file in the same run
// (goal: at most 3x its time), and measures the memory the reading and the figures take (goal: at
// most 16 bytes per frame).
//
//   bench_frame_log [FOLDER] [ROUNDS]
//
// FOLDER (default: a folder below the system's temporary folder) holds the generated log.

#include "results/FrameFigures.h"
#include "run/MangoHudLog.h"
#include "run/RunTimeline.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdint>
#include <cstdlib>
#include <random>

namespace {

constexpr int FrameCount = 1'000'000;
constexpr double TimeGoalRatio = 3;
constexpr double MemoryGoalBytesPerFrame = 16;

QTextStream out(stdout);

[[noreturn]] void die(const QString& why) {
    out << "bench_frame_log: " << why << Qt::endl;
    std::exit(2);
}

// A log as MangoHud 0.8.4 writes it with log_interval=0: frame times around 7 ms with a spike
// every 100 frames, sensors as a desktop GPU reports them, written in pieces so the generator
// holds little.
void writeLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        die(QStringLiteral("cannot write ") + path);
    file.write("os,cpu,gpu,ram,kernel,driver,cpuscheduler\n"
               "Debian GNU/Linux 12 (bookworm),AMD EPYC,,24683676,6.1.0,4.5 Mesa 22.3.6,\n"
               "fps,frametime,cpu_load,cpu_power,gpu_load,cpu_temp,gpu_temp,gpu_core_clock,"
               "gpu_mem_clock,gpu_vram_used,gpu_power,ram_used,swap_used,process_rss,cpu_mhz,"
               "elapsed\n");
    std::mt19937 engine(7);
    std::int64_t elapsed = 0;
    QByteArray piece;
    for (int i = 0; i < FrameCount; ++i) {
        const std::uint32_t micros = (i % 100 == 99 ? 40000 : 6000) + engine() % 2000;
        elapsed += micros * 1000;
        piece += QByteArray::number(1e6 / micros, 'g', 6) + ',' + QByteArray::number(micros) +
                 ",37.5,45.2164,97,61,72,2105,1000,3.21484,181,9.61523,0.0117188,1.25391,4450," +
                 QByteArray::number(elapsed) + '\n';
        if (piece.size() > (1 << 20)) {
            file.write(piece);
            piece.clear();
        }
    }
    file.write(piece);
}

// What a run does with its log: read, put on the run's clock (written as its last frame ended),
// the demo's frames (the whole log) taken, their figures computed.
std::optional<FrameFigures> runFigures(const QString& log) {
    RunTimeline timeline;
    {
        MangoHudLogRead read = ReadMangoHudLogFile(log);
        if (!read.Frames || read.Frames->size() != std::size_t(FrameCount))
            die(QStringLiteral("the log was not read: ") + read.Problem);
        if (read.Sensors.empty())
            die(QStringLiteral("no sensors were read"));
        const double end = read.Frames->back().AtSeconds;
        AddLogFile(timeline, std::move(read), end);
    }
    OrderTimeline(timeline);
    const double end = timeline.Frames.back().AtSeconds;
    DemoFrames demo =
        TimelineDemoFrames(timeline, end, end - timeline.Frames.front().AtSeconds, FrameCount - 1);
    timeline = {};
    return ComputeFrameFigures(demo.FrameMs);
}

// The same work step by step, each step timed (medians of `rounds` more rounds, after the
// measured ones): where the time goes. Not part of the goal.
void printSteps(const QString& log, int rounds) {
    std::vector<double> readMs, clockMs, demoMs, figuresMs;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const auto lap = [&timer](std::vector<double>& into) {
            into.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            timer.restart();
        };
        MangoHudLogRead read = ReadMangoHudLogFile(log);
        lap(readMs);
        if (!read.Frames || read.Frames->empty())
            die(QStringLiteral("the log was not read: ") + read.Problem);
        RunTimeline timeline;
        const double written = read.Frames->back().AtSeconds;
        AddLogFile(timeline, std::move(read), written);
        OrderTimeline(timeline);
        lap(clockMs);
        const double end = timeline.Frames.back().AtSeconds;
        DemoFrames demo = TimelineDemoFrames(timeline, end, end - timeline.Frames.front().AtSeconds,
                                             FrameCount - 1);
        timeline = {};
        lap(demoMs);
        if (!ComputeFrameFigures(demo.FrameMs))
            die(QStringLiteral("no figures"));
        lap(figuresMs);
    }
    out << "steps (medians): read " << bench::median(readMs) << " ms, run's clock "
        << bench::median(clockMs) << " ms, demo's frames " << bench::median(demoMs)
        << " ms, figures " << bench::median(figuresMs) << " ms" << Qt::endl;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir temporary;
    const QString folder = args.size() > 1 ? args[1] : temporary.path();
    const int rounds = args.size() > 2 ? args[2].toInt() : 7;
    QDir().mkpath(folder);
    const QString log = folder + QStringLiteral("/hl2_linux_2026-01-01_00-00-00.csv");
    writeLog(log);

    // Memory first, while the process holds little: the peak resident size while the log is
    // read, its demo's frames taken and their figures computed, above what it held before.
    std::optional<FrameFigures> figures;
    bench::resetPeak();
    const qint64 before = bench::peakResident();
    {
        figures = runFigures(log);
        if (!figures)
            die(QStringLiteral("no figures"));
    }
    const qint64 peak = bench::peakResident();
    const double bytesPerFrame = static_cast<double>(peak - before) / FrameCount;

    std::vector<double> ours;
    std::vector<double> wc;
    for (int round = 0; round < rounds; ++round) {
        wc.push_back(bench::millisecondsOf([&] {
            QProcess process;
            process.start(QStringLiteral("wc"), {QStringLiteral("-l"), log});
            if (!process.waitForFinished(60000) || process.exitCode() != 0)
                die(QStringLiteral("wc -l failed"));
        }));
        ours.push_back(bench::millisecondsOf([&] { figures = runFigures(log); }));
    }
    if (!figures)
        die(QStringLiteral("no figures"));

    const double oursMs = bench::median(ours);
    const double wcMs = bench::median(wc);
    const double ratio = oursMs / wcMs;
    out << "frames: " << FrameCount << ", log: " << QFile(log).size()
        << " bytes, rounds: " << rounds << ", load average: " << bench::loadAverage() << Qt::endl;
    out << "1% low " << figures->Percentile1LowFps << " fps, 0.1% low "
        << figures->Percentile01LowFps << " fps, stutters " << figures->Stutters << Qt::endl;
    out << "read and figures: " << oursMs << " ms (median), wc -l: " << wcMs
        << " ms (median), ratio " << ratio << " (goal at most " << TimeGoalRatio << ")" << Qt::endl;
    out << "memory: " << bytesPerFrame << " bytes per frame (goal at most "
        << MemoryGoalBytesPerFrame << ")" << Qt::endl;
    printSteps(log, rounds);
    const bool met = ratio <= TimeGoalRatio && bytesPerFrame <= MemoryGoalBytesPerFrame;
    out << (met ? "goals met" : "goals NOT met") << Qt::endl;
    return met ? 0 : 1;
}
