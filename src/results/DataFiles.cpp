#include "results/DataFiles.h"

#include "model/OptionLists.h"
#include "model/SlotTable.h"
#include "platform/SafeFile.h"
#include "results/Statistics.h"

#include <QJsonArray>
#include <QJsonDocument>

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
    return o;
}

QJsonObject rowJson(const RowRecord& row, int runCount) {
    QJsonArray runs;
    std::vector<std::optional<double>> fps;
    std::vector<std::optional<int>> scores;
    for (const RunRecord& run : row.Runs) {
        runs.append(runJson(run));
        fps.push_back(run.Fps);
        scores.push_back(run.Score);
    }
    const RowStatistics s = ComputeStatistics(fps);
    return QJsonObject{
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

QJsonObject ResultJson(const SeriesResult& r) {
    QJsonArray rows;
    for (const RowRecord& row : r.Rows)
        rows.append(rowJson(row, r.RunCount));
    return QJsonObject{
        {QStringLiteral("format"), ResultFormatVersion},
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

QString JsonPathForReport(const QString& reportPath) {
    return withEnding(reportPath, QStringLiteral(".htm"), QStringLiteral(".json"));
}

QString CsvPathForReport(const QString& reportPath) {
    return withEnding(reportPath, QStringLiteral(".htm"), QStringLiteral(".csv"));
}

QString ReportPathForJson(const QString& jsonPath) {
    return withEnding(jsonPath, QStringLiteral(".json"), QStringLiteral(".htm"));
}

DataFilePaths WriteDataFiles(const SeriesResult& result, const QString& reportPath) {
    const DataFilePaths paths{JsonPathForReport(reportPath), CsvPathForReport(reportPath)};
    platform::WriteFileAtomically(paths.Json, ResultJsonBytes(result));
    platform::WriteFileAtomically(paths.Csv, ResultCsvBytes(result.Rows));
    return paths;
}
