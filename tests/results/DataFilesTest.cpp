#include "SchemaCheck.h"
#include "TestSupport.h"

#include "model/SlotTable.h"
#include "platform/Errors.h"
#include "results/DataFileReader.h"
#include "results/DataFiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>
#include <functional>
#include <gtest/gtest.h>

namespace {

RunRecord run(std::optional<QString> text, std::optional<double> fps,
              std::optional<int> score = std::nullopt) {
    RunRecord r;
    r.Text = std::move(text);
    r.Fps = fps;
    r.Score = score;
    return r;
}

// A series of three runs per row over two fixed rows and the custom one.
SeriesResult sampleSeries() {
    SeriesResult r;
    r.Version = QStringLiteral("1.3.0.0");
    r.Started = QDateTime(QDate(2024, 3, 18), QTime(21, 5, 33), QTimeZone(3600));
    r.Settings.ResolutionChecked[0] = true;
    r.Settings.ResolutionChecked[6] = true;
    r.Settings.CustomChecked = true;
    r.Settings.CustomWidth = QStringLiteral("1366");
    r.Settings.CustomHeight = QStringLiteral("768");
    r.Settings.FilteringMode = 1;
    r.Settings.AntialiasingMode = 2;
    r.Settings.HeapSize = 2;
    r.Settings.FastZ = true;
    r.Settings.Note = QStringLiteral("new \"driver\", <b>fast</b>");
    r.RunCount = 3;
    r.DemoName = QStringLiteral("rovdemo1");
    r.DemoCaption = QStringLiteral("Quillon demo");
    r.Facts.OsProductName = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
    r.Facts.CpuName = QStringLiteral(" Test CPU ");
    r.Facts.CpuNormFreq = 2400;
    r.Facts.TotalPhysicalMemory = 17179869184ULL;
    r.Facts.AdapterName = QStringLiteral(" Test Adapter");
    r.Facts.DisplayMemory = QStringLiteral(" 256 MB");
    r.Facts.DriverVersion = QStringLiteral(" 1.0");
    r.Facts.SoundDevice = QStringLiteral("Test Sound");

    const BenchmarkSettings& s = r.Settings;
    AddRun(r.Rows, *SlotByIndex(s, 0), run(QStringLiteral("61.23"), 61.23, 61));
    AddRun(r.Rows, *SlotByIndex(s, 0), run(QStringLiteral("62.5"), 62.5, 62));
    AddRun(r.Rows, *SlotByIndex(s, 0), run(QStringLiteral("62"), 62.0, 62));
    AddRun(r.Rows, *SlotByIndex(s, 6), run(std::nullopt, std::nullopt));
    RunRecord played = run(QStringLiteral("40.1"), 40.1, 40);
    played.Played.Width = 1280;
    played.Played.Height = 720;
    played.Played.Frames = 5400;
    played.Played.Seconds = 134.663;
    played.Played.Variability = 0.08;
    AddRun(r.Rows, *SlotByIndex(s, 6), played);
    AddRun(r.Rows, *SlotByIndex(s, 6), run(QStringLiteral(""), std::nullopt));
    for (int i = 0; i < 3; ++i)
        AddRun(r.Rows, *SlotByIndex(s, CustomSlotIndex), run(std::nullopt, std::nullopt));
    return r;
}

TEST(DataFiles, JsonHoldsTheSeriesTheRunsAndTheirFigures) {
    const QJsonObject json = ResultJson(sampleSeries());
    EXPECT_EQ(json["format"].toInt(), 1);
    EXPECT_EQ(json["version"].toString(), "1.3.0.0");
    EXPECT_EQ(json["started"].toString(), "2024-03-18T21:05:33+01:00");
    EXPECT_EQ(json["note"].toString(), "new \"driver\", <b>fast</b>");

    const QJsonObject options = json["options"].toObject();
    EXPECT_EQ(options["resolutions"].toArray(),
              QJsonArray({"640 \u00D7 480", "1280 \u00D7 768", "1366 \u00D7 768 (Custom)"}));
    EXPECT_EQ(options["filtering"].toString(), "Trilinear");
    EXPECT_EQ(options["antialiasing"].toString(), "4\u00D7 MSAA");
    EXPECT_EQ(options["heap_size"].toString(), "256 MB");
    EXPECT_TRUE(options["refresh_rate"].isNull()) << "a box without a choice";
    EXPECT_EQ(options["detail"].toString(), "Maximum quality");
    EXPECT_EQ(options["fast_z"].toString(), "Enabled");
    EXPECT_EQ(options["color_correction"].toString(), "Disabled");
    EXPECT_EQ(options["runs"].toInt(), 3);
    EXPECT_EQ(options["demo_caption"].toString(), "Quillon demo");

    const QJsonObject machine = json["machine"].toObject();
    EXPECT_EQ(machine["cpu"].toString(), "Test CPU");
    EXPECT_EQ(machine["adapter"].toString(), "Test Adapter");
    EXPECT_EQ(machine["memory_bytes"].toInteger(), 17179869184LL);
    EXPECT_TRUE(machine["gpu_clock"].isNull()) << "no probe found the adapter";

    const QJsonArray rows = json["rows"].toArray();
    ASSERT_EQ(rows.size(), 3);
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first["caption"].toString(), "640 \u00D7 480");
    EXPECT_EQ(first["width"].toInt(), 640);
    EXPECT_EQ(first["height"].toInt(), 480);
    EXPECT_EQ(first["count"].toInt(), 3);
    EXPECT_NEAR(first["mean"].toDouble(), 61.91, 1e-9);
    EXPECT_DOUBLE_EQ(first["min"].toDouble(), 61.23);
    EXPECT_DOUBLE_EQ(first["max"].toDouble(), 62.5);
    EXPECT_NEAR(first["stddev"].toDouble(), 0.6397655820689342, 1e-12);
    EXPECT_EQ(first["average"].toInt(), 61) << "185 / 3, truncated, as the report shows";
    EXPECT_EQ(first["runs"].toArray()[0].toObject(),
              QJsonObject({{"text", "61.23"}, {"fps", 61.23}}))
        << "no played figures where the results file had none";

    const QJsonObject wide = rows[1].toObject();
    const QJsonArray wideRuns = wide["runs"].toArray();
    EXPECT_TRUE(wideRuns[0].toObject()["text"].isNull()) << "a run that left no file";
    EXPECT_TRUE(wideRuns[0].toObject()["fps"].isNull());
    EXPECT_EQ(wideRuns[1].toObject()["played_width"].toInt(), 1280);
    EXPECT_EQ(wideRuns[1].toObject()["frames"].toInteger(), 5400);
    EXPECT_DOUBLE_EQ(wideRuns[1].toObject()["variability"].toDouble(), 0.08);
    EXPECT_EQ(wideRuns[2].toObject()["text"].toString(), "") << "a score text that is no number";
    EXPECT_TRUE(wideRuns[2].toObject()["fps"].isNull());
    EXPECT_EQ(wide["count"].toInt(), 1);
    EXPECT_TRUE(wide["stddev"].isNull());
    EXPECT_TRUE(wide["average"].isNull()) << "the last run had no result";

    const QJsonObject custom = rows[2].toObject();
    EXPECT_EQ(custom["width"].toInt(), 1366);
    EXPECT_EQ(custom["count"].toInt(), 0);
    for (const char* key : {"mean", "min", "max", "stddev", "average"})
        EXPECT_TRUE(custom[key].isNull()) << key;
}

TEST(DataFiles, UtcStartIsWrittenWithItsOffset) {
    SeriesResult r = sampleSeries();
    r.Started = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), QTimeZone::utc());
    const QString started = ResultJson(r)["started"].toString();
    EXPECT_TRUE(started == "2024-01-02T03:04:05Z" || started == "2024-01-02T03:04:05+00:00")
        << started.toStdString();
}

TEST(DataFiles, CsvHasOneQuotedLinePerRun) {
    std::vector<RowRecord> rows(1);
    rows[0].Caption = QStringLiteral("odd, \"quoted\" caption");
    rows[0].Runs.push_back(run(QStringLiteral("61.23"), 61.23));
    RunRecord played = run(QStringLiteral("40"), 40.0);
    played.Played.Width = 1280;
    played.Played.Height = 720;
    rows[0].Runs.push_back(played);
    rows[0].Runs.push_back(run(std::nullopt, std::nullopt));
    EXPECT_EQ(ResultCsvBytes(rows), "resolution,run,fps,played_width,played_height\r\n"
                                    "\"odd, \"\"quoted\"\" caption\",1,61.23,,\r\n"
                                    "\"odd, \"\"quoted\"\" caption\",2,40,1280,720\r\n"
                                    "\"odd, \"\"quoted\"\" caption\",3,,,\r\n");
}

TEST(DataFiles, WrittenBesideTheReportAndValidAgainstTheSchema) {
    QTemporaryDir tmp;
    const QString report = tmp.path() + "/result_18_03_2024_21_05_33.htm";
    const DataFilePaths paths = WriteDataFiles(sampleSeries(), report);
    EXPECT_EQ(paths.Json, tmp.path() + "/result_18_03_2024_21_05_33.json");
    EXPECT_EQ(paths.Csv, tmp.path() + "/result_18_03_2024_21_05_33.csv");
    EXPECT_EQ(ReportPathForJson(paths.Json), report);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files).size(), 2) << "no temporary file is left";

    SeriesResult empty = sampleSeries();
    empty.Rows.clear();
    empty.Settings.Note.clear();
    empty.Facts.RadeonFound = true;
    empty.Facts.RadeonName = QStringLiteral("Radeon X1900");
    empty.Facts.RadeonEngineClock = QStringLiteral("650 MHz");
    const DataFilePaths second = WriteDataFiles(empty, tmp.path() + "/result_second.htm");
    EXPECT_EQ(testsupport::schemaProblems({paths.Json, second.Json}), QString());
}

TEST(DataFiles, SchemaRejectsWhatTheFormatDoesNotAllow) {
    // The schema is no rubber stamp: a file with a changed shape fails it.
    QTemporaryDir tmp;
    QJsonObject json = ResultJson(sampleSeries());
    QJsonArray rows = json["rows"].toArray();
    QJsonObject row = rows[0].toObject();
    row.remove("stddev");
    rows[0] = row;
    json["rows"] = rows;
    json["format"] = 3;
    testsupport::writeFile(tmp.path() + "/bad.json", QJsonDocument(json).toJson());
    const QString problems = testsupport::schemaProblems({tmp.path() + "/bad.json"});
    EXPECT_TRUE(problems.contains("stddev")) << problems.toStdString();
    EXPECT_TRUE(problems.contains("format")) << problems.toStdString();
}

TEST(DataFiles, AFailedWriteLeavesNothingAndSaysWhich) {
    QTemporaryDir tmp;
    // A folder where the data file would go: the write cannot take the name.
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "/result_x.json"));
    try {
        WriteDataFiles(sampleSeries(), tmp.path() + "/result_x.htm");
        FAIL() << "the write succeeded";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.message().contains("result_x.json")) << error.message().toStdString();
    }
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList());
}

TEST(DataFileReader, ReadsBackWhatWasWritten) {
    const DataFileRead read = ReadDataFile(ResultJsonBytes(sampleSeries()));
    ASSERT_TRUE(read.Summary) << read.Problem.toStdString();
    EXPECT_TRUE(read.Problem.isEmpty());
    const DataFileSummary& s = *read.Summary;
    EXPECT_EQ(s.Started, QDateTime(QDate(2024, 3, 18), QTime(20, 5, 33), QTimeZone::utc()));
    EXPECT_EQ(s.Note, "new \"driver\", <b>fast</b>");
    ASSERT_EQ(s.Rows.size(), 3u);
    EXPECT_EQ(s.Rows[0].Caption, "640 \u00D7 480");
    EXPECT_NEAR(*s.Rows[0].Mean, 61.91, 1e-9);
    EXPECT_EQ(s.Rows[0].Average, 61);
    EXPECT_EQ(s.Rows[1].Fps,
              (std::vector<std::optional<double>>{std::nullopt, 40.1, std::nullopt}));
    EXPECT_EQ(s.Rows[2].Count, 0);
    EXPECT_FALSE(s.Rows[2].Mean);
}

// A series of format 2: a learning run without frame times, two runs with them.
SeriesResult framesSeries() {
    SeriesResult r = sampleSeries();
    r.Rows.resize(1);
    r.Rows[0].Runs[0].Frames = RunFrames{{}, QStringLiteral("the first run learns"), false, 0, {}};
    const std::vector<float> second = {10, 10, 40, 10};
    r.Rows[0].Runs[1].Frames = RunFrames{ComputeFrameFigures(second), {}, true, 0.75, second};
    const std::vector<float> third = {20, 20};
    r.Rows[0].Runs[2].Frames = RunFrames{ComputeFrameFigures(third), {}, false, 1, third};
    return r;
}

TEST(DataFileReader, ReadsTheFrameTimesOfRunsAndRows) {
    const SeriesResult written = framesSeries();
    const DataFileRead read = ReadDataFile(ResultJsonBytes(written));
    ASSERT_TRUE(read.Summary) << read.Problem.toStdString();
    const DataFileRowSummary& row = read.Summary->Rows.at(0);
    ASSERT_EQ(row.RunFrameTimes.size(), 3u);
    ASSERT_TRUE(row.RunFrameTimes[0]);
    EXPECT_FALSE(row.RunFrameTimes[0]->Figures);
    EXPECT_EQ(row.RunFrameTimes[0]->Missing, "the first run learns");
    for (const std::size_t i : {1u, 2u}) {
        SCOPED_TRACE(i);
        const RunFrames& expected = *written.Rows[0].Runs[i].Frames;
        const std::optional<RunFrames>& got = row.RunFrameTimes[i];
        ASSERT_TRUE(got && got->Figures);
        EXPECT_EQ(got->Figures->Frames, expected.Figures->Frames);
        EXPECT_EQ(got->Figures->AverageFps, expected.Figures->AverageFps);
        EXPECT_EQ(got->Figures->Percentile1LowFps, expected.Figures->Percentile1LowFps);
        EXPECT_EQ(got->Figures->Percentile01LowFps, expected.Figures->Percentile01LowFps);
        EXPECT_EQ(got->Figures->Average1LowFps, expected.Figures->Average1LowFps);
        EXPECT_EQ(got->Figures->Average01LowFps, expected.Figures->Average01LowFps);
        EXPECT_EQ(got->Figures->SlowestFrameMs, expected.Figures->SlowestFrameMs);
        EXPECT_EQ(got->Figures->MedianFrameMs, expected.Figures->MedianFrameMs);
        EXPECT_EQ(got->Figures->Stutters, expected.Figures->Stutters);
        EXPECT_EQ(got->Figures->StutterTimeShare, expected.Figures->StutterTimeShare);
        EXPECT_EQ(got->Partial, expected.Partial);
        EXPECT_EQ(got->Share, expected.Share);
        EXPECT_TRUE(got->FrameMs.empty()) << "the frames stand in the frames file";
    }
    ASSERT_TRUE(row.FrameTimes);
    EXPECT_DOUBLE_EQ(row.FrameTimes->Percentile1LowFps, (25.0 + 50.0) / 2);

    // Files written before the sensors were kept have none.
    EXPECT_TRUE(row.RunFrameTimes[1]->Sensors.empty());
    EXPECT_TRUE(row.RunFrameTimes[1]->Trace.Seconds.empty());

    // Format 1 has none of them.
    const DataFileRead old = ReadDataFile(ResultJsonBytes(sampleSeries()));
    ASSERT_TRUE(old.Summary);
    EXPECT_FALSE(old.Summary->Rows[0].FrameTimes);
    ASSERT_EQ(old.Summary->Rows[0].RunFrameTimes.size(), 3u);
    for (const std::optional<RunFrames>& run : old.Summary->Rows[0].RunFrameTimes)
        EXPECT_FALSE(run);
}

// A run's sensors as MangoHud logged them during the demo come back as written; columns
// without a sensor were never written.
TEST(DataFileReader, ReadsTheSensorsOfARun) {
    SeriesResult written = framesSeries();
    RunFrames& frames = *written.Rows[0].Runs[1].Frames;
    frames.Sensors = {{"gpu_core_clock", 1712.5, 1800}, {"cpu_load", 35, 60}};
    frames.ClockFell = true;
    const float none = std::nanf("");
    frames.Trace = {{0, 0.25f, 0.5f}, {1800, 1400, 1800}, {30, 40, none}, {none, none, none}};
    const QByteArray bytes = ResultJsonBytes(written);
    QTemporaryDir folder;
    testsupport::writeFile(folder.path() + "/result.json", bytes);
    EXPECT_EQ(testsupport::schemaProblems({folder.path() + "/result.json"}), QString());
    const DataFileRead read = ReadDataFile(bytes);
    ASSERT_TRUE(read.Summary) << read.Problem.toStdString();
    const RunFrames& got = *read.Summary->Rows[0].RunFrameTimes[1];
    ASSERT_EQ(got.Sensors.size(), 2u);
    const auto clock =
        std::find_if(got.Sensors.begin(), got.Sensors.end(),
                     [](const SensorFigure& f) { return f.Name == "gpu_core_clock"; });
    ASSERT_NE(clock, got.Sensors.end());
    EXPECT_EQ(clock->Mean, 1712.5);
    EXPECT_EQ(clock->Peak, 1800);
    EXPECT_TRUE(got.ClockFell);
    EXPECT_FALSE(read.Summary->Rows[0].RunFrameTimes[2]->ClockFell);
    EXPECT_EQ(got.Trace.Seconds, frames.Trace.Seconds);
    EXPECT_EQ(got.Trace.GpuClock, frames.Trace.GpuClock);
    ASSERT_EQ(got.Trace.CpuLoad.size(), 3u);
    EXPECT_TRUE(std::isnan(got.Trace.CpuLoad[2]));
    EXPECT_TRUE(std::isnan(got.Trace.GpuLoad[0]));

    // What is not as written refuses the file.
    QJsonObject file = QJsonDocument::fromJson(bytes).object();
    const auto withRun = [&](const std::function<void(QJsonObject&)>& change) {
        QJsonObject f = file;
        QJsonArray rows = f["rows"].toArray();
        QJsonObject row = rows[0].toObject();
        QJsonArray runs = row["runs"].toArray();
        QJsonObject run = runs[1].toObject();
        QJsonObject times = run["frame_times"].toObject();
        change(times);
        run["frame_times"] = times;
        runs[1] = run;
        row["runs"] = runs;
        rows[0] = row;
        f["rows"] = rows;
        return QJsonDocument(f).toJson();
    };
    const struct {
        const char* name;
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"lists of other lengths", withRun([](QJsonObject& t) {
             QJsonObject trace = t["sensor_trace"].toObject();
             trace["cpu_load"] = QJsonArray{1};
             t["sensor_trace"] = trace;
         }),
         "damaged: the sensor trace's lists differ in length"},
        {"a sensor without its peak", withRun([](QJsonObject& t) {
             t["sensors"] = QJsonObject{{"cpu_load", QJsonObject{{"mean", 3}}}};
         }),
         "damaged: a sensor has no mean or peak"},
        {"clock_fell not true or false", withRun([](QJsonObject& t) { t["clock_fell"] = 1; }),
         "damaged: \"clock_fell\" is not true or false"},
        {"a trace of texts", withRun([](QJsonObject& t) {
             t["sensor_trace"] = QJsonObject{{"seconds", QJsonArray{"a"}},
                                             {"gpu_core_clock", QJsonArray{1}},
                                             {"cpu_load", QJsonArray{1}},
                                             {"gpu_load", QJsonArray{1}}};
         }),
         "damaged: a sensor trace holds no number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DataFileRead bad = ReadDataFile(c.bytes);
        EXPECT_FALSE(bad.Summary);
        EXPECT_EQ(bad.Problem, QString::fromUtf8(c.reason));
    }
}

TEST(DataFileReader, DamagedFrameTimesRefuseTheFile) {
    const QJsonObject good = QJsonDocument::fromJson(ResultJsonBytes(framesSeries())).object();
    // Changes the second run's "frame_times" (or the row's, with `ofRow`).
    const auto changed = [&](bool ofRow, const std::function<void(QJsonValueRef)>& change) {
        QJsonObject file = good;
        QJsonArray rows = file["rows"].toArray();
        QJsonObject row = rows[0].toObject();
        if (ofRow) {
            change(row["frame_times"]);
        } else {
            QJsonArray runs = row["runs"].toArray();
            QJsonObject run = runs[1].toObject();
            change(run["frame_times"]);
            runs[1] = run;
            row["runs"] = runs;
        }
        rows[0] = row;
        file["rows"] = rows;
        return QJsonDocument(file).toJson();
    };
    const auto member = [](const char* key, QJsonValue value) {
        return [key, value](QJsonValueRef ref) {
            QJsonObject o = ref.toObject();
            if (value.isUndefined())
                o.remove(QLatin1String(key));
            else
                o[QLatin1String(key)] = value;
            ref = o;
        };
    };
    const struct {
        const char* name;
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"a text", changed(false, [](QJsonValueRef ref) { ref = "fast"; }),
         "damaged: \"frame_times\" is not an object"},
        {"a figure missing",
         changed(false, member("low_1_percentile_fps", QJsonValue(QJsonValue::Undefined))),
         "damaged: \"low_1_percentile_fps\" is missing"},
        {"a negative figure", changed(true, member("low_01_percentile_fps", -1)),
         "damaged: \"low_01_percentile_fps\" is not a figure"},
        {"frames not whole", changed(false, member("frames", 1.5)),
         "damaged: \"frames\" is not a whole number"},
        {"partial not true or false", changed(false, member("partial", 1)),
         "damaged: \"partial\" is not true or false"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DataFileRead read = ReadDataFile(c.bytes);
        EXPECT_FALSE(read.Summary);
        EXPECT_EQ(read.Problem, QString::fromUtf8(c.reason));
    }
}

TEST(DataFileReader, DamagedAndForeignFilesAreRefusedWithAReason) {
    const QByteArray good = ResultJsonBytes(sampleSeries());
    QJsonObject noRows = QJsonDocument::fromJson(good).object();
    noRows.remove("rows");
    QJsonObject later = QJsonDocument::fromJson(good).object();
    later["format"] = 3;
    QJsonObject badCount = QJsonDocument::fromJson(good).object();
    QJsonArray rows = badCount["rows"].toArray();
    QJsonObject row = rows[0].toObject();
    row["count"] = 9;
    rows[0] = row;
    badCount["rows"] = rows;

    struct Case {
        const char* name;
        QByteArray bytes;
        const char* reason;
    } const cases[] = {
        {"cut short", good.left(good.size() / 2), "damaged: not JSON"},
        {"empty", QByteArray(), "damaged: not JSON"},
        {"a list", "[1, 2]", "damaged: not a JSON object"},
        {"no format", "{\"rows\": []}", "damaged: no format version"},
        {"a later format", QJsonDocument(later).toJson(), "unknown format version 3"},
        {"no rows", QJsonDocument(noRows).toJson(), "damaged: \"rows\" is missing"},
        {"a count beyond the runs", QJsonDocument(badCount).toJson(),
         "damaged: \"count\" does not fit the runs"},
        {"nested too deep", QByteArray(200, '[') + QByteArray(200, ']'),
         "damaged: nested deeper than 8"},
        {"too large", QByteArray(DataFileMaxBytes + 1, ' '), "damaged: larger than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DataFileRead read = ReadDataFile(c.bytes);
        EXPECT_FALSE(read.Summary);
        EXPECT_TRUE(read.Problem.startsWith(QLatin1String(c.reason))) << read.Problem.toStdString();
    }
}

} // namespace

// A frames file only where there are frames: a series whose runs all lack them keeps its
// reasons in the data file and writes no frames file with a header alone.
TEST(DataFiles, AFramesFileOnlyWhenSomeRunHasFrames) {
    QTemporaryDir tmp;
    SeriesResult none = framesSeries();
    for (RunRecord& run : none.Rows[0].Runs)
        run.Frames = RunFrames{{}, QStringLiteral("no log was found"), false, 0, {}};
    const DataFilePaths without = WriteDataFiles(none, tmp.path() + "/result_none.htm");
    EXPECT_TRUE(without.Frames.isEmpty());
    EXPECT_FALSE(QFile::exists(tmp.path() + "/result_none.frames.csv"));
    const QJsonObject json = QJsonDocument::fromJson(testsupport::readFile(without.Json)).object();
    EXPECT_EQ(json["format"].toInt(), FrameTimesFormatVersion) << "the reasons are kept";
    EXPECT_TRUE(ReadDataFile(testsupport::readFile(without.Json)).Summary.has_value());

    const DataFilePaths with = WriteDataFiles(framesSeries(), tmp.path() + "/result_some.htm");
    EXPECT_EQ(with.Frames, tmp.path() + "/result_some.frames.csv");
    EXPECT_TRUE(QFile::exists(with.Frames));
}
