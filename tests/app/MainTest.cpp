#include "CliFixture.h"
#include "Xvfb.h"

#include "app/CommandLineMain.h"
#include "ui/SingleInstanceGuard.h"

#include <QJsonObject>
#include <QStandardPaths>
#include <QWidget>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The program itself, copied into this test's program folder (so its single-instance names are
// this test's own), run as a process.
class Program : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        program = programFolder + "varnholt";
        ASSERT_TRUE(QFile::copy(testsupport::binPath("varnholt"), program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("XDG_RUNTIME_DIR", tmp.path());
    }

    void TearDown() override {
        for (QProcess* p : {&process, &second}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished();
            }
        }
        if (pipeEnd >= 0)
            ::close(pipeEnd);
        if (!hold.isEmpty())
            QFile::remove(hold);
        CliFixture::TearDown();
    }

    // Runs to its end; returns the exit status.
    int run(const QStringList& arguments) {
        start(arguments);
        EXPECT_TRUE(
            testsupport::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 60000));
        return finish();
    }
    void start(const QStringList& arguments) {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(tmp.path());
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForStarted());
    }
    int finish() {
        out += QString::fromLocal8Bit(process.readAllStandardOutput());
        err += QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    bool ended(int timeoutMs) {
        return testsupport::waitUntil([&] { return process.state() == QProcess::NotRunning; },
                                      timeoutMs);
    }

    // From now on the game plays until the hold file goes.
    void holdTheGame() {
        hold = tmp.path() + "/hold";
        testsupport::writeFile(hold, "");
        env.insert("VARNHOLT_TESTBED_HOLD", hold);
    }
    // Waits until the game that the series started as its `starts`-th plays with the program's
    // script in place of the user's; returns its pid (0 when it never came).
    qint64 waitForTheGame(qsizetype starts) {
        const bool playing = testsupport::waitUntil(
            [&] {
                return testbed::readGameLog(layout).size() == starts &&
                       !testbed::standInProcesses(layout.gameDir).isEmpty();
            },
            60000);
        EXPECT_TRUE(playing)
            << err.toStdString()
            << QString::fromLocal8Bit(process.readAllStandardError()).toStdString();
        if (!playing)
            return 0;
        EXPECT_NE(testsupport::readFile(layout.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
        EXPECT_TRUE(QFile::exists(layout.cfgDir + "autoexec_old.cfg"));
        return testbed::standInProcesses(layout.gameDir).first();
    }

    QString program, out, err, hold;
    QProcessEnvironment env;
    QProcess process, second;
    int pipeEnd = -1;
};

TEST_F(Program, BadArgumentsExitTwoWithTheUsage) {
    const QStringList bad[] = {
        {"--run", "--resolution", "640"},
        {"--run", "--runs", "7"},
        {"--resolution", "640x480"},
        {"--run", "--bogus"},
        {"--run", "--results", "no such folder"},
        {"--run", "--demo", "missing.dem"},
        {"--run", "--demo", "notes.txt"}, // a file, but no recording
        {"--version", "--run"},
        {"--run", "--resolution", "640x480\n"},
        {"--bogus"},
        {"help"},
        {"-platform", "offscreen"},
        {"/afterupgrade", "--bogus"},
    };
    testsupport::writeFile(tmp.path() + "/notes.txt", "not a demo");
    for (const QStringList& arguments : bad) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        out.clear();
        err.clear();
        EXPECT_EQ(run(arguments), 2);
        EXPECT_TRUE(err.startsWith("varnholt: ")) << err.toStdString();
        EXPECT_TRUE(err.contains("Usage: varnholt --run")) << err.toStdString();
        EXPECT_EQ(out, "");
    }
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());
    EXPECT_EQ(stored("Path"), "") << "nothing was loaded";
    expectUserScriptBack();
}

TEST_F(Program, HelpAndVersion) {
    for (const char* help : {"--help", "-h"}) {
        out.clear();
        err.clear();
        EXPECT_EQ(run({help}), 0) << help;
        EXPECT_TRUE(out.startsWith("Usage: varnholt --run [--resolution WxH]...")) << help;
        EXPECT_EQ(err, "");
    }
    out.clear();
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out, "Quillon Varnholt 1.3.0.0\n");
}

TEST_F(Program, WithoutADisplayTheWindowIsRefusedInOneLine) {
    env.remove("QT_QPA_PLATFORM");
    for (const QStringList& arguments :
         {QStringList{}, QStringList{"/afterupgrade"}, QStringList{"/news", "--run"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        out.clear();
        err.clear();
        EXPECT_EQ(run(arguments), 2);
        EXPECT_EQ(err, "varnholt: no display: use --run for a series without a window\n");
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(stored("Path"), "") << "nothing was loaded";
}

TEST_F(Program, RefusesBesideARunningCopy) {
    startClient();
    // This test process takes the place of a window copy of the program in the copies' list,
    // in the runtime folder the program is given (the copies of a user meet in it).
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tmp.path()));
    SingleInstanceGuard windowCopy(nullptr, program);
    if (runtime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtime);
    ASSERT_TRUE(windowCopy.isActive());
    start({"--run", "--resolution", "640x480"});
    // The running copy answers from its event loop.
    ASSERT_TRUE(ended(30000));
    EXPECT_EQ(finish(), 1);
    EXPECT_TRUE(err.contains("Quillon Varnholt is running already")) << err.toStdString();
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());
    expectUserScriptBack();
}

TEST_F(Program, CtrlCMidSeriesPutsTheUsersScriptBackByteForByte) {
    startClient();
    holdTheGame();
    start({"--run", "--resolution", "640x480", "--runs", "2"});
    // The game plays with the program's script in place, and the program waits for it.
    const qint64 game = waitForTheGame(1);
    ASSERT_NE(game, 0);

    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
    ASSERT_TRUE(ended(15000));
    EXPECT_EQ(finish(), 130) << err.toStdString();
    EXPECT_TRUE(err.contains("Interrupted: stopping the series."));
    EXPECT_TRUE(testsupport::waitUntil([&] { return !testbed::processRunning(game); }))
        << "the game was stopped";
    expectUserScriptBack();
    EXPECT_EQ(QDir(results).entryList(QDir::Files), QStringList());
}

// A closed terminal, a quit key or a termination: each stops the game and puts the user's
// script back before the program ends with 128 + the signal's number.
TEST_F(Program, HangUpQuitAndTerminationMidSeriesPutTheUsersScriptBack) {
    startClient();
    holdTheGame();
    qsizetype starts = 0;
    for (const int signalNumber : {SIGHUP, SIGQUIT, SIGTERM}) {
        SCOPED_TRACE(signalNumber);
        out.clear();
        err.clear();
        start({"--run", "--resolution", "640x480", "--runs", "2"});
        const qint64 game = waitForTheGame(++starts);
        ASSERT_NE(game, 0);
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), signalNumber), 0);
        ASSERT_TRUE(ended(15000));
        EXPECT_EQ(finish(), 128 + signalNumber) << err.toStdString();
        EXPECT_TRUE(err.contains("Interrupted: stopping the series.")) << err.toStdString();
        EXPECT_TRUE(testsupport::waitUntil([&] { return !testbed::processRunning(game); }))
            << "the game was stopped";
        expectUserScriptBack();
    }
    EXPECT_EQ(QDir(results).entryList(QDir::Files), QStringList());
}

// Whoever read the progress has gone (a closed pipe): the series goes on to its report and
// the user's script comes back.
TEST_F(Program, AReaderThatGoesAwayDoesNotEndTheSeries) {
    startClient();
    holdTheGame();
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    pipeEnd = ends[0];
    const int writeEnd = ends[1];
    process.setChildProcessModifier([writeEnd] {
        ::dup2(writeEnd, STDOUT_FILENO);
        ::dup2(writeEnd, STDERR_FILENO);
    });
    start({"--run", "--resolution", "640x480", "--runs", "1"});
    ::close(writeEnd);
    ASSERT_NE(waitForTheGame(1), 0);

    ::close(pipeEnd);
    pipeEnd = -1;
    QFile::remove(hold);
    // The launcher's 30 seconds, then the game's end is seen within 5.
    ASSERT_TRUE(ended(90000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "not ended by the broken pipe";
    EXPECT_EQ(process.exitCode(), 0);
    expectUserScriptBack();
    EXPECT_EQ(QDir(results).entryList({"result_*.htm"}, QDir::Files).size(), 1);
}

// The window, stopped by a signal while its series plays, closes as the user would close it:
// the user's script is back before it ends with 128 + the signal's number.
TEST_F(Program, TheWindowStoppedBySignalPutsTheUsersScriptBack) {
    for (const char* tool : {"xwininfo", "xprop", "xdotool"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    testsupport::Xvfb server; // one screen size, 1024 x 768, the size the window may run
    if (server.display().isEmpty())
        GTEST_SKIP() << server.problem();
    startClient();
    store({{"640", "0"}, {"1024", "1"}, {"RunNumber", "1"}});
    holdTheGame();
    env.insert("DISPLAY", server.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", tmp.path());
    env.insert("XDG_RUNTIME_DIR", tmp.path());
    // Clicks "Run benchmark" once the window is shown.
    env.insert("VARNHOLT_BENCH_SERIES", "200");
    qsizetype starts = 0;
    for (const int signalNumber : {SIGHUP, SIGTERM, SIGINT, SIGQUIT}) {
        SCOPED_TRACE(signalNumber);
        err.clear();
        start({});
        // The start-up asks about the autoexec.cfg it finds, the user's own: No, pressed until
        // the box has the focus and goes.
        const auto questionShown = [&] {
            return testsupport::windowKinds(server.display(), "Quillon Varnholt")
                .contains("_NET_WM_WINDOW_TYPE_DIALOG");
        };
        ASSERT_TRUE(testsupport::waitUntil(questionShown, 30000));
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return testsupport::pressKey(server.display(), "Escape") && !questionShown(); },
            30000));
        const qint64 game = waitForTheGame(++starts);
        ASSERT_NE(game, 0);
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), signalNumber), 0);
        ASSERT_TRUE(ended(15000));
        EXPECT_EQ(finish(), 128 + signalNumber) << err.toStdString();
        expectUserScriptBack();
        // The window's close leaves the game alone, as ever; this test ends it.
        ::kill(static_cast<pid_t>(game), SIGKILL);
        ASSERT_TRUE(testsupport::waitUntil([&] { return !testbed::processRunning(game); }));
    }
}

// A window started while a series runs from the command line tells the user why it does not
// open, on a real X server.
TEST_F(Program, AWindowStartedDuringACommandLineSeriesSaysWhy) {
    for (const char* tool : {"xwininfo", "xprop", "xdotool"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    testsupport::Xvfb server;
    if (server.display().isEmpty())
        GTEST_SKIP() << server.problem();
    startClient();
    holdTheGame();
    start({"--run", "--resolution", "640x480", "--runs", "1"});
    ASSERT_NE(waitForTheGame(1), 0);

    QProcessEnvironment windowEnv = env;
    windowEnv.insert("DISPLAY", server.display());
    windowEnv.insert("QT_QPA_PLATFORM", "xcb");
    second.setProcessEnvironment(windowEnv);
    second.start(program, {});
    ASSERT_TRUE(second.waitForStarted());
    QString secondErr;
    const QString told = QStringLiteral("Quillon Varnholt: ") + CommandLineSeriesRunningText + '\n';
    EXPECT_TRUE(testsupport::waitUntil(
        [&] {
            secondErr += QString::fromLocal8Bit(second.readAllStandardError());
            return secondErr.contains(told) || second.state() == QProcess::NotRunning;
        },
        30000));
    EXPECT_TRUE(secondErr.contains(told))
        << secondErr.toStdString() << " running " << (second.state() == QProcess::Running)
        << " exit " << second.exitCode();
    // The message box is on the screen, and no main window.
    QStringList kinds;
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            kinds = testsupport::windowKinds(server.display(), "Quillon Varnholt");
            return !kinds.isEmpty();
        },
        15000));
    EXPECT_EQ(kinds, QStringList{"_NET_WM_WINDOW_TYPE_DIALOG"}) << "a message box, no main window";
    EXPECT_EQ(second.state(), QProcess::Running) << "it waits for the user";
    EXPECT_EQ(testbed::readGameLog(layout).size(), 1);
    EXPECT_NE(process.state(), QProcess::NotRunning) << "the series goes on";

    // OK ends it, without a window.
    // Pressed until the box, once it has the focus, takes it.
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return second.state() == QProcess::NotRunning ||
               (testsupport::pressKey(server.display(), "Return") && second.waitForFinished(500));
    }));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(testsupport::windowKinds(server.display(), "Quillon Varnholt").isEmpty());
    EXPECT_NE(process.state(), QProcess::NotRunning) << "the series goes on";
    // No window follows by itself once the series ends: the text says to start it again.
    EXPECT_TRUE(told.contains("does not open now")) << told.toStdString();
    EXPECT_TRUE(told.contains("Start the program again")) << told.toStdString();
}

// A home laid out as today's Steam on Linux: no Steam path in the store, the Steam root below
// $HOME, the game in a second library, the steam command on the PATH.
class TodaysSteamProgram : public Program {
protected:
    void SetUp() override {
        Program::SetUp();
        today = layOutTodaysSteam();
        env.insert("HOME", today.home);
        env.insert("PATH", QDir::cleanPath(today.commandDir) + ':' + env.value("PATH"));
        testsupport::writeFile(today.cfgDir + "autoexec.cfg", UserScript);
    }

    void startTodaysClient() {
        QProcess client;
        client.setProcessEnvironment(env);
        client.setProgram(today.steamCommand);
        client.setWorkingDirectory(today.steamRoot);
        ASSERT_TRUE(client.startDetached());
        ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));
    }

    testbed::ModernSteamLayout today;
};

TEST_F(TodaysSteamProgram, ACommandLineSeriesFindsTheGameAndWritesTheReport) {
    QProcess client;
    client.setProcessEnvironment(env);
    client.setProgram(today.steamCommand);
    client.setWorkingDirectory(today.steamRoot);
    ASSERT_TRUE(client.startDetached());
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));

    EXPECT_EQ(run({"--run", "--resolution", "800x600", "--runs", "1"}), 0) << err.toStdString();
    EXPECT_FALSE(err.contains("Please install")) << err.toStdString();
    EXPECT_EQ(stored("Path"), today.gameDir);
    const QList<QJsonObject> starts = testbed::readGameLog(today);
    ASSERT_EQ(starts.size(), 1);
    EXPECT_EQ(starts[0]["width"].toInt(), 800);
    EXPECT_TRUE(starts[0]["autoexec"].toBool()) << "the game found the benchmark script";
    const QStringList reports = QDir(results).entryList({"result_*.htm"}, QDir::Files);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(out.contains("Report: " + results + reports.first())) << out.toStdString();
    EXPECT_EQ(testsupport::readFile(today.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty()) << "the old layout was not used";
}

// The program's own waits, on today's layout: a game Steam starts seconds after the request is
// waited for, however long the system's fixed wait would have been, and one game per run is
// requested.
TEST_F(TodaysSteamProgram, ALateGameGetsItsRunsResult) {
    startTodaysClient();
    env.insert("VARNHOLT_TESTBED_START_DELAY_MS", "2000");
    // Long enough to be seen by the program's looks, four a second.
    env.insert("VARNHOLT_TESTBED_PLAY_MS", "1000");
    EXPECT_EQ(run({"--run", "--resolution", "800x600", "--runs", "2"}), 0) << err.toStdString();
    EXPECT_EQ(testbed::readGameLog(today).size(), 2);
    // Other tests' games of the same name may be named beside it ("another copy ...").
    EXPECT_GE(err.count("\n  waiting for Steam to start the game"), 2) << err.toStdString();
    EXPECT_EQ(err.count("\n  the game is running\n"), 2);
    EXPECT_FALSE(err.contains("no result"));
    EXPECT_EQ(testsupport::readFile(today.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
}

TEST_F(TodaysSteamProgram, DroppedLaunchOptionsAreToldAndTheSeriesEndsAborted) {
    startTodaysClient();
    env.insert("VARNHOLT_TESTBED_DROP_ARGS", "1");
    EXPECT_EQ(run({"--run", "--resolution", "800x600", "--runs", "2"}), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("Steam started the game without the benchmark's launch options"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("leave Big Picture mode, and run the benchmark again."));
    // The game may be seen before it has written its log line; a second one would follow soon.
    testsupport::waitUntil([&] { return !testbed::readGameLog(today).isEmpty(); });
    testsupport::waitUntil([] { return false; }, 300);
    EXPECT_EQ(testbed::readGameLog(today).size(), 1);
    EXPECT_EQ(testbed::standInProcesses(today.gameDir).size(), 1) << "the game is left running";
    EXPECT_EQ(testsupport::readFile(today.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
}

} // namespace
