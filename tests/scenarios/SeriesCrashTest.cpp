// The program killed while the game of a series runs, then started again: the user's script
// must come back byte for byte, whether the next start is followed by a close or by another
// series. The program is played by this test binary, started again with
// VARNHOLT_SERIES_DRIVER naming the folder it works in.

#include "SeriesFixture.h"

#include "game/GameDiscovery.h"
#include "game/SeriesPreparation.h"

#include <QCoreApplication>
#include <QProcess>

namespace {

constexpr char DriverEnv[] = "VARNHOLT_SERIES_DRIVER";
const QByteArray UserScript = "// mine\r\nbind w +forward\r\n";

struct Folders {
    testbed::SteamLayout layout;
    GamePaths paths;
    QString regDir;
};

Folders FoldersBelow(const QString& root) {
    Folders f;
    f.layout =
        testbed::layOutSteamFolder(root + "/steam folder", "player", false, testsupport::binDir());
    f.regDir = root + "/registry/";
    f.paths.ProgramFolder = root + "/program/";
    f.paths.SteamFolder = f.layout.steamDir;
    f.paths.EpisodicFolder = f.layout.episodicDir;
    f.paths.CfgFolder = f.layout.cfgDir;
    f.paths.UserSid = CurrentUserSidText();
    return f;
}

BenchmarkSettings OneRow(const QString& results) {
    BenchmarkSettings s;
    s.ResolutionChecked[0] = true;
    s.RunCount = 1;
    s.Demo = DemoKind::Shipped;
    s.ResultsFolder = results;
    return s;
}

// Runs one series with the program's own preparation; returns when it has ended.
void RunOneSeries(const QString& root, bool waitForEnd) {
    const Folders f = FoldersBelow(root);
    SettingsStore store(f.regDir);
    RecordingDialogs dialogs;
    RecordingShell shell;
    RecordingView view;
    view.settings = OneRow(root + "/");
    KnownFacts facts;
    FileOperation fileOp(dialogs);
    Timings timings;
    timings.launcherEndWait = 20;
    timings.gamePollInterval = 20;
    timings.beforeCollect = 10;
    timings.beforeRestore = 10;
    SeriesPreparation prep(store, dialogs, fileOp, timings);
    prep.SetPaths(f.paths);
    ProcessDetection detection(ProcessesBelow(root));
    RunSequencer sequencer({view, dialogs, shell, store, detection, prep, facts, f.paths, timings});
    sequencer.RunClicked();
    if (!waitForEnd) {
        testsupport::waitUntil([] { return false; }, 60000);
        return;
    }
    ASSERT_TRUE(testsupport::waitUntil([&] { return !sequencer.SeriesRunning(); }, 30000));
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
}

// The program in a child process: a series that is killed while its game runs.
class SeriesDriver : public ::testing::Test {
    void TestBody() override { RunOneSeries(qEnvironmentVariable(DriverEnv), false); }
};

[[maybe_unused]] const bool DriverRegistered = [] {
    if (qEnvironmentVariableIsSet(DriverEnv))
        ::testing::RegisterTest("SeriesDriver", "Run", nullptr, nullptr, __FILE__, __LINE__,
                                []() -> ::testing::Test* { return new SeriesDriver; });
    return true;
}();

struct CrashCase {
    bool answerYes;    // to the leftover-script question at the next start
    bool nextIsSeries; // else the window is closed
};

TEST(SeriesCrash, KilledWhileTheGameRunsLosesNothingOfTheUsers) {
    if (qEnvironmentVariableIsSet(DriverEnv))
        GTEST_SKIP() << "driver process";
    const CrashCase cases[] = {{true, false}, {false, false}, {true, true}, {false, true}};
    for (const CrashCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "yes " << c.answerYes << " series " << c.nextIsSeries);
        QTemporaryDir tmp;
        const QString root = tmp.path();
        testsupport::ChildrenBelow children(root);
        const Folders f = FoldersBelow(root);
        ASSERT_TRUE(
            Registry(RegRoot::LocalMachine, f.regDir).openKey(SettingsStore::ProgramKey(), true));
        ASSERT_TRUE(
            Registry(RegRoot::Users, f.regDir).openKey(GameSettingsKey(f.paths.UserSid), true));
        testsupport::writeFile(f.paths.ProgramFolder + "Demos/rovdemo1.dem", "demo");
        testsupport::writeFile(f.layout.cfgDir + "autoexec.cfg", UserScript);
        const QString hold = root + "/hold";
        testsupport::writeFile(hold, "");
        ASSERT_TRUE(QProcess::startDetached(f.layout.steamExe, {}, f.layout.steamDir));

        QProcess driver;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(DriverEnv, root);
        env.insert("VARNHOLT_TESTBED_HOLD", hold);
        env.insert("VARNHOLT_TESTBED_PLAY_MS", "50");
        env.insert("VARNHOLT_REGISTRY_DIR", f.regDir);
        driver.setProcessEnvironment(env);
        driver.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SeriesDriver.Run"});
        ASSERT_TRUE(driver.waitForStarted());
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return !testbed::standInProcesses(f.layout.gameDir).isEmpty(); }, 20000));
        driver.kill(); // SIGKILL: nothing of the program gets to clean up
        driver.waitForFinished();
        QFile::remove(hold); // the game finishes its demo and quits

        // The next start finds the program's script where the user's was.
        EXPECT_NE(testsupport::readFile(f.layout.cfgDir + "autoexec.cfg"), UserScript);
        SettingsStore store(f.regDir);
        RecordingDialogs dialogs;
        dialogs.yes = c.answerYes;
        FileOperation fileOp(dialogs);
        Timings timings;
        timings.beforeRestore = 10;
        SeriesPreparation prep(store, dialogs, fileOp, timings);
        prep.CheckLeftoverConfig(f.paths);
        prep.SetPaths(f.paths);
        if (c.nextIsSeries) {
            RunOneSeries(root, true);
        } else {
            bool closed = false;
            prep.RestoreGameConfig(false, [&] { closed = true; });
            ASSERT_TRUE(testsupport::waitUntil([&] { return closed; }));
        }
        EXPECT_EQ(testsupport::readFile(f.layout.cfgDir + "autoexec.cfg"), UserScript);
        EXPECT_EQ(QDir(f.layout.cfgDir).entryList(QDir::Files), QStringList{"autoexec.cfg"});
        testbed::stopStandIns(root);
    }
}

} // namespace
