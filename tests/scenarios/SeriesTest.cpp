#include "SeriesFixture.h"
#include "SmallDisk.h"

#include "process/RunnerSetup.h"
#include "process/TopLevelErrorReport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <cctype>
#include <functional>

namespace {

QStringList reportFiles(const QString& folder) {
    return QDir(folder).entryList({"result_*.htm"}, QDir::Files);
}

// The numbers after `label` in the report, in order ("<b>Score = " or "Average score = ").
QList<int> numbersAfter(const QByteArray& report, const QByteArray& label) {
    QList<int> numbers;
    for (qsizetype at = report.indexOf(label); at >= 0; at = report.indexOf(label, at + 1)) {
        const qsizetype start = at + label.size();
        qsizetype end = start;
        while (end < report.size() && std::isdigit(static_cast<unsigned char>(report[end])))
            ++end;
        numbers << report.mid(start, end - start).toInt();
    }
    return numbers;
}

// Sets the stand-in game's "no result" switch while the `n`-th game (from 1) is started, and
// clears it for the next one.
void noResultForGame(const std::function<QStringList()>& launched, int n) {
    ASSERT_TRUE(testsupport::waitUntil([&] { return launched().size() == n - 1; }, 20000));
    qputenv("VARNHOLT_TESTBED_NO_RESULT", "1");
    ASSERT_TRUE(testsupport::waitUntil([&] { return launched().size() == n; }, 20000));
    qunsetenv("VARNHOLT_TESTBED_NO_RESULT");
}

class Series : public SeriesFixture {};

TEST_F(Series, TwoRowsTwiceEachInTableOrder) {
    startClient();
    view.settings.ResolutionChecked[0] = true;
    view.settings.ResolutionChecked[5] = true;
    view.settings.RunCount = 2;
    view.settings.Note = QStringLiteral("two rows");
    runSeries();

    EXPECT_EQ(launchedSizes(), QStringList({"640x480", "640x480", "2048x1536", "2048x1536"}));
    EXPECT_EQ(view.runsHistory, QStringList({"Runs: 2/1", "Runs: 2/2", "Runs: 2/1", "Runs: 2/2"}));
    EXPECT_EQ(view.resolutionLines.first(), QString::fromUtf8("Resolution: 640 × 480..."));
    EXPECT_EQ(view.resolutionLines.last(), QString::fromUtf8("Resolution: 2048 × 1536..."));
    EXPECT_EQ(view.headings, QStringList({"Collecting system information, please wait...|10|50",
                                          "Benchmarking in progress|12|68"}));
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    EXPECT_TRUE(view.runEnabled);
    EXPECT_FALSE(view.panelVisible);
    EXPECT_EQ(view.restoredBounds.size(), 4) << "the window is put back after every run";
    EXPECT_EQ(preparation->calls,
              QStringList({"backup", "demo", "filters", "values", "script", "restore"}));
    EXPECT_TRUE(sequencer().SeriesFinished());
    EXPECT_EQ(SettingsStore(regDir).ReadValue("NoErrorWarning"), "0");
    EXPECT_EQ(SettingsStore(regDir).ReadValue("RunNumber"), "2");

    const QStringList files = reportFiles(results);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(shell.opened, QStringList{results + files.first()});
    const QByteArray report = testsupport::readFile(results + files.first());
    EXPECT_TRUE(report.contains("<BR><B><FONT size=5>Resolution: 640\xD7"
                                "480</FONT></B><BR>\r\n"));
    EXPECT_TRUE(report.contains("Resolution: 2048\xD7"
                                "1536</FONT>"));
    EXPECT_EQ(report.count("Average score = "), 2);
    EXPECT_EQ(report.count("<b>Score = "), 4);
    EXPECT_TRUE(report.contains("<span class=\"style6\">Comment:</span> two rows</FONT><br>"));
    EXPECT_TRUE(report.endsWith("</CENTER><BR></BODY></HTML>\r\n"));
    EXPECT_FALSE(QFile::exists(layout.episodicDir + "sourcebench.csv"));
    EXPECT_FALSE(QFile::exists(layout.episodicDir + "sourcebench.txt"));
}

TEST_F(Series, CustomRowAloneAndTheLabelStaysEmptyWithOneRun) {
    startClient();
    view.settings.CustomChecked = true;
    view.settings.CustomWidth = "1366";
    view.settings.CustomHeight = "768";
    runSeries();
    EXPECT_EQ(launchedSizes(), QStringList{"1366x768"});
    EXPECT_EQ(view.runsLabel, QString());
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    const QStringList files = reportFiles(results);
    ASSERT_EQ(files.size(), 1);
    const QByteArray report = testsupport::readFile(results + files.first());
    EXPECT_TRUE(report.contains("Resolution: 1366 \xD7 768 (Custom)</FONT>"));
    EXPECT_TRUE(report.contains("<span class=\"style5\"><b>Score = "));
}

TEST_F(Series, SteamNotRunningAsksAndStartsTheClient) {
    view.settings.ResolutionChecked[0] = true;
    dialogs.yes = false;
    runSeries();
    EXPECT_EQ(dialogs.questions, QStringList{"Error! The STEAM not running. Run now?"});
    EXPECT_EQ(view.status,
              QStringLiteral("Please RUN the Steam (online or offline) before bench."));
    EXPECT_EQ(testbed::runningClient(layout), 0);

    dialogs.yes = true;
    runSeries();
    EXPECT_EQ(view.statusHistory.mid(view.statusHistory.size() - 2),
              QStringList({"Error! The Steam NOT running!",
                           "Please wait while the Steam successfully loaded. After that click RUN "
                           "again."}));
    EXPECT_TRUE(view.runEnabled);
    EXPECT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    EXPECT_TRUE(launchedSizes().isEmpty()) << "no series starts";
}

TEST_F(Series, NoRowChosenTouchesNothing) {
    startClient();
    view.settings.CustomChecked = true;
    view.settings.CustomWidth = "1024"; // no height: not chosen
    const QStringList before =
        QDir(layout.gameDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    runSeries();
    EXPECT_EQ(dialogs.messages,
              QStringList{"Please, choose a resolution of Half-Life 2 Episode One."});
    EXPECT_TRUE(preparation->calls.isEmpty());
    EXPECT_TRUE(view.runEnabled);
    EXPECT_FALSE(view.panelVisible);
    EXPECT_EQ(QDir(layout.gameDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

TEST_F(Series, LaunchFailureAbortsAndLeavesThePanelUp) {
    startClient();
    view.settings.ResolutionChecked[2] = true;
    paths.SteamFolder = tmp.path() + "/no steam here/";
    runSeries();
    EXPECT_EQ(view.status, QStringLiteral("Program error, benchmark aborted!"));
    EXPECT_TRUE(view.runEnabled);
    EXPECT_TRUE(view.panelVisible);
    EXPECT_FALSE(sequencer().SeriesFinished());
    EXPECT_EQ(preparation->calls.last(), QStringLiteral("script")) << "nothing is restored yet";
}

TEST_F(Series, RunsWithoutResultLeaveNoReport) {
    startClient();
    qputenv("VARNHOLT_TESTBED_NO_RESULT", "1");
    view.settings.ResolutionChecked[1] = true;
    runSeries();
    EXPECT_EQ(launchedSizes(), QStringList{"800x600"});
    EXPECT_EQ(view.status, QStringLiteral("Benchmark aborted!"));
    EXPECT_TRUE(reportFiles(results).isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(sequencer().SeriesFinished());
}

// A results folder on a full disk: the save fails with the system's error, which reaches the
// top-level report; the series does not call itself successful, opens nothing, leaves no empty
// report, and then ends as a series without a result: the game's files put back, the panel
// hidden, the Run button back.
TEST_F(Series, AReportThatCannotBeSavedIsNoSuccess) {
    SmallDisk disk;
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    startClient();
    view.settings.ResolutionChecked[1] = true;
    view.settings.ResultsFolder = disk.path();
    disk.fill();
    QStringList reported;
    setTopLevelErrorReport(
        [&](const std::exception& e) { reported << QString::fromUtf8(e.what()); });
    runSeries();
    setTopLevelErrorReport({});

    EXPECT_EQ(launchedSizes(), QStringList{"800x600"});
    EXPECT_FALSE(view.statusHistory.contains("The benchmarking is successful."))
        << qPrintable(view.statusHistory.join('|'));
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].startsWith("Cannot create file \"" + disk.path() + "result_"))
        << qPrintable(reported[0]);
    EXPECT_TRUE(reported[0].endsWith(".htm\". No space left on device")) << qPrintable(reported[0]);
    EXPECT_EQ(disk.entries(disk.path()), QStringList());
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(view.status, QStringLiteral("Benchmark aborted!"));
    EXPECT_TRUE(sequencer().SeriesFinished());
    EXPECT_EQ(preparation->calls.last(), QStringLiteral("restore"));
    EXPECT_FALSE(view.panelVisible);
    EXPECT_TRUE(view.runEnabled);
}

TEST_F(Series, ARowWhoseFirstRunHasNoResultGetsItsHeadingWithTheSecond) {
    startClient();
    view.settings.ResolutionChecked[0] = true;
    view.settings.RunCount = 2;
    qputenv("VARNHOLT_TESTBED_NO_RESULT", "1");
    sequencer().RunClicked();
    // The first game has started without a result to write; the second one writes again.
    ASSERT_TRUE(testsupport::waitUntil([&] { return launchedSizes().size() == 1; }, 20000));
    qunsetenv("VARNHOLT_TESTBED_NO_RESULT");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !sequencer().SeriesRunning(); }, 20000));
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    const QStringList files = reportFiles(results);
    ASSERT_EQ(files.size(), 1);
    const QByteArray report = testsupport::readFile(results + files.first());
    EXPECT_EQ(report.count("<BR><B><FONT size=5>Resolution: 640"), 1);
    EXPECT_EQ(report.count("<b>Score = "), 1);
    EXPECT_EQ(report.count("Average score = "), 1) << "the average still divides by the run count";
}

TEST_F(Series, ARowWhoseLastRunHasNoResultLeavesNothingToTheNextRowsAverage) {
    startClient();
    view.settings.ResolutionChecked[0] = true;
    view.settings.ResolutionChecked[1] = true;
    view.settings.RunCount = 2;
    sequencer().RunClicked();
    noResultForGame([&] { return launchedSizes(); }, 2);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !sequencer().SeriesRunning(); }, 20000));
    EXPECT_EQ(launchedSizes(), QStringList({"640x480", "640x480", "800x600", "800x600"}));
    const QStringList files = reportFiles(results);
    ASSERT_EQ(files.size(), 1);
    const QByteArray report = testsupport::readFile(results + files.first());
    const QList<int> scores = numbersAfter(report, "<b>Score = ");
    ASSERT_EQ(scores.size(), 3) << "one of the first row, two of the second";
    // The first row's last run had no result: it gets no average, and its score must not count
    // in the second row's.
    EXPECT_EQ(numbersAfter(report, "Average score = "), QList<int>{(scores[1] + scores[2]) / 2});
}

TEST_F(Series, ASecondSeriesReportsEveryRowWithItsHeading) {
    startClient();
    view.settings.ResolutionChecked[0] = true;
    view.settings.ResolutionChecked[1] = true;
    view.settings.RunCount = 2;
    runSeries();
    // Report names are stamped to the second.
    QElapsedTimer pause;
    pause.start();
    testsupport::waitUntil([&] { return pause.elapsed() > 1100; });
    runSeries();
    const QStringList files = reportFiles(results);
    ASSERT_EQ(files.size(), 2);
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray report = testsupport::readFile(results + file);
        EXPECT_EQ(report.count("<BR><B><FONT size=5>Resolution: 640"), 1);
        EXPECT_EQ(report.count("<BR><B><FONT size=5>Resolution: 800"), 1);
        EXPECT_EQ(report.count("<b>Score = "), 4);
        const QList<int> scores = numbersAfter(report, "<b>Score = ");
        ASSERT_EQ(scores.size(), 4);
        EXPECT_EQ(numbersAfter(report, "Average score = "),
                  (QList<int>{(scores[0] + scores[1]) / 2, (scores[2] + scores[3]) / 2}));
    }
}

TEST(LaunchThroughCp, LauncherEndsAtOnceAndTheGamePlaysAndWrites) {
    QTemporaryDir tmp;
    testsupport::ChildrenBelow children(tmp.path());
    qputenv("VARNHOLT_TESTBED_PLAY_MS", "400");
    qunsetenv("VARNHOLT_TESTBED_NO_RESULT");
    const testbed::SteamLayout layout = testbed::layOutSteamFolder(
        tmp.path() + "/program files/steam", "player", true, testsupport::binDir());
    ProcessRunner GameLauncher;
    int ends = 0;
    ConfigureGameLauncher(GameLauncher, [&](quint32) { ++ends; });
    BenchmarkSettings s;
    s.FastZ = true;
    s.HeapSize = 0;
    GameLauncher.CurrentDirectory = layout.steamDir;
    GameLauncher.CommandLine =
        BuildLaunchCommand(FixedSlots()[0], MakeLaunchOptions(s, "rovdemo1"), layout.steamDir);
    GameLauncher.Run();
    ASSERT_TRUE(testsupport::waitUntil([&] { return ends == 1; }));
    const QList<qint64> running = testbed::standInProcesses(layout.gameDir);
    EXPECT_EQ(running.size(), 1) << "the game runs after its launcher has ended";
    EXPECT_FALSE(QFile::exists(layout.episodicDir + "sourcebench.csv"));
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return QFile::exists(layout.episodicDir + "sourcebench.csv"); }, 10000));
    const QJsonObject start = testbed::readGameLog(layout).first();
    EXPECT_EQ(start["width"].toInt(), 640);
    EXPECT_EQ(start["height"].toInt(), 480);
    EXPECT_TRUE(start["demo"].toBool());
    testbed::stopStandIns(tmp.path());
}

} // namespace
