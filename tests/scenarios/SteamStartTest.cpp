// What the sequencer starts, and the result files it reads and removes, with real processes.

#include "SeriesFixture.h"

#include <QJsonArray>

namespace {

// A Steam folder "Steam Games" beside an executable "Steam" of someone else's: the shortest
// blank-separated prefix of "/.../Steam Games/steam.exe" names that program.
class PlantedPrefix : public SeriesFixture {
protected:
    void SetUp() override {
        SeriesFixture::SetUp();
        steamGames = testbed::layOutSteamFolder(tmp.path() + "/Steam Games", "player", false,
                                                testsupport::binDir());
        paths.SteamFolder = steamGames.steamDir;
        paths.EpisodicFolder = steamGames.episodicDir;
        paths.CfgFolder = steamGames.cfgDir;
        planted = tmp.path() + "/Steam";
        marker = tmp.path() + "/planted program ran";
        testsupport::writeFile(planted, "#!/bin/sh\necho \"$@\" >> '" + marker.toUtf8() + "'\n");
        ASSERT_TRUE(QFile::setPermissions(planted, QFile::ReadOwner | QFile::ExeOwner));
        view.settings.ResolutionChecked[0] = true;
    }

    testbed::SteamLayout steamGames;
    QString planted;
    QString marker;
};

TEST_F(PlantedPrefix, TheClientAndTheGameAreStartedNotThePlantedProgram) {
    dialogs.yes = true;
    sequencer().RunClicked();
    EXPECT_EQ(dialogs.questions, QStringList{"Error! The STEAM not running. Run now?"});
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(steamGames) != 0; }))
        << "steam.exe in the Steam folder is the client";
    const qint64 client = testbed::runningClient(steamGames);
    EXPECT_EQ(testbed::processArguments(client), QStringList{steamGames.steamExe})
        << "the command text as the system builds it, the program whole as argv[0]";
    EXPECT_TRUE(ProcessDetection(OwnProcesses()).IsSteamRunning());

    runSeries();
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    const QList<QJsonObject> starts = testbed::readGameLog(steamGames);
    ASSERT_EQ(starts.size(), 1);
    EXPECT_EQ(starts[0]["width"].toInt(), 640);
    EXPECT_FALSE(QFile::exists(marker)) << testsupport::readFile(marker).constData();
}

// Today's layout through the sequencer: the steam command, the native game and its results.
class TodaysSeries : public SeriesFixture {
protected:
    void SetUp() override {
        SeriesFixture::SetUp();
        today = testbed::layOutModernSteam(tmp.path() + "/today", false, testsupport::binDir());
        savedHome = qgetenv("HOME");
        qputenv("HOME", today.home.toUtf8());
        qunsetenv("VARNHOLT_TESTBED_DROP_SIZE");
        useTodaysLayout(today);
        view.settings.ResolutionChecked[1] = true;
    }

    void TearDown() override {
        qputenv("HOME", savedHome);
        SeriesFixture::TearDown();
    }

    testbed::ModernSteamLayout today;
    QByteArray savedHome;
};

TEST_F(TodaysSeries, EveryLetterCaseOfTheResultFileIsRemovedAndTheGamesOwnIsRead) {
    ASSERT_TRUE(QProcess::startDetached(today.steamCommand, {}, today.steamRoot));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));
    // Left from runs outside the program: each would give another score.
    const QByteArray stale = "demofile,fps\nold,999.0\n";
    for (const char* name : {"sourcebench.csv", "SOURCEBENCH.CSV", "SourceBench.csv"})
        testsupport::writeFile(today.episodicDir + name, stale);
    testsupport::writeFile(today.episodicDir + "sourcebench.csv.keep", stale);

    runSeries();
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    const QList<QJsonObject> starts = testbed::readGameLog(today);
    ASSERT_EQ(starts.size(), 1);
    EXPECT_EQ(starts[0]["width"].toInt(), 800);
    const QStringList played =
        QString::fromLatin1(testsupport::readFile(today.gameDir + "testbed-results.csv"))
            .split(',');
    ASSERT_GT(played.size(), 2);
    EXPECT_EQ(sequencer().State().LastScoreText, played[1]) << "the fps of the game's own row";
    ASSERT_EQ(sequencer().State().Rows.size(), 1u);
    ASSERT_EQ(sequencer().State().Rows[0].Runs.size(), 1u);
    const PlayedRun& run = sequencer().State().Rows[0].Runs[0].Played;
    EXPECT_EQ(run.Width, 800);
    EXPECT_EQ(run.Height, 600);
    EXPECT_EQ(run.Frames, 5400);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(QDir(today.episodicDir).entryList(QDir::Files),
              QStringList({"rovdemo1.dem", "sourcebench.csv.keep"}));
}

TEST_F(TodaysSeries, ARunWithoutAResultFileIsOneWithoutAResult) {
    ASSERT_TRUE(QProcess::startDetached(today.steamCommand, {}, today.steamRoot));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));
    qputenv("VARNHOLT_TESTBED_NO_RESULT", "1");
    runSeries();
    qunsetenv("VARNHOLT_TESTBED_NO_RESULT");
    EXPECT_EQ(testbed::readGameLog(today).size(), 1);
    EXPECT_EQ(view.status, QStringLiteral("Benchmark aborted!"));
    ASSERT_EQ(sequencer().State().Rows.size(), 1u);
    ASSERT_EQ(sequencer().State().Rows[0].Runs.size(), 1u);
    EXPECT_FALSE(sequencer().State().Rows[0].Runs[0].Played.Width.has_value());
}

} // namespace
