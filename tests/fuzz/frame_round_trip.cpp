// A frame log's way into the data files and back: log -> the demo's frames -> figures -> the
// data file and the frames file -> their readers. Whatever the program writes of a log, its
// own readers take back unchanged; what it cannot write it leaves out with a reason.
#include "results/DataFileReader.h"
#include "results/DataFiles.h"
#include "results/FrameFigures.h"
#include "results/FramesFile.h"
#include "run/MangoHudLog.h"

#include <QTimeZone>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MangoHudLogRead log =
        ReadMangoHudLog(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!log.Frames || log.Frames->empty())
        return 0;
    // The demo: the whole log.
    const double end = log.Frames->back().AtSeconds;
    const DemoFrames demo = SelectDemoFrames(*log.Frames, -1.0, end + 2.0);
    const RecordableFigures figures = RecordableFrameFigures(demo.FrameMs);
    if (figures.Figures.has_value() == !figures.Missing.isEmpty())
        __builtin_trap();

    RunRecord run;
    run.Text = QStringLiteral("100.0 fps");
    run.Fps = 100.0;
    run.Score = 100;
    RunFrames frames;
    frames.Figures = figures.Figures;
    frames.Missing = figures.Missing;
    frames.Partial = demo.Partial;
    frames.Share = demo.Share;
    if (figures.Figures)
        frames.FrameMs = demo.FrameMs;
    run.Frames = frames;
    SeriesResult series;
    series.Version = QStringLiteral("1.3.0.0");
    series.Started = QDateTime(QDate(2026, 12, 11), QTime(8, 0), QTimeZone::utc());
    series.RunCount = 1;
    RowRecord row;
    row.Caption = QStringLiteral("800 \u00D7 600");
    row.Width = 800;
    row.Height = 600;
    row.Runs.push_back(run);
    series.Rows.push_back(row);

    const DataFileRead read = ReadDataFile(ResultJsonBytes(series));
    if (!read.Summary || read.Summary->Rows.size() != 1 ||
        read.Summary->Rows[0].RunFrameTimes.size() != 1 || !read.Summary->Rows[0].RunFrameTimes[0])
        __builtin_trap(); // the program's own data file refused
    const RunFrames& back = *read.Summary->Rows[0].RunFrameTimes[0];
    if (back.Figures.has_value() != figures.Figures.has_value())
        __builtin_trap();
    if (!figures.Figures) {
        if (back.Missing != figures.Missing)
            __builtin_trap();
        return 0;
    }
    if (back.Figures->Frames != figures.Figures->Frames ||
        back.Figures->SlowestFrameMs != figures.Figures->SlowestFrameMs ||
        back.Figures->Percentile1LowFps != figures.Figures->Percentile1LowFps)
        __builtin_trap();

    const FramesFileRead plot = ReadFramesFile(FramesCsvBytes(series.Rows), row.Caption, 1);
    if (!plot.Ok || plot.FrameMs.size() != std::size_t(back.Figures->Frames))
        __builtin_trap(); // the program's own frames file refused, or not the run's frames
    for (std::size_t i = 0; i < plot.FrameMs.size(); ++i)
        if (plot.FrameMs[i] != demo.FrameMs[i])
            __builtin_trap();
    return 0;
}
