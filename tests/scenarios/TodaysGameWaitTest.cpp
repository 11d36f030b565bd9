// Today's layout: each run waits for its game, not for a clock. A game Steam starts late gets
// its run's result, the end of the game is seen at once, a game without the benchmark's launch
// options ends the series, and another copy of the game is named but never waited for.

#include "SeriesFixture.h"

#include "run/GameWaitTexts.h"

#include <QJsonArray>

namespace {

class TodaysGameWait : public SeriesFixture {
protected:
    void SetUp() override {
        SeriesFixture::SetUp();
        today = testbed::layOutModernSteam(tmp.path() + "/today", false, testsupport::binDir());
        savedHome = qgetenv("HOME");
        qputenv("HOME", today.home.toUtf8());
        for (const char* name : Switches)
            qunsetenv(name);
        useTodaysLayout(today);
        view.settings.ResolutionChecked[1] = true;
        // Each game lives across several looks, so that its run is seen running.
        qputenv("VARNHOLT_TESTBED_PLAY_MS", "400");
        // The system's own waits, scaled down: the game below comes later than the fixed wait
        // after the launcher, and none of them bounds a run on today's layout.
        timings.launcherEndWait = 300;
        timings.gamePollInterval = 300;
        timings.gameLateNotice = 500;
        timings.gameStartDeadline = 20000;
        ASSERT_TRUE(QProcess::startDetached(today.steamCommand, {}, today.steamRoot));
        ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));
    }

    void TearDown() override {
        for (const char* name : Switches)
            qunsetenv(name);
        qputenv("HOME", savedHome);
        SeriesFixture::TearDown();
    }

    QStringList playedFps() {
        QStringList fps;
        const QString rows =
            QString::fromLatin1(testsupport::readFile(today.gameDir + "testbed-results.csv"));
        for (const QString& row : rows.split('\n', Qt::SkipEmptyParts))
            fps << row.split(',').value(1);
        return fps;
    }

    static constexpr const char* Switches[] = {"VARNHOLT_TESTBED_DROP_SIZE",
                                               "VARNHOLT_TESTBED_DROP_ARGS",
                                               "VARNHOLT_TESTBED_START_DELAY_MS"};
    testbed::ModernSteamLayout today;
    QByteArray savedHome;
};

// Steam updates the game or prepares its shaders first: the game comes later than the system's
// fixed wait, and still each run gets its own game's result, one game per run.
TEST_F(TodaysGameWait, AGameThatComesLateGetsItsRunsResult) {
    qputenv("VARNHOLT_TESTBED_START_DELAY_MS", "1200");
    view.settings.RunCount = 2;
    runSeries();
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    EXPECT_EQ(testbed::readGameLog(today).size(), 2) << "one request, one game per run";
    const QStringList played = playedFps();
    ASSERT_EQ(played.size(), 2);
    ASSERT_EQ(sequencer().State().Rows.size(), 1u);
    const std::vector<RunRecord>& runs = sequencer().State().Rows[0].Runs;
    ASSERT_EQ(runs.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(runs[size_t(i)].Fps) << i;
        EXPECT_DOUBLE_EQ(*runs[size_t(i)].Fps, played[i].toDouble()) << "each run its own game";
    }

    // What was waited for, as the progress panel showed it.
    EXPECT_TRUE(view.gameLines.contains("waiting for Steam to start the game (0:00)"));
    EXPECT_TRUE(view.gameLines.contains(
        "Waiting for Steam to start the game: it may be updating it or preparing shaders (0:00)"))
        << qPrintable(view.gameLines.join('\n'));
    EXPECT_TRUE(view.gameLines.contains("the game is running (0:00)"));
    EXPECT_EQ(view.finishedRuns.mid(1),
              QStringList({FinishedRunLine(1, runs[0].Fps), FinishedRunLine(2, runs[1].Fps)}));
    EXPECT_EQ(view.gameLines.last(), QString()) << "nothing is waited for at the end";
}

// The system's waits are set far beyond the test's bound: a series that ends within it did not
// wait for any of them.
TEST_F(TodaysGameWait, TheEndOfTheGameIsSeenAtOnceNotAfterTheSystemsWaits) {
    timings.launcherEndWait = 60000;
    timings.gamePollInterval = 60000;
    timings.beforeCollect = 60000;
    view.settings.RunCount = 2;
    runSeries(20000);
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    ASSERT_EQ(sequencer().State().Rows.size(), 1u);
    EXPECT_EQ(sequencer().State().Rows[0].Runs.size(), 2u);
}

TEST_F(TodaysGameWait, AGameThatNeverComesEndsTheSeriesAsAbortedAtTheDeadline) {
    qputenv("VARNHOLT_TESTBED_START_DELAY_MS", "60000");
    timings.gameStartDeadline = 1500;
    runSeries();
    EXPECT_EQ(view.status, QLatin1String(GameNeverStartedStatus));
    EXPECT_EQ(dialogs.messages, QStringList{GameNeverStartedMessage(1500)});
    EXPECT_EQ(preparation->calls.last(), "restore") << "the user's files are put back";
    EXPECT_FALSE(view.panelVisible);
    EXPECT_TRUE(view.runEnabled);
    EXPECT_TRUE(sequencer().State().Rows.empty());
    EXPECT_TRUE(sequencer().SeriesFinished());
    EXPECT_TRUE(view.gameLines.contains("Waiting for Steam to start the game: it may be updating "
                                        "it or preparing shaders (0:01)"));
    EXPECT_TRUE(testbed::readGameLog(today).isEmpty());
    // Nothing of the series goes on: no second request, no late step.
    testsupport::waitUntil([] { return false; }, 500);
    int requests = 0;
    for (const qint64 pid : testbed::standInProcesses(today.commandDir))
        requests += testbed::processArguments(pid).contains("-applaunch") ? 1 : 0;
    EXPECT_EQ(requests, 1) << "only the one request's delayed start is under way";
}

// A client in the tray or in Big Picture starts the game without any of its arguments: the game
// sits at its menu. The series says so as soon as it sees the game and ends; the game is the
// user's and runs on.
TEST_F(TodaysGameWait, AGameWithoutTheLaunchOptionsEndsTheSeriesAndRunsOn) {
    qputenv("VARNHOLT_TESTBED_DROP_ARGS", "1");
    view.settings.RunCount = 2;
    runSeries();
    EXPECT_EQ(view.status, QLatin1String(LaunchOptionsDroppedStatus));
    EXPECT_EQ(dialogs.messages, QStringList{LaunchOptionsDroppedMessage()});
    EXPECT_EQ(preparation->calls.last(), "restore");
    EXPECT_TRUE(sequencer().State().Rows.empty());
    // The game may be seen before it has written its log line.
    ASSERT_TRUE(testsupport::waitUntil([&] { return !testbed::readGameLog(today).isEmpty(); }));
    testsupport::waitUntil([] { return false; }, 300);
    const QList<QJsonObject> starts = testbed::readGameLog(today);
    ASSERT_EQ(starts.size(), 1) << "no second request";
    EXPECT_EQ(starts[0]["args"].toArray().size(), 0);
    EXPECT_EQ(testbed::standInProcesses(today.gameDir).size(), 1) << "the game is left running";
}

// A size dropped alone: the run plays and the played-size message stays as it is.
TEST_F(TodaysGameWait, AGameWithoutTheSizeOnlyIsRunAndToldAfterwards) {
    qputenv("VARNHOLT_TESTBED_DROP_SIZE", "1");
    runSeries();
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    EXPECT_EQ(dialogs.messages,
              QStringList{"The game ran at 1920 x 1080 instead of 800 x 600: Steam may have "
                          "dropped the launch options."});
}

// A game of the same name from another folder holds nothing: it is named while the run waits
// for its own game, and left alone.
TEST_F(TodaysGameWait, AnotherCopyOfTheGameIsNamedAndNeverWaitedFor) {
    const testbed::ModernSteamLayout other = testbed::layOutModernSteam(
        tmp.path() + "/other", false, testsupport::binDir(), QStringLiteral("old disk"));
    qint64 copy = 0;
    ASSERT_TRUE(QProcess::startDetached(other.gameExe, {}, other.gameDir, &copy));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::readGameLog(other).size() == 1; }));
    qputenv("VARNHOLT_TESTBED_START_DELAY_MS", "800");
    runSeries();
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    EXPECT_EQ(testbed::readGameLog(today).size(), 1);
    const QString named = QStringLiteral("another copy of the game is running: %1 (process %2)")
                              .arg(other.gameExe)
                              .arg(copy);
    EXPECT_TRUE(std::any_of(view.gameLines.begin(), view.gameLines.end(), [&](const QString& line) {
        return line.endsWith(named);
    })) << qPrintable(view.gameLines.join('\n'));
    EXPECT_TRUE(testbed::processRunning(copy)) << "another copy is none of the series' business";
}

// The system's own layout keeps its fixed waits and says nothing of the game.
TEST_F(TodaysGameWait, TheSystemsLayoutKeepsItsFixedWaits) {
    startClient();
    paths = GamePaths{};
    paths.ProgramFolder = tmp.path() + "/program/";
    paths.SteamFolder = layout.steamDir;
    paths.GameBase = QFileInfo(layout.gameDir + "..").canonicalFilePath() + "/";
    paths.EpisodicFolder = layout.episodicDir;
    paths.CfgFolder = layout.cfgDir;
    QList<int> waits;
    QObject::connect(&sequencer(), &RunSequencer::LauncherEnded,
                     [&waits](int waitMs) { waits << waitMs; });
    runSeries();
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    EXPECT_EQ(waits, QList<int>{300});
    EXPECT_TRUE(view.gameLines.isEmpty());
    EXPECT_TRUE(view.finishedRuns.isEmpty());
}

} // namespace
