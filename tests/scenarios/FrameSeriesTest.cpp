// Whole series on today's layout with the stand-in game logging its frames as MangoHud does.
#include "SchemaCheck.h"
#include "SeriesFixture.h"

#include "FrameLog.h"
#include "results/DataFileReader.h"
#include "results/DataFiles.h"
#include "run/FrameRecording.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QByteArray kUsersConfig = "fps_limit=60\r\nposition=top-left";

class FrameSeries : public SeriesFixture {
protected:
    void SetUp() override {
        SeriesFixture::SetUp();
        today = testbed::layOutModernSteam(tmp.path() + "/today", false, testsupport::binDir());
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "MANGOHUD"})
            saved.emplace_back(name, qgetenv(name));
        qputenv("HOME", today.home.toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_STATE_HOME");
        qunsetenv("VARNHOLT_TESTBED_DROP_SIZE");
        // One second of loading, then a demo of 3.5 s: 10 ms frames, every 100th 40 ms.
        qputenv(testbed::kLoadMsEnv, "1000");
        qputenv(testbed::kFrameMsEnv, "10,40,100");
        qputenv("VARNHOLT_TESTBED_PLAY_MS", "3500");
        useTodaysLayout(today);
        view.settings.ResolutionChecked[1] = true;
        store_->WriteValue("FrameTimes", "1");
        configFolder = today.home + ".config/MangoHud/";
        QDir().mkpath(configFolder);
        testsupport::writeFile(configFolder + "hl2_linux.conf", kUsersConfig);
        ASSERT_TRUE(QProcess::startDetached(today.steamCommand, {}, today.steamRoot));
        ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));
    }

    void TearDown() override {
        qunsetenv(testbed::kLoadMsEnv);
        qunsetenv(testbed::kFrameMsEnv);
        for (const auto& [name, value] : saved) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
        SeriesFixture::TearDown();
    }

    const RunRecord& run(std::size_t i) { return sequencer().State().Rows.at(0).Runs.at(i); }

    testbed::ModernSteamLayout today;
    std::vector<std::pair<const char*, QByteArray>> saved;
    QString configFolder;
};

// A series of three runs under each MangoHud behaviour the stand-in has, the first run loading
// four seconds, the others one and a half (cold caches): the first run's demo ends later than
// the others'. (MangoHud from 0.6.9 on starts logging a second after the game starts.)
class FrameSeriesVersions : public FrameSeries, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        FrameSeries::SetUp();
        qputenv(testbed::kMangoHudVersionEnv, GetParam());
        qputenv(testbed::kLoadMsEnv, "4000,1500");
        timings.frameLogCut = 1500;
    }
    void TearDown() override {
        qunsetenv(testbed::kMangoHudVersionEnv);
        FrameSeries::TearDown();
    }
    bool appends() const { return QByteArray(GetParam()) != "0.6.8"; }
};

TEST_P(FrameSeriesVersions, EveryRunHasTheDemosFramesAndNoLoadingFrame) {
    qputenv("MANGOHUD", "1");
    view.settings.RunCount = 3;
    runSeries(120000);
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << qPrintable(dialogs.messages.join('\n'));
    ASSERT_EQ(sequencer().State().Rows.size(), 1u);
    ASSERT_EQ(sequencer().State().Rows[0].Runs.size(), 3u);

    for (std::size_t i : {0u, 1u, 2u}) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(run(i).Frames);
        const RunFrames& frames = *run(i).Frames;
        ASSERT_TRUE(run(i).Played.Frames);
        const qint64 demoFrames = *run(i).Played.Frames;
        if (!appends() && i == 0) {
            // Written only when logging stops: the slow first run may have its pieces or none.
            if (!frames.Figures)
                continue;
        }
        ASSERT_TRUE(frames.Figures) << frames.Missing.toStdString();
        const FrameFigures& f = *frames.Figures;
        // Only the demo's frames: no loading frame of 50 ms.
        EXPECT_FLOAT_EQ(f.SlowestFrameMs, 40.0f);
        EXPECT_FLOAT_EQ(f.MedianFrameMs, 10.0f);
        EXPECT_EQ(f.Frames, static_cast<int>(frames.FrameMs.size()));
        const int spikes =
            static_cast<int>(std::count(frames.FrameMs.begin(), frames.FrameMs.end(), 40.0f));
        EXPECT_EQ(f.Stutters, spikes);
        // The stand-in's sensors in the demo (not while loading, when the GPU idles at 600 MHz);
        // columns of zeros are no sensor.
        const auto sensor = [&](const char* name) -> const SensorFigure* {
            for (const SensorFigure& s : frames.Sensors)
                if (s.Name == QLatin1String(name))
                    return &s;
            return nullptr;
        };
        ASSERT_TRUE(sensor("gpu_core_clock"));
        EXPECT_EQ(sensor("gpu_core_clock")->Mean, 1800);
        EXPECT_EQ(sensor("gpu_core_clock")->Peak, 1800);
        ASSERT_TRUE(sensor("gpu_load"));
        EXPECT_EQ(sensor("gpu_load")->Mean, 97);
        EXPECT_FALSE(sensor("gpu_temp"));
        EXPECT_FALSE(sensor("cpu_power"));
        EXPECT_EQ(sensor("cpu_mhz") != nullptr, QByteArray(GetParam()) == "0.8");
        EXPECT_FALSE(frames.ClockFell);
        EXPECT_FALSE(frames.Trace.Seconds.empty());
        if (appends()) {
            // The whole demo, frame for frame: the game's own count.
            EXPECT_FALSE(frames.Partial);
            EXPECT_EQ(frames.Share, 1.0);
            EXPECT_EQ(f.Frames, demoFrames);
            EXPECT_DOUBLE_EQ(f.Percentile01LowFps, 25.0);
        } else {
            // Cut by changes of the configuration: what came after the last cut is missing.
            EXPECT_TRUE(frames.Partial);
            EXPECT_GT(frames.Share, 0.2);
            EXPECT_LT(f.Frames, demoFrames);
            EXPECT_GE(spikes, 1);
        }
    }
    // The logs: one per run where MangoHud appends (never cut), several where it does not.
    const QStringList logs = QDir(today.home + ".local/state/Quillon/frames/")
                                 .entryList({"hl2_linux_*[0-9].csv"}, QDir::Files);
    if (appends())
        EXPECT_EQ(logs.size(), 3) << logs.join(' ').toStdString();
    else
        EXPECT_GE(logs.size(), 4) << logs.join(' ').toStdString();
    // The user's configuration is back byte for byte, and nothing of the program's is left.
    EXPECT_EQ(testsupport::readFile(configFolder + "hl2_linux.conf"), kUsersConfig);
    EXPECT_EQ(QDir(configFolder).entryList(QDir::Files), QStringList{"hl2_linux.conf"});

    // The data files: format 2 with the figures, the frames beside them, read back.
    const QString data = sequencer().State().DataPath;
    ASSERT_FALSE(data.isEmpty());
    EXPECT_EQ(testsupport::schemaProblems({data}), QString());
    const QJsonObject json = QJsonDocument::fromJson(testsupport::readFile(data)).object();
    EXPECT_EQ(json["format"].toInt(), 2);
    const QJsonObject row = json["rows"].toArray()[0].toObject();
    const QJsonObject second = row["runs"].toArray()[1].toObject()["frame_times"].toObject();
    EXPECT_EQ(second["frames"].toInt(), run(1).Frames->Figures->Frames);
    EXPECT_EQ(second["partial"].toBool(), !appends());

    qsizetype framesWritten = 0;
    for (std::size_t i : {0u, 1u, 2u})
        framesWritten += static_cast<qsizetype>(run(i).Frames->FrameMs.size());
    const QStringList lines =
        QString::fromUtf8(
            testsupport::readFile(FramesCsvPathForReport(sequencer().State().ReportPath)))
            .split("\r\n", Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], "resolution,run,frame,ms");
    EXPECT_EQ(lines.size() - 1, framesWritten);
    EXPECT_TRUE(lines.contains(
        QStringLiteral("800 × 600,3,%1,40")
            .arg(std::find(run(2).Frames->FrameMs.begin(), run(2).Frames->FrameMs.end(), 40.0f) -
                 run(2).Frames->FrameMs.begin() + 1)));

    const DataFileRead back = ReadDataFile(testsupport::readFile(data));
    ASSERT_TRUE(back.Summary) << back.Problem.toStdString();
    ASSERT_TRUE(back.Summary->Rows[0].FrameTimes);
}

INSTANTIATE_TEST_SUITE_P(MangoHud, FrameSeriesVersions, ::testing::Values("0.6.8", "0.7", "0.8"),
                         [](const auto& info) {
                             return QString(info.param).replace('.', '_').toStdString();
                         });

TEST_F(FrameSeries, WithoutMangoHudTheSeriesEndsNormallyAndSaysWhatToAdd) {
    qunsetenv("MANGOHUD");
    view.settings.RunCount = 2;
    qputenv("VARNHOLT_TESTBED_PLAY_MS", "300");
    runSeries(60000);
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    EXPECT_EQ(dialogs.messages, QStringList{NoFrameTimesMessage()});
    EXPECT_TRUE(NoFrameTimesMessage().contains("mangohud %command%"));
    for (std::size_t i : {0u, 1u}) {
        ASSERT_TRUE(run(i).Frames);
        EXPECT_FALSE(run(i).Frames->Figures);
        EXPECT_EQ(run(i).Frames->Missing, "no MangoHud log");
    }
    EXPECT_EQ(testsupport::readFile(configFolder + "hl2_linux.conf"), kUsersConfig);
    // Still format 2: the runs say why they have no frame times.
    const QString data = sequencer().State().DataPath;
    EXPECT_EQ(testsupport::schemaProblems({data}), QString());
    const QJsonObject json = QJsonDocument::fromJson(testsupport::readFile(data)).object();
    EXPECT_EQ(json["format"].toInt(), 2);
    EXPECT_TRUE(json["rows"].toArray()[0].toObject()["frame_times"].isNull());
}

TEST_F(FrameSeries, WithTheSettingOffNothingIsTouched) {
    store_->WriteValue("FrameTimes", "0");
    qputenv("MANGOHUD", "1");
    qputenv("VARNHOLT_TESTBED_PLAY_MS", "300");
    runSeries(60000);
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_FALSE(run(0).Frames);
    EXPECT_FALSE(QFileInfo::exists(today.home + ".local/state/Quillon/frames"));
    EXPECT_EQ(QDir(configFolder).entryList(QDir::Files), QStringList{"hl2_linux.conf"});
    // The data files as before: format 1, no frames file.
    const QJsonObject json =
        QJsonDocument::fromJson(testsupport::readFile(sequencer().State().DataPath)).object();
    EXPECT_EQ(json["format"].toInt(), 1);
    EXPECT_FALSE(json["rows"].toArray()[0].toObject().contains("frame_times"));
    EXPECT_FALSE(QFileInfo::exists(FramesCsvPathForReport(sequencer().State().ReportPath)));
}

} // namespace
