// A whole series as a user with today's Steam on Linux runs it: no Steam path in the store, the
// Steam root below the home folder, the game in a second library, the steam command on the
// PATH, the client started through "Run now?", and the report at the end.

#include "LoggingGame.h"
#include "OwnProcesses.h"
#include "SteamLayout.h"
#include "WindowFixture.h"

#include "SchemaCheck.h"
#include "game/SeriesPreparation.h"
#include "run/GameWaitTexts.h"
#include "run/ScoreReading.h"
#include "ui/FrameTimePlot.h"
#include "ui/ResultsWindow.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTreeWidget>

namespace {

class TodaysSteamThroughWindow : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        Registry(RegRoot::CurrentUser, regDir).deleteKey(SteamKeyPath());
        layout = testbed::layOutModernSteam(tmp.path() + "/today", false, testsupport::binDir());
        // The stand-in steam command finds its root through the home folder, as the real one.
        savedHome = qgetenv("HOME");
        qputenv("HOME", layout.home.toUtf8());
        qputenv("VARNHOLT_TESTBED_PLAY_MS", "100");
        qunsetenv("VARNHOLT_TESTBED_DROP_SIZE");
        qunsetenv("VARNHOLT_TESTBED_DROP_ARGS");
        qunsetenv("VARNHOLT_TESTBED_START_DELAY_MS");
        qunsetenv("VARNHOLT_TESTBED_NO_RESULT");
        qputenv("VARNHOLT_REGISTRY_DIR", regDir.toUtf8());
        testsupport::writeFile(programFolder + "Demos/rovdemo1.dem", "demo");
        results = tmp.path() + "/results/";
        QDir().mkpath(results);
    }

    void TearDown() override {
        window.reset();
        prep.reset();
        EXPECT_GT(testbed::stopStandIns(tmp.path()), 0) << "the client was started";
        qunsetenv("VARNHOLT_TESTBED_DROP_ARGS");
        qunsetenv("VARNHOLT_TESTBED_START_DELAY_MS");
        qputenv("HOME", savedHome);
        WindowFixture::TearDown();
    }

    // The window over the program's own preparation, with today's Steam looked for in the
    // layout's home folder and the steam command in its own folder only.
    void openWindow() { openOverOwnPreparation(own, {layout.home, {layout.commandDir}}); }

    // Clicks Run and waits until the button is back.
    void clickRun(int timeoutMs = 30000) {
        click("BenchButton");
        ASSERT_TRUE(
            testsupport::waitUntil([&] { return control("BenchButton")->isEnabled(); }, timeoutMs));
    }

    QByteArray onlyReport() {
        const QStringList reports = QDir(results).entryList({"result_*.htm"}, QDir::Files);
        EXPECT_EQ(reports.size(), 1);
        return reports.isEmpty() ? QByteArray() : testsupport::readFile(results + reports.first());
    }

    // Every row the stand-in game wrote, oldest first.
    QList<QStringList> playedRows() {
        return CsvRecords(QString::fromUtf8(testsupport::readFile(
                              layout.gameDir + QLatin1String(testbed::kModernResultCopyName))))
            .value_or(QList<QStringList>{});
    }

    static QList<int> numbersAfter(const QByteArray& report, const char* pattern) {
        QList<int> numbers;
        const QRegularExpression re(QString::fromLatin1(pattern));
        for (auto it = re.globalMatch(QString::fromLatin1(report)); it.hasNext();)
            numbers << it.next().captured(1).toInt();
        return numbers;
    }

    testbed::ModernSteamLayout layout;
    QByteArray savedHome;
    QString results;
    ProcessDetection own{ProcessesBelow(tmp.path())};
};

TEST_F(TodaysSteamThroughWindow, RunNowStartsTheClientThenTheSeriesEndsInTheReport) {
    storeValues({{"640", "1"},
                 {"800", "1"},
                 {"RunNumber", "2"},
                 {"Demo", "1"},
                 {"ResultPath", results},
                 {"Note", "today's Steam"}});
    openWindow();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << qPrintable(dialogs.messages.join('\n'));
    EXPECT_TRUE(control("BenchButton")->isEnabled()) << "no Steam key, but a Steam root";
    EXPECT_EQ(control<QLineEdit>("HL2PathEdit")->text(), layout.gameDir);
    EXPECT_EQ(stored("Path"), layout.gameDir);

    // No client yet: the question, and the client started through the steam command alone.
    dialogs.yes = true;
    clickRun();
    EXPECT_EQ(dialogs.questions, QStringList{"Error! The STEAM not running. Run now?"});
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    EXPECT_EQ(testbed::processArguments(testbed::runningClient(layout)),
              QStringList{layout.steamCommand});
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());

    QStringList seen;
    click("BenchButton");
    ASSERT_TRUE(followSeries(seen, 60000));
    EXPECT_EQ(dialogs.questions.size(), 1) << "the client was found running";
    EXPECT_EQ(control<QLabel>("StatusInfo")->text(),
              QStringLiteral("The benchmarking is successful."));
    EXPECT_TRUE(seen.contains(QString::fromUtf8("Resolution: 800 × 600... | Runs: 2/2")));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << "the game ran at the sizes asked for";

    // Four runs, each at its size, with the report's scores taken from the fps column.
    const QList<QJsonObject> starts = testbed::readGameLog(layout);
    ASSERT_EQ(starts.size(), 4);
    const QList<QStringList> rows = playedRows();
    ASSERT_EQ(rows.size(), 4);
    QList<int> scores;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i][5], i < 2 ? "640" : "800");
        const std::optional<int> score = ConvertScore(rows[i][1], QLocale::c());
        ASSERT_TRUE(score.has_value()) << qPrintable(rows[i][1]);
        scores << *score;
    }
    const QByteArray report = onlyReport();
    EXPECT_EQ(numbersAfter(report, "<b>Score = (\\d+) FPS"), scores);
    EXPECT_EQ(numbersAfter(report, "Average score = (\\d+) FPS"),
              QList<int>({(scores[0] + scores[1]) / 2, (scores[2] + scores[3]) / 2}));
    EXPECT_TRUE(report.contains("Comment:</span> today's Steam</FONT><br>"));
    EXPECT_EQ(shell.opened.size(), 1);

    // The data file beside the report keeps what each run played, as the engine wrote it.
    const QStringList data = QDir(results).entryList({"result_*.json"}, QDir::Files);
    ASSERT_EQ(data.size(), 1);
    EXPECT_EQ(testsupport::schemaProblems({results + data.first()}), QString());
    const QJsonArray dataRows =
        QJsonDocument::fromJson(testsupport::readFile(results + data.first()))
            .object()["rows"]
            .toArray();
    ASSERT_EQ(dataRows.size(), 2);
    for (int i = 0; i < 4; ++i) {
        const QJsonObject run = dataRows[i / 2]["runs"].toArray()[i % 2].toObject();
        EXPECT_EQ(run["played_width"].toInt(), rows[i][5].toInt());
        EXPECT_EQ(run["played_height"].toInt(), rows[i][6].toInt());
        EXPECT_EQ(run["frames"].toInteger(), rows[i][4].toLongLong());
        EXPECT_DOUBLE_EQ(run["seconds"].toDouble(), rows[i][3].toDouble());
        EXPECT_DOUBLE_EQ(run["variability"].toDouble(), rows[i][2].toDouble());
        EXPECT_DOUBLE_EQ(run["fps"].toDouble(), rows[i][1].toDouble());
    }

    // The game's folder is clean again and the benchmark script is gone.
    EXPECT_TRUE(QDir(layout.episodicDir).entryList({"sourcebench.*"}, QDir::Files).isEmpty());
    EXPECT_TRUE(QFileInfo(layout.cfgDir).isDir());
    EXPECT_TRUE(starts[0]["autoexec"].toBool()) << "the game found the benchmark script";
    EXPECT_FALSE(QFile::exists(layout.cfgDir + "autoexec.cfg"));
}

TEST_F(TodaysSteamThroughWindow, AClientThatDropsTheSizeIsToldAfterTheSeries) {
    storeValues({{"640", "1"}, {"RunNumber", "1"}, {"Demo", "1"}, {"ResultPath", results}});
    qputenv("VARNHOLT_TESTBED_DROP_SIZE", "1");
    ASSERT_TRUE(QProcess::startDetached(layout.steamCommand, {}, layout.steamRoot));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    openWindow();
    clickRun();
    EXPECT_EQ(control<QLabel>("StatusInfo")->text(),
              QStringLiteral("The benchmarking is successful."))
        << "the status line keeps its text";
    EXPECT_EQ(dialogs.messages,
              QStringList{"The game ran at 1920 x 1080 instead of 640 x 480: Steam may have "
                          "dropped the launch options."});
    const QList<QStringList> rows = playedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(onlyReport().contains("<b>Score = " + rows[0][1].toLatin1() + " FPS</b>"))
        << "the report is written as ever, with the score as read";
}

// Steam starts the game later than the system's fixed wait (scaled down here, as every wait):
// the progress panel says what is waited for, and the run gets its own game's result.
TEST_F(TodaysSteamThroughWindow, AGameThatComesLateIsWaitedForWithTheTimeShown) {
    storeValues({{"640", "1"}, {"RunNumber", "2"}, {"Demo", "1"}, {"ResultPath", results}});
    testsupport::writeFile(layout.cfgDir + "autoexec.cfg", "// mine\n");
    qputenv("VARNHOLT_TESTBED_START_DELAY_MS", "1500");
    qputenv("VARNHOLT_TESTBED_PLAY_MS", "500"); // seen running for a while
    seriesTimings.launcherEndWait = 300;
    seriesTimings.gameLateNotice = 1000;
    ASSERT_TRUE(QProcess::startDetached(layout.steamCommand, {}, layout.steamRoot));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    openWindow();
    auto* gameLine = control<QLabel>("GameLine");
    auto* finishedRun = control<QLabel>("FinishedRunLine");
    QStringList shown;
    click("BenchButton");
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            for (const QString& text : {gameLine->text(), finishedRun->text()})
                if (!text.isEmpty() && !shown.contains(text))
                    shown << text;
            return control("BenchButton")->isEnabled();
        },
        60000));
    EXPECT_EQ(control<QLabel>("StatusInfo")->text(),
              QStringLiteral("The benchmarking is successful."));
    EXPECT_TRUE(shown.contains("waiting for Steam to start the game (0:00)"))
        << qPrintable(shown.join('\n'));
    EXPECT_TRUE(shown.contains("Waiting for Steam to start the game: it may be updating it or "
                               "preparing shaders (0:01)"));
    EXPECT_TRUE(shown.contains("the game is running (0:00)"));
    const QList<QStringList> rows = playedRows();
    ASSERT_EQ(rows.size(), 2) << "one game per run";
    EXPECT_TRUE(
        shown.contains("run 2: " + QString::number(rows[1][1].toDouble(), 'f', 2) + " FPS"));
    const QByteArray report = onlyReport();
    for (const QStringList& row : rows) {
        const std::optional<int> score = ConvertScore(row[1], QLocale::c());
        ASSERT_TRUE(score.has_value()) << qPrintable(row[1]);
        EXPECT_TRUE(report.contains("<b>Score = " + QByteArray::number(*score) + " FPS"))
            << row[1].toStdString();
    }
    EXPECT_EQ(testsupport::readFile(layout.cfgDir + "autoexec.cfg"), "// mine\n");
}

// A client in the tray or in Big Picture drops every launch option: the window says so at once
// with what to do, the series ends as aborted, the user's script is back and the game runs on.
TEST_F(TodaysSteamThroughWindow, AGameWithoutTheLaunchOptionsEndsTheSeriesWithAMessage) {
    storeValues({{"640", "1"}, {"RunNumber", "2"}, {"Demo", "1"}, {"ResultPath", results}});
    testsupport::writeFile(layout.cfgDir + "autoexec.cfg", "// mine\n");
    qputenv("VARNHOLT_TESTBED_DROP_ARGS", "1");
    ASSERT_TRUE(QProcess::startDetached(layout.steamCommand, {}, layout.steamRoot));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    openWindow();
    clickRun();
    EXPECT_EQ(control<QLabel>("StatusInfo")->text(), QLatin1String(LaunchOptionsDroppedStatus));
    EXPECT_EQ(dialogs.messages, QStringList{LaunchOptionsDroppedMessage()});
    EXPECT_FALSE(control("Panel2")->isVisible());
    EXPECT_EQ(testsupport::readFile(layout.cfgDir + "autoexec.cfg"), "// mine\n");
    // The game may be seen before it has written its log line; a second one would follow soon.
    testsupport::waitUntil([&] { return !testbed::readGameLog(layout).isEmpty(); });
    testsupport::waitUntil([] { return false; }, 300);
    EXPECT_EQ(testbed::readGameLog(layout).size(), 1);
    EXPECT_EQ(testbed::standInProcesses(layout.gameDir).size(), 1) << "the game is left running";
    EXPECT_TRUE(QDir(results).entryList({"result_*"}, QDir::Files).isEmpty());
}

// With frame times on, a series whose game logs known frames through MangoHud (each version,
// the first run loading seconds longer) ends with their lows in the data file, and the results
// window shows them beside the chart with a run's plot.
class TodaysSteamFrameTimes : public TodaysSteamThroughWindow,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(TodaysSteamFrameTimes, FrameTimesEndInTheDataFileAndTheResultsWindow) {
    const bool appends = QByteArray(GetParam()) != "0.6.8";
    storeValues({{"800", "1"},
                 {"RunNumber", "2"},
                 {"Demo", "1"},
                 {"ResultPath", results},
                 {"FrameTimes", "1"}});
    const LoggingGame game(layout, kKnownLowsPattern, 6000, GetParam(), kSlowFirstLoad);
    ASSERT_TRUE(QProcess::startDetached(layout.steamCommand, {}, layout.steamRoot));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    openWindow();
    clickRun(180000);
    EXPECT_EQ(control<QLabel>("StatusInfo")->text(),
              QStringLiteral("The benchmarking is successful."));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << qPrintable(dialogs.messages.join('\n'));

    const QStringList data = QDir(results).entryList({"result_*.json"}, QDir::Files);
    ASSERT_EQ(data.size(), 1);
    EXPECT_EQ(testsupport::schemaProblems({results + data.first()}), QString());
    const QJsonObject row = QJsonDocument::fromJson(testsupport::readFile(results + data.first()))
                                .object()["rows"]
                                .toArray()[0]
                                .toObject();
    EXPECT_EQ(row["frame_times"]["low_1_percentile_fps"].toDouble(), kKnownLow1);
    // Pieces cut apart (0.6.8) may miss the demo's two slowest frames: the row's 0.1% low is
    // then the mean of the runs' own.
    const double low01 = knownRowLow01(row, appends);
    EXPECT_EQ(row["frame_times"]["low_01_percentile_fps"].toDouble(), low01);
    const QJsonObject second = row["runs"].toArray()[1].toObject();
    const int frames = second["frame_times"].toObject()["frames"].toInt();
    EXPECT_GE(frames, 250);
    if (appends) {
        EXPECT_EQ(frames, second["frames"].toInt()) << "every frame of the demo";
    }
    const bool firstHasFrames = row["runs"].toArray()[0].toObject()["frame_times"].isObject();
    if (appends) {
        EXPECT_TRUE(firstHasFrames) << "the slow first run too";
    }

    // The results window, from the group bar: the lows beside the chart, the run's frames.
    click("RzGroup3");
    click("ResultsItem");
    ResultsWindow* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* r = qobject_cast<ResultsWindow*>(w))
            shown = r;
    ASSERT_NE(shown, nullptr);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !shown->Listing(); }, 30000));
    ASSERT_EQ(shown->List()->topLevelItemCount(), 1);
    bool plotted = false;
    QObject::connect(shown, &ResultsWindow::FramesShown, [&plotted] { plotted = true; });
    shown->List()->topLevelItem(0)->setSelected(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return plotted; }, 30000));
    ASSERT_TRUE(shown->FramesPanel()->isVisible());
    ASSERT_EQ(shown->Lows()->topLevelItemCount(), 1);
    const QTreeWidgetItem* lows = shown->Lows()->topLevelItem(0);
    EXPECT_EQ(lows->text(0), QString::fromUtf8("800 \u00D7 600"));
    EXPECT_EQ(lows->text(2), "50.0");
    EXPECT_EQ(lows->text(3), QString::number(low01, 'f', 1));
    ASSERT_EQ(shown->RunChoice()->count(), firstHasFrames ? 2 : 1);
    const int secondRun = shown->RunChoice()->count() - 1;
    EXPECT_TRUE(shown->RunChoice()->itemText(secondRun).startsWith(
        QString::fromUtf8("800 \u00D7 600, run 2")));
    shown->RunChoice()->setCurrentIndex(secondRun);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            return shown->Plot()->isVisible() &&
                   shown->Plot()->Frames().size() == std::size_t(frames);
        },
        30000))
        << shown->FramesStatus()->text().toStdString();
    ASSERT_TRUE(shown->Plot()->Figures());
    EXPECT_EQ(shown->Plot()->Figures()->Percentile1LowFps, kKnownLow1);
}

INSTANTIATE_TEST_SUITE_P(MangoHud, TodaysSteamFrameTimes, ::testing::ValuesIn(kMangoHudVersions),
                         [](const auto& info) {
                             return QString(info.param).replace('.', '_').toStdString();
                         });

} // namespace
