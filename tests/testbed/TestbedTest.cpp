// The stand-in Steam client and game, run as real processes in a laid-out Steam folder whose
// path holds a blank, as the program starts them.

#include "SteamLayout.h"
#include "support/TestSupport.h"

#include "game/GameDiscovery.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonValue>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utility>

using namespace testsupport;
using testbed::SteamLayout;

namespace {

// What a benchmark run hands to steam.exe for row 0 (note the two blanks after fast z-reject).
const QString kRunArgs = QStringLiteral(
    "-silent -applaunch 380 -preload -novid -mat_preloadshaders -nocdaudio -nosound -width 640 "
    "-height 480 +r_fastzreject 1  -refresh 60 -heapsize 64000 +timedemoquit rovdemo1");

QStringList words(const QString& text) {
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList strings(const QJsonValue& array) {
    return QVariant(array.toArray().toVariantList()).toStringList();
}

struct Finished {
    int exitCode = -1; // -1: crashed or did not finish
    QString errors;
};

// Runs a program to its end in a folder, as the program runs Steam: from the Steam folder.
Finished runToEnd(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                  const QString& folder) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(program, args);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

void stopClient(QProcess& client) {
    if (client.state() != QProcess::NotRunning) {
        client.kill();
        client.waitForFinished();
    }
}

struct Score {
    QString text;
    double fps = 0;
};

// Line 4, field 3 of a result file, as the program reads it; must look like "123.45".
Score readScore(const QString& path) {
    const QStringList lines = QString::fromLatin1(readFile(path)).split(QStringLiteral("\r\n"));
    if (lines.size() < 4)
        return {};
    const QStringList fields = lines[3].split(QLatin1Char(','));
    if (fields.size() < 3)
        return {};
    Score score{fields[2], 0};
    static const QRegularExpression twoDecimals(QStringLiteral("^\\d+\\.\\d\\d$"));
    if (twoDecimals.match(score.text).hasMatch())
        score.fps = score.text.toDouble();
    return score;
}

class Testbed : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        layout = testbed::layOutSteamFolder(tmp.path() + QStringLiteral("/my steam"),
                                            QStringLiteral("player"), false, binDir());
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(testbed::kPlayMsEnv), QStringLiteral("300"));
        env.remove(QLatin1String(testbed::kNoResultEnv));
        env.remove(QLatin1String(testbed::kHoldEnv));
    }

    void TearDown() override {
        stopClient(client);
        EXPECT_EQ(testbed::stopStandIns(tmp.path()), 0) << "stand-ins were left running";
    }

    Finished run(const QString& program, const QStringList& args) {
        return runToEnd(program, args, env, layout.steamDir);
    }
    Finished runSteam(const QStringList& args) { return run(layout.steamExe, args); }

    void startClient() {
        client.setProcessEnvironment(env);
        client.setWorkingDirectory(layout.steamDir);
        client.start(layout.steamExe, {});
        ASSERT_TRUE(client.waitForStarted());
        ASSERT_TRUE(waitUntil([&] { return testbed::runningClient(layout) == client.processId(); }))
            << "the client did not announce itself";
    }

    QList<qint64> games() const { return testbed::standInProcesses(layout.gameDir); }
    QString resultPath() const {
        return layout.episodicDir + QLatin1String(testbed::kResultFileName);
    }

    QTemporaryDir tmp;
    SteamLayout layout;
    QProcessEnvironment env;
    QProcess client;
};

TEST_F(Testbed, LayoutHoldsExecutableStandInsAndKeepsFilesWhenLaidOutAgain) {
    EXPECT_TRUE(layout.steamDir.endsWith(QStringLiteral("/my steam/")));
    EXPECT_EQ(layout.gameDir,
              layout.steamDir + QStringLiteral("steamapps/player/half-life 2 episode one/"));
    EXPECT_EQ(layout.episodicDir, layout.gameDir + QStringLiteral("episodic/"));
    EXPECT_EQ(layout.cfgDir, layout.episodicDir + QStringLiteral("cfg/"));
    EXPECT_TRUE(QFileInfo(layout.cfgDir).isDir());
    for (const QString& exe : {layout.steamExe, layout.gameExe}) {
        EXPECT_TRUE(QFileInfo(exe).isFile() && QFileInfo(exe).isExecutable()) << qPrintable(exe);
    }

    const QString demo = testbed::placeDemo(layout);
    writeFile(layout.cfgDir + QStringLiteral("autoexec.cfg"), "exec\r\n");
    const SteamLayout again =
        testbed::layOutSteamFolder(layout.steamDir, QStringLiteral("player"), false, binDir());
    EXPECT_EQ(again.gameExe, layout.gameExe);
    EXPECT_TRUE(QFileInfo(again.gameExe).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(demo));
    EXPECT_EQ(readFile(layout.cfgDir + QStringLiteral("autoexec.cfg")), "exec\r\n");

    EXPECT_THROW(testbed::layOutSteamFolder(tmp.path() + QStringLiteral("/other"),
                                            QStringLiteral("player"), false,
                                            tmp.path() + QStringLiteral("/no stand-ins")),
                 std::runtime_error);
}

TEST_F(Testbed, LayoutProgramPrintsShellAssignments) {
    const QString steamDir = tmp.path() + QStringLiteral("/cli steam");
    QProcess layoutProgram;
    layoutProgram.start(binPath(QStringLiteral("testbed-layout")),
                        {steamDir, QStringLiteral("someone")});
    ASSERT_TRUE(layoutProgram.waitForFinished(10000));
    ASSERT_EQ(layoutProgram.exitCode(), 0) << layoutProgram.readAllStandardError().constData();
    const QString out = QString::fromLocal8Bit(layoutProgram.readAllStandardOutput());
    const QString gameExe =
        steamDir + QStringLiteral("/steamapps/someone/half-life 2 episode one/hl2.exe");
    EXPECT_TRUE(out.contains(QStringLiteral("STEAM_DIR='%1/'\n").arg(steamDir))) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("GAME_EXE='%1'\n").arg(gameExe))) << qPrintable(out);
    EXPECT_TRUE(QFileInfo(gameExe).isExecutable());

    QProcess usage;
    usage.start(binPath(QStringLiteral("testbed-layout")), {});
    ASSERT_TRUE(usage.waitForFinished(10000));
    EXPECT_EQ(usage.exitCode(), 2);

    // An option is never taken for a folder's name.
    usage.setWorkingDirectory(tmp.path());
    const struct {
        const char* argument;
        int exit;
    } options[] = {{"--help", 0}, {"-h", 0}, {"--moden", 2}};
    for (const auto& o : options) {
        SCOPED_TRACE(o.argument);
        usage.start(binPath(QStringLiteral("testbed-layout")), {QLatin1String(o.argument)});
        ASSERT_TRUE(usage.waitForFinished(10000));
        EXPECT_EQ(usage.exitCode(), o.exit);
        const QByteArray said =
            o.exit == 0 ? usage.readAllStandardOutput() : usage.readAllStandardError();
        EXPECT_TRUE(said.startsWith("usage: testbed-layout")) << said.constData();
        EXPECT_FALSE(QFileInfo::exists(tmp.path() + '/' + QLatin1String(o.argument)));
    }
}

// The whole round of a benchmark run: client up, launcher hands over and ends, the game plays
// in its own session, writes its result and goes away, the client stays until told to quit.
TEST_F(Testbed, RunThroughLauncherPlaysTheDemoWhileTheClientStaysUp) {
    startClient();
    const qint64 clientPid = client.processId();
    EXPECT_EQ(runSteam({}).exitCode, 0) << "a second client start hands over and ends";
    EXPECT_EQ(testbed::runningClient(layout), clientPid);

    testbed::placeDemo(layout);
    writeFile(layout.cfgDir + QStringLiteral("autoexec.cfg"), "// benchmark\r\nmat_vsync 0\r\n");
    const QString hold = tmp.path() + QStringLiteral("/hold");
    writeFile(hold, {});
    env.insert(QLatin1String(testbed::kHoldEnv), hold);

    const Finished launched = runSteam(words(kRunArgs));
    ASSERT_EQ(launched.exitCode, 0) << qPrintable(launched.errors);

    // The launcher returns only once the game has been exec'd, so it is there now.
    const QList<qint64> running = games();
    ASSERT_EQ(running.size(), 1);
    const qint64 game = running.first();
    const QStringList argv = testbed::processArguments(game);
    ASSERT_FALSE(argv.isEmpty());
    EXPECT_TRUE(argv.first().endsWith(QStringLiteral("/hl2.exe"))) << qPrintable(argv.first());
    EXPECT_EQ(argv.mid(1), words(kRunArgs).mid(3));
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(game)).canonicalFilePath() +
                  QLatin1Char('/'),
              QDir(layout.gameDir).canonicalPath() + QLatin1Char('/'));
    EXPECT_NE(::getsid(pid_t(game)), ::getsid(0));
    EXPECT_FALSE(QFileInfo::exists(resultPath())) << "a result before the demo has ended";

    ASSERT_TRUE(QFile::remove(hold));
    ASSERT_TRUE(waitUntil([&] { return !testbed::processRunning(game); }));
    const Score score = readScore(resultPath());
    EXPECT_GT(score.fps, 60.0) << qPrintable(score.text);
    EXPECT_LT(score.fps, 400.0) << qPrintable(score.text);

    const QList<QJsonObject> starts = testbed::readGameLog(layout);
    ASSERT_EQ(starts.size(), 1);
    EXPECT_EQ(strings(starts[0][QStringLiteral("args")]), words(kRunArgs).mid(3));
    EXPECT_TRUE(starts[0][QStringLiteral("demo")].toBool());
    EXPECT_TRUE(starts[0][QStringLiteral("autoexec")].toBool());
    EXPECT_EQ(starts[0][QStringLiteral("autoexecFirstLine")].toString(),
              QStringLiteral("// benchmark"));

    EXPECT_EQ(client.state(), QProcess::Running);
    const Finished shutdown = runSteam({QStringLiteral("-shutdown")});
    EXPECT_EQ(shutdown.exitCode, 0) << qPrintable(shutdown.errors);
    ASSERT_TRUE(client.waitForFinished(10000));
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(layout.steamDir + QLatin1String(testbed::kClientPidFileName)));
}

TEST_F(Testbed, LauncherStartsTheGameOfTheAccountFolderTheProgramFinds) {
    ASSERT_TRUE(QDir().mkpath(layout.steamDir + QStringLiteral("steamapps/aaa")));
    // More accounts with the game until the one the program settles on (the last its search
    // finds) is not the first by name, so that taking the first by name shows.
    QList<SteamLayout> accounts{layout};
    QStringList found;
    for (const QString name : {"zed", "mid", "kay", "bee", "yew", "owl", "elk"}) {
        accounts << testbed::layOutSteamFolder(layout.steamDir, name, false, binDir());
        found = SearchGameFolders(layout.steamDir);
        QStringList byName = found;
        byName.sort();
        if (found.last() != byName.first())
            break;
    }
    ASSERT_EQ(found.size(), accounts.size());

    ASSERT_EQ(runSteam(words(kRunArgs)).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return testbed::standInProcesses(layout.steamDir).isEmpty(); }))
        << "without a demo the game quits at once";
    for (const SteamLayout& account : accounts)
        EXPECT_EQ(testbed::readGameLog(account).size(), account.gameDir == found.last() ? 1 : 0)
            << account.gameDir.toStdString();
}

TEST_F(Testbed, LauncherRefusesWhatItCannotStart) {
    struct Case {
        const char* name;
        QString args;
        std::function<void()> prepare;
        int exitCode;
        QString message;
    };
    const Case cases[] = {
        {"unknown application", QStringLiteral("-silent -applaunch 220 -width 640"), [] {}, 2,
         QStringLiteral("220")},
        {"no application id", QStringLiteral("-silent -applaunch"), [] {}, 2,
         QStringLiteral("application id")},
        {"game not installed", kRunArgs, [&] { QFile::remove(layout.gameExe); }, 3,
         QStringLiteral("not installed")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        const Finished launched = runSteam(words(c.args));
        EXPECT_EQ(launched.exitCode, c.exitCode);
        EXPECT_TRUE(launched.errors.contains(c.message)) << qPrintable(launched.errors);
        EXPECT_TRUE(testbed::readGameLog(layout).isEmpty()) << "the game was started";
    }
}

TEST_F(Testbed, GameWritesAResultOnlyAfterPlayingAnExistingDemo) {
    struct Case {
        const char* name;
        bool demo;
        bool noResultSwitch;
        bool result;
    };
    const Case cases[] = {
        {"demo present", true, false, true},
        {"demo missing", false, false, false},
        {"no-result switch", true, true, false},
    };
    env.insert(QLatin1String(testbed::kPlayMsEnv), QStringLiteral("0"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(layout.episodicDir + QStringLiteral("rovdemo1.dem"));
        QFile::remove(resultPath());
        if (c.demo)
            testbed::placeDemo(layout);
        if (c.noResultSwitch)
            env.insert(QLatin1String(testbed::kNoResultEnv), QStringLiteral("1"));
        else
            env.remove(QLatin1String(testbed::kNoResultEnv));

        EXPECT_EQ(run(layout.gameExe, words(kRunArgs).mid(3)).exitCode, 0);
        EXPECT_EQ(QFileInfo::exists(resultPath()), c.result);
        const QList<QJsonObject> starts = testbed::readGameLog(layout);
        ASSERT_FALSE(starts.isEmpty());
        EXPECT_EQ(starts.last()[QStringLiteral("demo")].toBool(), c.demo);
        EXPECT_FALSE(starts.last()[QStringLiteral("autoexec")].toBool());
    }
}

TEST_F(Testbed, FrameRateFallsWithTheResolutionAndTheResultNamesDemoAndSize) {
    env.insert(QLatin1String(testbed::kPlayMsEnv), QStringLiteral("0"));
    testbed::placeDemo(layout, QStringLiteral("custom"));
    double previous = 1e9;
    const std::pair<int, int> sizes[] = {{640, 480}, {1280, 1024}, {1920, 1200}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(width);
        const QStringList args = {QStringLiteral("-width"),        QString::number(width),
                                  QStringLiteral("-height"),       QString::number(height),
                                  QStringLiteral("+timedemoquit"), QStringLiteral("custom")};
        ASSERT_EQ(run(layout.gameExe, args).exitCode, 0);
        const Score score = readScore(resultPath());
        EXPECT_GT(score.fps, 20.0) << qPrintable(score.text);
        EXPECT_LT(score.fps, previous);
        previous = score.fps;
        const QStringList fields = QString::fromLatin1(readFile(resultPath()))
                                       .split(QStringLiteral("\r\n"))[3]
                                       .split(QLatin1Char(','));
        EXPECT_EQ(fields[0], QStringLiteral("custom"));
        EXPECT_EQ(fields[1], QStringLiteral("%1x%2").arg(width).arg(height));
    }
}

TEST_F(Testbed, ClientEndsCleanlyWhenAskedToQuit) {
    struct Case {
        const char* name;
        std::function<void()> ask;
    };
    const Case cases[] = {
        {"steam.exe -shutdown",
         [&] { EXPECT_EQ(runSteam({QStringLiteral("-shutdown")}).exitCode, 0); }},
        {"SIGTERM", [&] { client.terminate(); }},
        {"SIGINT", [&] { ::kill(pid_t(client.processId()), SIGINT); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startClient();
        c.ask();
        ASSERT_TRUE(client.waitForFinished(10000));
        EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(client.exitCode(), 0);
        EXPECT_EQ(testbed::runningClient(layout), 0);
    }

    const Finished noClient = runSteam({QStringLiteral("-shutdown")});
    EXPECT_EQ(noClient.exitCode, 1);
    EXPECT_TRUE(noClient.errors.contains(QStringLiteral("no Steam client")))
        << qPrintable(noClient.errors);
}

// A second demo set-up lays the folder out again while the client runs: the client's
// executable is replaced under it, and it must still answer a shutdown.
TEST_F(Testbed, AClientStartedBeforeTheFolderWasLaidOutAgainStillShutsDown) {
    startClient();
    const qint64 pid = client.processId();
    layout = testbed::layOutSteamFolder(tmp.path() + QStringLiteral("/my steam"),
                                        QStringLiteral("player"), false, binDir());
    EXPECT_EQ(testbed::runningClient(layout), pid) << "the running client is still found";
    const Finished again = runSteam({});
    EXPECT_EQ(again.exitCode, 0) << "a second start leaves the first client be";
    const Finished shutdown = runSteam({QStringLiteral("-shutdown")});
    EXPECT_EQ(shutdown.exitCode, 0) << qPrintable(shutdown.errors);
    ASSERT_TRUE(client.waitForFinished(10000));
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_EQ(testbed::runningClient(layout), 0);
}

} // namespace

// Today's layout: the steam command, the Steam root below a home folder, the game in a second
// library, and the result file of today's engine.

#include "game/SteamLibraries.h"
#include "run/ScoreReading.h"

namespace {

using testbed::ModernSteamLayout;

class ModernTestbed : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        layout = testbed::layOutModernSteam(tmp.path() + QStringLiteral("/today"), false, binDir());
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), layout.home);
        env.insert(QLatin1String(testbed::kPlayMsEnv), QStringLiteral("0"));
        env.remove(QLatin1String(testbed::kNoResultEnv));
        env.remove(QLatin1String(testbed::kHoldEnv));
        env.remove(QLatin1String(testbed::kDropSizeEnv));
    }

    void TearDown() override {
        stopClient(client);
        EXPECT_EQ(testbed::stopStandIns(tmp.path()), 0) << "stand-ins were left running";
    }

    Finished run(const QString& program, const QStringList& args) {
        return runToEnd(program, args, env, layout.steamRoot);
    }

    // A launch that has ended with its game: the game quits at once after a zero play time.
    Finished launch(const QStringList& args) {
        const Finished launched = run(layout.steamCommand, args);
        EXPECT_TRUE(waitUntil([&] { return testbed::standInProcesses(layout.gameDir).isEmpty(); }));
        return launched;
    }

    QString resultPath() const {
        return layout.episodicDir + QLatin1String(testbed::kModernResultFileName);
    }

    // The records of a CSV file, each a list of fields.
    static QList<QStringList> records(const QString& path) {
        return CsvRecords(QString::fromUtf8(readFile(path))).value_or(QList<QStringList>{});
    }

    QTemporaryDir tmp;
    ModernSteamLayout layout;
    QProcessEnvironment env;
    QProcess client;
};

TEST_F(ModernTestbed, LayoutListsTheSecondLibraryAndHoldsTheStandIns) {
    const QString base = QDir(tmp.path() + QStringLiteral("/today")).absolutePath();
    EXPECT_EQ(layout.home, base + QStringLiteral("/home/"));
    EXPECT_EQ(layout.steamRoot, layout.home + QStringLiteral(".local/share/Steam/"));
    EXPECT_EQ(layout.library, base + QStringLiteral("/Steam Library, second disk/"));
    EXPECT_EQ(layout.gameDir, layout.library + QStringLiteral("steamapps/common/Half-Life 2/"));
    EXPECT_EQ(layout.cfgDir, layout.gameDir + QStringLiteral("episodic/cfg/"));
    EXPECT_TRUE(QFileInfo(layout.cfgDir).isDir());
    for (const QString& exe :
         {layout.steamCommand, layout.steamScript, layout.gameExe, layout.gameScript}) {
        EXPECT_TRUE(QFileInfo(exe).isFile() && QFileInfo(exe).isExecutable()) << qPrintable(exe);
    }
    for (const char* link : {".steam/root", ".steam/steam"}) {
        EXPECT_EQ(QFileInfo(layout.home + QLatin1String(link)).canonicalFilePath() + '/',
                  layout.steamRoot)
            << link;
    }

    const KvParse list =
        ParseKeyValues(readFile(layout.steamRoot + "steamapps/libraryfolders.vdf"));
    ASSERT_FALSE(list.error.has_value());
    EXPECT_EQ(LibraryFoldersIn(list.tree),
              QStringList({layout.steamRoot.chopped(1), layout.library.chopped(1)}));
    const KvParse manifest =
        ParseKeyValues(readFile(layout.library + "steamapps/appmanifest_220.acf"));
    ASSERT_FALSE(manifest.error.has_value());
    EXPECT_EQ(InstallDirIn(manifest.tree), QStringLiteral("Half-Life 2"));
    EXPECT_TRUE(IsGameFolder(layout.gameDir));

    testbed::placeDemo(layout);
    writeFile(layout.cfgDir + QStringLiteral("autoexec.cfg"), "exec\r\n");
    const ModernSteamLayout again =
        testbed::layOutModernSteam(tmp.path() + QStringLiteral("/today"), false, binDir());
    EXPECT_EQ(again.gameExe, layout.gameExe);
    EXPECT_TRUE(QFileInfo::exists(layout.episodicDir + QStringLiteral("rovdemo1.dem")));
    EXPECT_EQ(readFile(layout.cfgDir + QStringLiteral("autoexec.cfg")), "exec\r\n");

    QProcess layoutProgram;
    layoutProgram.start(binPath(QStringLiteral("testbed-layout")),
                        {QStringLiteral("--modern"), tmp.path() + QStringLiteral("/cli")});
    ASSERT_TRUE(layoutProgram.waitForFinished(10000));
    ASSERT_EQ(layoutProgram.exitCode(), 0) << layoutProgram.readAllStandardError().constData();
    const QString out = QString::fromLocal8Bit(layoutProgram.readAllStandardOutput());
    const QString cli = tmp.path() + QStringLiteral("/cli/");
    EXPECT_TRUE(out.contains(QStringLiteral("HOME_DIR='%1home/'\n").arg(cli))) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("STEAM_COMMAND='%1home/bin/steam'\n").arg(cli)))
        << qPrintable(out);
    EXPECT_TRUE(QFileInfo(cli + QStringLiteral("Steam Library, second disk/steamapps/common/"
                                               "Half-Life 2/hl2_linux"))
                    .isExecutable());
}

TEST_F(ModernTestbed, SteamCommandStartsTheNativeGameWhichAppendsTodaysResults) {
    client.setProcessEnvironment(env);
    client.start(layout.steamScript, {});
    ASSERT_TRUE(client.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return testbed::runningClient(layout) != 0; }))
        << "the client did not announce itself";
    const qint64 clientPid = testbed::runningClient(layout);
    EXPECT_EQ(QFileInfo(testbed::processArguments(clientPid).value(0)).fileName(),
              QStringLiteral("steam"))
        << "steam.sh runs the steam command";

    testbed::placeDemo(layout);
    for (int i = 0; i < 2; ++i) {
        const Finished launched = launch(words(kRunArgs));
        ASSERT_EQ(launched.exitCode, 0) << qPrintable(launched.errors);
    }
    const QList<QStringList> rows = records(resultPath());
    ASSERT_EQ(rows.size(), 3) << "a header line once, then a row per run";
    EXPECT_EQ(
        rows[0].mid(0, 13),
        QStringList({"demofile", "fps", "framerate variability", "totaltime", "numframes", "width",
                     "height", "windowed", "vsync", "MSAA", "Aniso", "dxlevel", "cmdline"}));
    for (const QStringList& row : rows.mid(1)) {
        ASSERT_EQ(row.size(), 13);
        EXPECT_EQ(row[0], QStringLiteral("rovdemo1"));
        EXPECT_GT(row[1].toDouble(), 60.0);
        EXPECT_EQ(row[5], QStringLiteral("640"));
        EXPECT_EQ(row[6], QStringLiteral("480"));
        // The quoted command line holds the library's comma and blanks.
        EXPECT_EQ(row[12], layout.gameExe + QLatin1Char(' ') + words(kRunArgs).mid(3).join(' '));
    }
    EXPECT_NE(rows[1][1], rows[2][1]) << "each start plays a little differently";
    EXPECT_EQ(records(layout.gameDir + QLatin1String(testbed::kModernResultCopyName)), rows.mid(1));

    const RunResult result = ReadRunResult(readFile(resultPath()));
    EXPECT_EQ(result.ScoreText, rows[2][1]) << "the last row's fps";
    EXPECT_EQ(result.Played.Width, 640);
    EXPECT_EQ(result.Played.Height, 480);
    EXPECT_EQ(result.Played.Frames, 5400);

    EXPECT_EQ(run(layout.steamCommand, {QStringLiteral("-shutdown")}).exitCode, 0);
    ASSERT_TRUE(client.waitForFinished(10000));
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_EQ(testbed::runningClient(layout), 0);
}

TEST_F(ModernTestbed, ADroppingClientLeavesTheGameAtItsOwnSize) {
    testbed::placeDemo(layout);
    env.insert(QLatin1String(testbed::kDropSizeEnv), QStringLiteral("1"));
    ASSERT_EQ(launch(words(kRunArgs)).exitCode, 0);
    const QList<QStringList> rows = records(resultPath());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].mid(5, 2), QStringList({"1920", "1080"}));
    const QList<QJsonObject> starts = testbed::readGameLog(layout);
    ASSERT_EQ(starts.size(), 1);
    const QStringList args = strings(starts[0][QStringLiteral("args")]);
    EXPECT_FALSE(args.contains(QStringLiteral("-width")));
    EXPECT_TRUE(args.contains(QStringLiteral("+timedemoquit")));
}

TEST_F(ModernTestbed, RefusesWithoutARootOrAGame) {
    env.insert(QStringLiteral("HOME"), tmp.path() + QStringLiteral("/nobody"));
    Finished launched = run(layout.steamCommand, words(kRunArgs));
    EXPECT_EQ(launched.exitCode, 1);
    EXPECT_TRUE(launched.errors.contains(QStringLiteral("no Steam root")))
        << qPrintable(launched.errors);

    env.insert(QStringLiteral("HOME"), layout.home);
    ASSERT_TRUE(QFile::remove(layout.gameExe));
    launched = run(layout.steamCommand, words(kRunArgs));
    EXPECT_EQ(launched.exitCode, 3);
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());
}

TEST_F(ModernTestbed, AClientStartedBeforeTheLayoutWasLaidOutAgainStillShutsDown) {
    client.setProcessEnvironment(env);
    client.start(layout.steamScript, {});
    ASSERT_TRUE(client.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    const qint64 pid = testbed::runningClient(layout);
    layout = testbed::layOutModernSteam(tmp.path() + QStringLiteral("/today"), false, binDir());
    EXPECT_EQ(testbed::runningClient(layout), pid) << "the running client is still found";
    const Finished shutdown = run(layout.steamCommand, {QStringLiteral("-shutdown")});
    EXPECT_EQ(shutdown.exitCode, 0) << qPrintable(shutdown.errors);
    ASSERT_TRUE(client.waitForFinished(10000));
    EXPECT_EQ(testbed::runningClient(layout), 0);
}

} // namespace
