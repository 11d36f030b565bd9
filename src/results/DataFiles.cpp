#include "results/DataFiles.h"

#include "model/OptionLists.h"
#include "model/SlotTable.h"
#include "platform/SafeFile.h"
#include "results/Statistics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>

namespace {

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue numberOrNull(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue intOrNull(const std::optional<int>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString caption(const QStringList& items, std::optional<int> index) {
    return ItemCaption(items, index);
}

QJsonObject optionsJson(const SeriesResult& r) {
    const BenchmarkSettings& s = r.Settings;
    QJsonArray resolutions;
    for (const ResolutionSlot& slot : SlotTable(s))
        if (IsSlotChosen(s, slot))
            resolutions.append(RowCaption(slot));
    return QJsonObject{
        {QStringLiteral("resolutions"), resolutions},
        {QStringLiteral("detail"), textOrNull(caption(DetailItems(), s.DetailLevel))},
        {QStringLiteral("filtering"), textOrNull(caption(FilteringItems(), s.FilteringMode))},
        {QStringLiteral("antialiasing"),
         textOrNull(caption(AntialiasingItems(), s.AntialiasingMode))},
        {QStringLiteral("demo"), textOrNull(r.DemoName)},
        {QStringLiteral("demo_caption"), textOrNull(r.DemoCaption)},
        {QStringLiteral("runs"), r.RunCount},
        {QStringLiteral("heap_size"), textOrNull(caption(HeapSizeItems(), s.HeapSize))},
        {QStringLiteral("refresh_rate"), textOrNull(caption(RefreshItems(), s.RefreshRate))},
        {QStringLiteral("hdr"), textOrNull(caption(HdrItems(), s.HdrMode))},
        {QStringLiteral("fast_z"), FastZReportCaption(s.FastZ)},
        {QStringLiteral("color_correction"), ColorCorrectionReportCaption(s.ColorCorrection)},
    };
}

// The facts as the report's head shows them, without the blanks the diagnostics texts carry.
QJsonObject machineJson(const SystemFacts& f) {
    QString adapter = f.AdapterName;
    QJsonValue gpuClock(QJsonValue::Null), memoryClock(QJsonValue::Null);
    if (f.RadeonFound) {
        adapter = f.RadeonName;
        gpuClock = textOrNull(f.RadeonEngineClock.trimmed());
        memoryClock = textOrNull(f.RadeonMemoryClock.trimmed());
    } else if (f.DisplayClassFound) {
        adapter = f.DriverDescription;
        gpuClock = textOrNull(f.GpuClock.trimmed());
        memoryClock = textOrNull(f.MemoryClock.trimmed());
    }
    return QJsonObject{
        {QStringLiteral("os"), f.OsProductName.trimmed()},
        {QStringLiteral("cpu"), f.CpuName.trimmed()},
        {QStringLiteral("cpu_mhz"), qint64(f.CpuNormFreq)},
        {QStringLiteral("memory_bytes"), qint64(f.TotalPhysicalMemory)},
        {QStringLiteral("adapter"), adapter.trimmed()},
        {QStringLiteral("gpu_clock"), gpuClock},
        {QStringLiteral("memory_clock"), memoryClock},
        {QStringLiteral("display_memory"), f.DisplayMemory.trimmed()},
        {QStringLiteral("driver_version"), f.DriverVersion.trimmed()},
        {QStringLiteral("sound"), f.SoundDevice.trimmed()},
    };
}

QJsonObject figuresJson(const FrameFigures& f) {
    return QJsonObject{
        {QStringLiteral("frames"), f.Frames},
        {QStringLiteral("average_fps"), f.AverageFps},
        {QStringLiteral("low_1_percentile_fps"), f.Percentile1LowFps},
        {QStringLiteral("low_01_percentile_fps"), f.Percentile01LowFps},
        {QStringLiteral("low_1_average_fps"), f.Average1LowFps},
        {QStringLiteral("low_01_average_fps"), f.Average01LowFps},
        {QStringLiteral("slowest_frame_ms"), f.SlowestFrameMs},
        {QStringLiteral("median_frame_ms"), f.MedianFrameMs},
        {QStringLiteral("stutters"), f.Stutters},
        {QStringLiteral("stutter_time_share"), f.StutterTimeShare},
    };
}

void addFrameTimes(QJsonObject& o, const RunFrames& frames) {
    if (!frames.Figures) {
        o.insert(QStringLiteral("frame_times"), QJsonValue(QJsonValue::Null));
        o.insert(QStringLiteral("frame_times_reason"), frames.Missing);
        return;
    }
    QJsonObject figures = figuresJson(*frames.Figures);
    figures.insert(QStringLiteral("partial"), frames.Partial);
    figures.insert(QStringLiteral("share"), frames.Share);
    if (!frames.Sensors.empty()) {
        QJsonObject sensors;
        for (const SensorFigure& sensor : frames.Sensors)
            sensors.insert(sensor.Name, QJsonObject{{QStringLiteral("mean"), sensor.Mean},
                                                    {QStringLiteral("peak"), sensor.Peak}});
        figures.insert(QStringLiteral("sensors"), sensors);
        figures.insert(QStringLiteral("clock_fell"), frames.ClockFell);
    }
    if (!frames.Trace.Seconds.empty()) {
        const auto list = [](const std::vector<float>& values) {
            QJsonArray array;
            for (const float v : values)
                array.append(std::isfinite(v) ? QJsonValue(static_cast<double>(v))
                                              : QJsonValue(QJsonValue::Null));
            return array;
        };
        figures.insert(QStringLiteral("sensor_trace"),
                       QJsonObject{{QStringLiteral("seconds"), list(frames.Trace.Seconds)},
                                   {QStringLiteral("gpu_core_clock"), list(frames.Trace.GpuClock)},
                                   {QStringLiteral("cpu_load"), list(frames.Trace.CpuLoad)},
                                   {QStringLiteral("gpu_load"), list(frames.Trace.GpuLoad)}});
    }
    o.insert(QStringLiteral("frame_times"), figures);
}

QJsonObject runJson(const RunRecord& run) {
    QJsonObject o{
        {QStringLiteral("text"), run.Text ? QJsonValue(*run.Text) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("fps"), numberOrNull(run.Fps)},
    };
    const PlayedRun& p = run.Played;
    if (p.Width)
        o.insert(QStringLiteral("played_width"), *p.Width);
    if (p.Height)
        o.insert(QStringLiteral("played_height"), *p.Height);
    if (p.Frames)
        o.insert(QStringLiteral("frames"), *p.Frames);
    if (p.Seconds)
        o.insert(QStringLiteral("seconds"), *p.Seconds);
    if (p.Variability)
        o.insert(QStringLiteral("variability"), *p.Variability);
    if (run.Frames)
        addFrameTimes(o, *run.Frames);
    return o;
}

QJsonObject rowJson(const RowRecord& row, int runCount, bool frameTimes) {
    QJsonArray runs;
    std::vector<std::optional<double>> fps;
    std::vector<std::optional<int>> scores;
    for (const RunRecord& run : row.Runs) {
        runs.append(runJson(run));
        fps.push_back(run.Fps);
        scores.push_back(run.Score);
    }
    const RowStatistics s = ComputeStatistics(fps);
    QJsonObject o{
        {QStringLiteral("caption"), row.Caption},
        {QStringLiteral("width"), intOrNull(row.Width)},
        {QStringLiteral("height"), intOrNull(row.Height)},
        {QStringLiteral("runs"), runs},
        {QStringLiteral("count"), s.Count},
        {QStringLiteral("mean"), numberOrNull(s.Mean)},
        {QStringLiteral("min"), numberOrNull(s.Min)},
        {QStringLiteral("max"), numberOrNull(s.Max)},
        {QStringLiteral("stddev"), numberOrNull(s.StdDev)},
        {QStringLiteral("average"), intOrNull(ReportAverage(scores, runCount))},
    };
    if (frameTimes) {
        std::vector<std::optional<FrameFigures>> figures;
        for (const RunRecord& run : row.Runs)
            figures.push_back(run.Frames ? run.Frames->Figures : std::nullopt);
        const std::optional<FrameFigures> mean = MeanFrameFigures(figures);
        o.insert(QStringLiteral("frame_times"),
                 mean ? QJsonValue(figuresJson(*mean)) : QJsonValue(QJsonValue::Null));
    }
    return o;
}

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString withEnding(const QString& path, const QString& from, const QString& to) {
    QString result = path;
    if (result.endsWith(from))
        result.chop(from.size());
    return result + to;
}

} // namespace

QString DataNumber(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool HasFrameTimes(const std::vector<RowRecord>& rows) {
    for (const RowRecord& row : rows)
        for (const RunRecord& run : row.Runs)
            if (run.Frames)
                return true;
    return false;
}

QJsonObject ResultJson(const SeriesResult& r) {
    const bool frameTimes = HasFrameTimes(r.Rows);
    QJsonArray rows;
    for (const RowRecord& row : r.Rows)
        rows.append(rowJson(row, r.RunCount, frameTimes));
    return QJsonObject{
        {QStringLiteral("format"), frameTimes ? FrameTimesFormatVersion : DataFileFormatVersion},
        {QStringLiteral("version"), r.Version},
        {QStringLiteral("started"),
         r.Started.toOffsetFromUtc(r.Started.offsetFromUtc()).toString(Qt::ISODate)},
        {QStringLiteral("note"), r.Settings.Note},
        {QStringLiteral("options"), optionsJson(r)},
        {QStringLiteral("machine"), machineJson(r.Facts)},
        {QStringLiteral("rows"), rows},
    };
}

QByteArray ResultJsonBytes(const SeriesResult& result) {
    return QJsonDocument(ResultJson(result)).toJson(QJsonDocument::Indented);
}

QByteArray ResultCsvBytes(const std::vector<RowRecord>& rows) {
    QString text = QStringLiteral("resolution,run,fps,played_width,played_height\r\n");
    for (const RowRecord& row : rows) {
        int number = 0;
        for (const RunRecord& run : row.Runs) {
            ++number;
            const QStringList fields = {
                csvField(row.Caption),
                QString::number(number),
                run.Fps ? DataNumber(*run.Fps) : QString(),
                run.Played.Width ? QString::number(*run.Played.Width) : QString(),
                run.Played.Height ? QString::number(*run.Played.Height) : QString(),
            };
            text += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
        }
    }
    return text.toUtf8();
}

bool FramesCsvPieces(const std::vector<RowRecord>& rows,
                     const std::function<bool(const QByteArray&)>& put) {
    constexpr qsizetype pieceBytes = 64 * 1024;
    QByteArray text = "resolution,run,frame,ms\r\n";
    text.reserve(pieceBytes + 1024);
    for (const RowRecord& row : rows) {
        const QByteArray caption = csvField(row.Caption).toUtf8();
        int number = 0;
        for (const RunRecord& run : row.Runs) {
            ++number;
            if (!run.Frames)
                continue;
            const QByteArray prefix = caption + ',' + QByteArray::number(number) + ',';
            qint64 frame = 0;
            // "+ 0.0": a zero with a sign is written as 0, which the reader takes.
            for (const float ms : run.Frames->FrameMs) {
                text += prefix + QByteArray::number(++frame) + ',' +
                        DataNumber(static_cast<double>(ms) + 0.0).toLatin1() + "\r\n";
                if (text.size() >= pieceBytes) {
                    if (!put(text))
                        return false;
                    text.truncate(0); // keeps its room
                }
            }
        }
    }
    return text.isEmpty() || put(text);
}

QByteArray FramesCsvBytes(const std::vector<RowRecord>& rows) {
    QByteArray text;
    FramesCsvPieces(rows, [&text](const QByteArray& piece) {
        text += piece;
        return true;
    });
    return text;
}

QString JsonPathForReport(const QString& reportPath) {
    return withEnding(reportPath, QStringLiteral(".htm"), QStringLiteral(".json"));
}

QString CsvPathForReport(const QString& reportPath) {
    return withEnding(reportPath, QStringLiteral(".htm"), QStringLiteral(".csv"));
}

QString FramesCsvPathForReport(const QString& reportPath) {
    return withEnding(reportPath, QStringLiteral(".htm"), QStringLiteral(".frames.csv"));
}

QString ReportPathForJson(const QString& jsonPath) {
    return withEnding(jsonPath, QStringLiteral(".json"), QStringLiteral(".htm"));
}

DataFilePaths WriteDataFiles(const SeriesResult& result, const QString& reportPath) {
    const DataFilePaths paths{JsonPathForReport(reportPath), CsvPathForReport(reportPath), {}};
    platform::WriteFileAtomically(paths.Json, ResultJsonBytes(result));
    platform::WriteFileAtomically(paths.Csv, ResultCsvBytes(result.Rows));
    // Only frames to write make a frames file: a series whose runs all lack them says why in
    // the data file alone.
    const bool anyFrames =
        std::any_of(result.Rows.begin(), result.Rows.end(), [](const RowRecord& row) {
            return std::any_of(row.Runs.begin(), row.Runs.end(), [](const RunRecord& run) {
                return run.Frames && !run.Frames->FrameMs.empty();
            });
        });
    if (anyFrames) {
        const QString frames = FramesCsvPathForReport(reportPath);
        // Streamed: the text of millions of frames is never held whole.
        platform::WriteFileAtomically(frames, [&result](platform::CheckedStream& stream) {
            std::optional<platform::WriteFailure> failure;
            FramesCsvPieces(result.Rows, [&](const QByteArray& piece) {
                if (const int err = stream.write(piece.constData(), piece.size()))
                    failure = platform::WriteFailure{platform::WriteStep::Write, err};
                return !failure;
            });
            return failure;
        });
        return {paths.Json, paths.Csv, frames};
    }
    return paths;
}
