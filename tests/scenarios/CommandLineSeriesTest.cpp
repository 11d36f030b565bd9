#include "CliFixture.h"
#include "LoggingGame.h"
#include "SchemaCheck.h"
#include "SmallDisk.h"

#include "app/CommandLineSeries.h"
#include "game/StartupLoad.h"
#include "results/DataFiles.h"
#include "run/GameWaitTexts.h"
#include "run/RunSequencer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTimer>
#include <csignal>

namespace {

// A series from the command line, run here with short waits and the stand-ins of this test
// only; what it prints is kept.
class CommandLine : public CliFixture {
protected:
    virtual CommandLineEnvironment environment() {
        CommandLineEnvironment env;
        env.programFolder = programFolder;
        env.registryDirectory = regDir;
        env.processes = ProcessesBelow(tmp.path());
        if (places)
            env.steamPlaces = *places;
        env.timings = Timings{50, 50, 20, 10, 10, 200};
        env.timings.frameLogCut = 1500;
        env.out = [this](const QString& text) { out += text; };
        env.err = [this](const QString& text) { err += text; };
        return env;
    }

    int run(SeriesArguments arguments, int timeoutMs = 60000) {
        CommandLineEnvironment env = environment();
        env.progressBar = progressBar;
        series = std::make_unique<CommandLineSeries>(env, std::move(arguments));
        std::optional<int> status;
        QObject::connect(series.get(), &CommandLineSeries::Finished,
                         [&status](int code) { status = code; });
        series->Start();
        EXPECT_TRUE(testsupport::waitUntil([&] { return status.has_value(); }, timeoutMs))
            << err.toStdString();
        return status.value_or(-1);
    }

    static SeriesArguments args(std::vector<ScreenSizeArgument> sizes, std::optional<int> runs) {
        SeriesArguments a;
        a.Resolutions = std::move(sizes);
        a.Runs = runs;
        return a;
    }

    QString out, err;
    bool progressBar = false;
    std::optional<SteamPlaces> places; // nothing: this machine's
    std::unique_ptr<CommandLineSeries> series;
};

TEST_F(CommandLine, AWholeSeriesPrintsItsSummaryAndWritesBothFiles) {
    startClient();
    // 640 x 480: 61.23, 62.5, 62; the custom size: no result, then 30 and 33.
    qputenv("VARNHOLT_TESTBED_FPS", "61.23,62.5,62,-,30,33");
    SeriesArguments a = args({{640, 480}, {1366, 768}}, 3);
    a.Note = "from a script";
    EXPECT_EQ(run(a), 0) << err.toStdString();

    const RunState* state = series->State();
    ASSERT_NE(state, nullptr);
    ASSERT_FALSE(state->ReportPath.isEmpty());
    EXPECT_TRUE(state->ReportPath.startsWith(results)) << "the stored results folder";
    // clang-format off: the table as it is printed
    EXPECT_EQ(
        out,
        QString("Resolution             Run 1    Run 2    Run 3     Mean      Min      Max\n"
                "640 \u00D7 480              61.23    62.50    62.00    61.91    61.23    62.50\n"
                "1366 \u00D7 768 (Custom)        -    30.00    33.00    31.50    30.00    33.00\n"
                "\nReport: %1\nData:   %2\nCSV:    %3\n")
            .arg(state->ReportPath, state->DataPath, state->CsvPath));
    // clang-format on

    const QStringList steps = err.split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(steps.contains("Collecting system information, please wait..."));
    EXPECT_TRUE(steps.contains("Benchmarking in progress"));
    EXPECT_TRUE(steps.contains("Resolution: 640 \u00D7 480... Run 1 of 3"));
    EXPECT_TRUE(steps.contains("Resolution: 1366 \u00D7 768 (Custom)... Run 3 of 3"));
    EXPECT_TRUE(steps.contains("  run 2: 62.50 FPS"));
    EXPECT_TRUE(steps.contains("  run 1: no result"));
    EXPECT_EQ(steps.last(), "The benchmarking is successful.");

    const QJsonObject json =
        QJsonDocument::fromJson(testsupport::readFile(state->DataPath)).object();
    EXPECT_EQ(json["note"].toString(), "from a script");
    const QJsonArray rows = json["rows"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_NEAR(rows[0]["mean"].toDouble(), 61.91, 1e-9);
    EXPECT_DOUBLE_EQ(rows[0]["min"].toDouble(), 61.23);
    EXPECT_DOUBLE_EQ(rows[0]["max"].toDouble(), 62.5);
    EXPECT_NEAR(rows[0]["stddev"].toDouble(), 0.6397655820689342, 1e-12);
    EXPECT_EQ(rows[1]["caption"].toString(), "1366 \u00D7 768 (Custom)");
    EXPECT_EQ(rows[1]["width"].toInt(), 1366);
    EXPECT_EQ(rows[1]["count"].toInt(), 2);
    EXPECT_DOUBLE_EQ(rows[1]["mean"].toDouble(), 31.5);
    EXPECT_NEAR(rows[1]["stddev"].toDouble(), 2.1213203435596424, 1e-12);
    EXPECT_EQ(rows[1]["average"].toInt(), 21) << "(30 + 33) / 3, as the report shows";
    EXPECT_EQ(testsupport::schemaProblems({state->DataPath}), QString());
    EXPECT_TRUE(QFile::exists(state->CsvPath));

    QStringList sizes;
    for (const QJsonObject& start : testbed::readGameLog(layout))
        sizes << QStringLiteral("%1x%2").arg(start["width"].toInt()).arg(start["height"].toInt());
    EXPECT_EQ(sizes,
              QStringList({"640x480", "640x480", "640x480", "1366x768", "1366x768", "1366x768"}));
    expectUserScriptBack();
    EXPECT_EQ(stored("Note"), "stored") << "the note of a script is not the window's";
    EXPECT_EQ(stored("CusW"), "") << "the stored custom size is not changed";
    EXPECT_EQ(stored("RunNumber"), "3") << "kept as the Run button keeps the window's count";
    EXPECT_EQ(stored("Sound"), "") << "the diagnostics cache is emptied, as at the window's close";
}

TEST_F(CommandLine, OptionsNotGivenAreTakenAsStored) {
    startClient();
    store({{"800", "1"}, {"RunNumber", "1"}});
    EXPECT_EQ(run(SeriesArguments{}), 0) << err.toStdString();
    QStringList sizes;
    for (const QJsonObject& start : testbed::readGameLog(layout))
        sizes << QStringLiteral("%1x%2").arg(start["width"].toInt()).arg(start["height"].toInt());
    EXPECT_EQ(sizes, QStringList({"640x480", "800x600"}));
    const QJsonObject json =
        QJsonDocument::fromJson(testsupport::readFile(series->State()->DataPath)).object();
    EXPECT_EQ(json["note"].toString(), "") << "the window's note labels the window's series only";
    EXPECT_FALSE(testsupport::readFile(series->State()->ReportPath).contains("stored"));
    EXPECT_EQ(stored("Note"), "stored");
    EXPECT_EQ(json["options"]["filtering"].toString(), "Trilinear");
    EXPECT_EQ(json["options"]["runs"].toInt(), 1);
    EXPECT_TRUE(json["rows"][0]["average"].isNull()) << "one run per row: no average in the report";
}

// A fresh set-up: nothing stored but the results folder. The first series runs the shipped demo
// and its files name every option.
TEST_F(CommandLine, AFreshSetUpRunsWithTheShippedDemoAndEveryOptionChosen) {
    startClient();
    Registry(RegRoot::LocalMachine, regDir).deleteKey(SettingsStore::ProgramKey());
    ASSERT_TRUE(Registry(RegRoot::LocalMachine, regDir).openKey(SettingsStore::ProgramKey(), true));
    store({{"ResultPath", results}});
    ASSERT_EQ(run(args({{640, 480}}, 1)), 0) << err.toStdString();
    const QJsonObject json =
        QJsonDocument::fromJson(testsupport::readFile(series->State()->DataPath)).object();
    const QJsonObject options = json["options"].toObject();
    EXPECT_EQ(options["filtering"].toString(), "From System");
    EXPECT_EQ(options["antialiasing"].toString(), "From System");
    EXPECT_EQ(options["hdr"].toString(), "Full (if available)");
    EXPECT_EQ(options["heap_size"].toString(), "64 MB - default");
    EXPECT_EQ(options["refresh_rate"].toString(), "60 Hz");
    EXPECT_EQ(options["demo"].toString(), "rovdemo1");
    const QByteArray report = testsupport::readFile(series->State()->ReportPath);
    for (const char* line :
         {"<b>High Dynamic Range:</b> Full (if available)<br>",
          "<b>Heapsize:</b> 64 MB - default<br>", "<b>Antialising mode:</b> From System<br>",
          "<b>Filtering mode:</b> From System<br>"})
        EXPECT_TRUE(report.contains(line)) << line;
}

// With no demo chosen the refusal names the command line's own way to choose one.
TEST_F(CommandLine, NoDemoChosenNamesTheDemoOption) {
    startClient();
    store({{"Demo", "0"}});
    EXPECT_EQ(run(args({{640, 480}}, 1)), 1);
    EXPECT_TRUE(err.contains("Please choose a demo on the \"Filters & demos\" page. On the "
                             "command line: give --demo PATH."))
        << err.toStdString();
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());
}

TEST_F(CommandLine, SteamNotRunningStopsWithAClearMessageAndNoDialog) {
    EXPECT_EQ(run(args({{640, 480}}, 1)), 1);
    EXPECT_TRUE(err.contains("The Steam client is not running; start it, or give --start-steam"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("Please RUN the Steam (online or offline) before bench."));
    EXPECT_EQ(out, "");
    EXPECT_EQ(testbed::runningClient(layout), 0) << "nothing was started";
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());
    expectUserScriptBack();
}

TEST_F(CommandLine, StartSteamStartsTheClientAndRunsTheSeries) {
    SeriesArguments a = args({{800, 600}}, 1);
    a.StartSteam = true;
    EXPECT_EQ(run(a), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("Error! The STEAM not running. Run now? Yes"));
    EXPECT_NE(testbed::runningClient(layout), 0);
    EXPECT_EQ(testbed::readGameLog(layout).size(), 1);
    expectUserScriptBack();
}

TEST_F(CommandLine, NoResultAtAllIsStatusOneWithoutFiles) {
    startClient();
    qputenv("VARNHOLT_TESTBED_FPS", "-,-");
    EXPECT_EQ(run(args({{640, 480}}, 2)), 1);
    EXPECT_TRUE(err.contains("Benchmark aborted!"));
    EXPECT_EQ(QDir(results).entryList(QDir::Files), QStringList());
    EXPECT_TRUE(out.startsWith("Resolution ")) << "the runs are still summed up";
    EXPECT_FALSE(out.contains("Report:"));
    expectUserScriptBack();
}

TEST_F(CommandLine, InterruptStopsTheGameAndPutsTheUsersScriptBack) {
    startClient();
    const QString hold = tmp.path() + "/hold";
    testsupport::writeFile(hold, "");
    qputenv("VARNHOLT_TESTBED_HOLD", hold.toUtf8());
    std::optional<int> status;
    CommandLineSeries cli(environment(), args({{640, 480}}, 3));
    QObject::connect(&cli, &CommandLineSeries::Finished, [&status](int code) { status = code; });
    cli.Start();
    // The game plays, with the program's script in place of the user's.
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            return testbed::readGameLog(layout).size() == 1 &&
                   !testbed::standInProcesses(layout.gameDir).isEmpty();
        },
        30000));
    ASSERT_NE(testsupport::readFile(layout.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
    const qint64 game = testbed::standInProcesses(layout.gameDir).first();

    cli.Interrupt(2);
    ASSERT_TRUE(testsupport::waitUntil([&] { return status.has_value(); }));
    EXPECT_EQ(*status, 130);
    EXPECT_TRUE(err.contains("No report was written.\n")) << err.toStdString();
    EXPECT_TRUE(testsupport::waitUntil([&] { return !testbed::processRunning(game); }))
        << "the game was stopped";
    EXPECT_TRUE(err.contains(QStringLiteral("Stopped the game (process %1).").arg(game)));
    expectUserScriptBack();
    QFile::remove(hold);
    // Nothing of the series goes on afterwards.
    testsupport::waitUntil([] { return false; }, 300);
    EXPECT_EQ(testbed::readGameLog(layout).size(), 1);
}

TEST_F(CommandLine, AProgressBarFollowsTheLinesOnATerminal) {
    startClient();
    progressBar = true;
    EXPECT_EQ(run(args({{640, 480}}, 2)), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("\r\x1b[K  run 1: ")) << "each line clears the bar first";
    EXPECT_TRUE(err.contains("\n[###############---------------] 1/2 runs"));
    EXPECT_TRUE(err.contains("\n[##############################] 2/2 runs"));
    EXPECT_TRUE(err.endsWith("\r\x1b[K")) << "the bar is gone before the summary";
}

// The wait after each launcher's end: counted down beside the bar on a terminal, said in one
// line elsewhere.
TEST_F(CommandLine, TheWaitAfterTheLauncherIsShownWithTheTimeLeft) {
    startClient();
    progressBar = true;
    EXPECT_EQ(run(args({{640, 480}}, 2)), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("\r\x1b[K[------------------------------] 0/2 runs  waiting 1 s"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("\r\x1b[K[###############---------------] 1/2 runs  waiting 1 s"));
    EXPECT_FALSE(err.contains("for the game to start")) << "no line of its own on a terminal";
    EXPECT_TRUE(err.endsWith("\r\x1b[K"));

    err.clear();
    out.clear();
    progressBar = false;
    EXPECT_EQ(run(args({{640, 480}}, 2)), 0) << err.toStdString();
    EXPECT_EQ(err.count("\n  waiting 1 s for the game to start\n"), 2) << err.toStdString();
    EXPECT_FALSE(err.contains('\r'));
}

// A results folder that cannot take the report is found before anything is prepared.
TEST_F(CommandLine, AResultsFolderThatCannotBeWrittenStopsTheSeriesBeforeItStarts) {
    startClient();
    SmallDisk disk;
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    QDir().mkpath(disk.path() + "results");
    ASSERT_TRUE(disk.makeReadOnly());
    const QString folder = disk.path() + "results/";

    // The stored folder, and one given on the command line.
    for (const bool given : {false, true}) {
        SCOPED_TRACE(given ? "given" : "stored");
        err.clear();
        SeriesArguments a = args({{640, 480}}, 1);
        if (given)
            a.Results = folder;
        else
            store({{"ResultPath", folder}});
        EXPECT_EQ(run(a), 2);
        EXPECT_TRUE(err.contains(
            QStringLiteral("The results folder \"%1\" cannot be written: Read-only file system")
                .arg(folder)))
            << err.toStdString();
        EXPECT_FALSE(err.contains("Benchmarking in progress"));
        EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());
        expectUserScriptBack();
        store({{"ResultPath", results}});
    }
}

} // namespace

namespace {

// A series as "varnholt --run --frame-times" runs it, on today's Steam, whose stand-in game logs
// known frames through MangoHud of each version, the first run loading seconds longer.
class CommandLineFrameTimes : public CommandLine,
                              public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        CommandLine::SetUp();
        today = layOutTodaysSteam();
        places = SteamPlaces{today.home, {today.commandDir}};
    }

    testbed::ModernSteamLayout today;
};

TEST_P(CommandLineFrameTimes, TheSummaryGainsTheLowsOfTheFramesPlayed) {
    const bool appends = QByteArray(GetParam()) != "0.6.8";
    const LoggingGame game(today, kKnownLowsPattern, 6000, GetParam(), kSlowFirstLoad);
    ASSERT_TRUE(QProcess::startDetached(today.steamCommand, {}, today.steamRoot));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));
    SeriesArguments a = args({{800, 600}}, 2);
    a.FrameTimes = true;
    EXPECT_EQ(run(a, 180000), 0) << err.toStdString();

    const QStringList lines = out.split('\n');
    ASSERT_GE(lines.size(), 2) << out.toStdString();
    EXPECT_EQ(lines[0],
              "Resolution    Run 1    Run 2     Mean      Min      Max   1% low 0.1% low");
    EXPECT_TRUE(lines[1].startsWith(QString::fromUtf8("800 \u00D7 600 ")))
        << lines[1].toStdString();
    const QString framesFile = series->State()->FramesPath;
    ASSERT_FALSE(framesFile.isEmpty());
    EXPECT_TRUE(QFile::exists(framesFile));
    EXPECT_TRUE(out.endsWith("Frames: " + framesFile + "\n")) << out.toStdString();

    const QJsonObject json =
        QJsonDocument::fromJson(testsupport::readFile(series->State()->DataPath)).object();
    const QJsonObject row = json["rows"].toArray()[0].toObject();
    EXPECT_EQ(row["frame_times"]["low_1_percentile_fps"].toDouble(), kKnownLow1);
    const double low01 = knownRowLow01(row, appends);
    EXPECT_EQ(row["frame_times"]["low_01_percentile_fps"].toDouble(), low01);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("    50.00 %1").arg(low01, 8, 'f', 2)))
        << lines[1].toStdString();
    for (int i : {0, 1}) {
        SCOPED_TRACE(i);
        const QJsonObject run = row["runs"].toArray()[i].toObject();
        if (!appends && i == 0 && run["frame_times"].isNull())
            continue; // written only when logging stops: the slow first run may have none
        const QJsonObject frames = run["frame_times"].toObject();
        ASSERT_FALSE(frames.isEmpty()) << run["frame_times_reason"].toString().toStdString();
        EXPECT_GE(frames["frames"].toInt(), 250) << "enough frames for the lows to be known";
        // No loading frame of 50 ms; pieces cut apart (0.6.8) may miss the 40 ms ones.
        EXPECT_LE(frames["slowest_frame_ms"].toDouble(), 40) << "no loading frame";
        if (appends) {
            EXPECT_EQ(frames["slowest_frame_ms"].toDouble(), 40);
        }
        if (appends) {
            // Every frame of the demo, as the game counted them.
            EXPECT_EQ(frames["frames"].toInteger(), run["frames"].toInteger());
            EXPECT_FALSE(frames["partial"].toBool());
        } else {
            EXPECT_LT(frames["frames"].toInteger(), run["frames"].toInteger());
            EXPECT_TRUE(frames["partial"].toBool());
        }
    }
    expectUserScriptBack();
}

INSTANTIATE_TEST_SUITE_P(MangoHud, CommandLineFrameTimes, ::testing::ValuesIn(kMangoHudVersions),
                         [](const auto& info) {
                             return QString(info.param).replace('.', '_').toStdString();
                         });

} // namespace

namespace {

// Today's Steam from the command line: what each run waits for is said, a late game gets its
// run's result, and a game without the benchmark's launch options, or none at all, ends the
// series as aborted with the user's script back.
class CommandLineTodaysGame : public CommandLine {
protected:
    void SetUp() override {
        CommandLine::SetUp();
        today = layOutTodaysSteam();
        places = SteamPlaces{today.home, {today.commandDir}};
        testsupport::writeFile(today.cfgDir + "autoexec.cfg", UserScript);
        // Each game lives across several looks, so that its run is seen running.
        qputenv("VARNHOLT_TESTBED_PLAY_MS", "400");
        savedHome = qgetenv("HOME");
        qputenv("HOME", today.home.toUtf8());
        ASSERT_TRUE(QProcess::startDetached(today.steamCommand, {}, today.steamRoot));
        ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));
    }
    void TearDown() override {
        for (const char* name : {"VARNHOLT_TESTBED_DROP_ARGS", "VARNHOLT_TESTBED_START_DELAY_MS"})
            qunsetenv(name);
        qputenv("HOME", savedHome);
        CommandLine::TearDown();
    }

    int runToday(SeriesArguments arguments, const std::function<void(Timings&)>& change = {}) {
        timingsChange = change;
        return run(std::move(arguments));
    }

    CommandLineEnvironment environment() override {
        CommandLineEnvironment env = CommandLine::environment();
        env.timings.gameLookInterval = 20;
        env.timings.gameLateNotice = 600;
        if (timingsChange)
            timingsChange(env.timings);
        return env;
    }

    void expectTodaysScriptBack() {
        EXPECT_EQ(testsupport::readFile(today.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
        EXPECT_EQ(QDir(today.cfgDir).entryList(QDir::Files), QStringList{"autoexec.cfg"});
    }

    testbed::ModernSteamLayout today;
    QByteArray savedHome;
    std::function<void(Timings&)> timingsChange;
};

TEST_F(CommandLineTodaysGame, ALateGameIsWaitedForAndEachWaitIsSaid) {
    qputenv("VARNHOLT_TESTBED_START_DELAY_MS", "1200");
    EXPECT_EQ(run(args({{640, 480}}, 2)), 0) << err.toStdString();
    EXPECT_EQ(testbed::readGameLog(today).size(), 2) << "one game per run";
    EXPECT_EQ(err.count("\n  waiting for Steam to start the game\n"), 2) << err.toStdString();
    EXPECT_EQ(err.count("\n  Waiting for Steam to start the game: it may be updating it or "
                        "preparing shaders\n"),
              2);
    EXPECT_EQ(err.count("\n  the game is running\n"), 2);
    EXPECT_FALSE(err.contains("for the game to start")) << "no fixed wait on today's layout";
    EXPECT_TRUE(err.contains("\n  run 2: ")) << err.toStdString();
    EXPECT_FALSE(err.contains("no result"));
    expectTodaysScriptBack();
}

TEST_F(CommandLineTodaysGame, OnATerminalTheWaitStandsBesideTheProgressBar) {
    qputenv("VARNHOLT_TESTBED_START_DELAY_MS", "1200");
    progressBar = true;
    EXPECT_EQ(run(args({{640, 480}}, 1)), 0) << err.toStdString();
    EXPECT_TRUE(err.contains(
        "\r\x1b[K[------------------------------] 0/1 runs  waiting for Steam to start the game "
        "(0:00)"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("\r\x1b[K[------------------------------] 0/1 runs  Waiting for "
                             "Steam to start the game: it may be updating it or preparing "
                             "shaders (0:01)"));
    EXPECT_TRUE(err.contains(
        "\r\x1b[K[------------------------------] 0/1 runs  the game is running (0:00)"));
    EXPECT_TRUE(err.endsWith("\r\x1b[K"));
}

TEST_F(CommandLineTodaysGame, DroppedLaunchOptionsEndTheSeriesAsAbortedAndTheGameRunsOn) {
    qputenv("VARNHOLT_TESTBED_DROP_ARGS", "1");
    EXPECT_EQ(run(args({{640, 480}}, 2)), CommandLineSeries::ExitNoReport) << err.toStdString();
    EXPECT_TRUE(err.contains(QLatin1String(LaunchOptionsDroppedStatus) + "\n"));
    EXPECT_TRUE(err.contains(LaunchOptionsDroppedMessage() + "\n")) << err.toStdString();
    // The game may be seen before it has written its log line; a second one would follow soon.
    testsupport::waitUntil([&] { return !testbed::readGameLog(today).isEmpty(); });
    testsupport::waitUntil([] { return false; }, 300);
    EXPECT_EQ(testbed::readGameLog(today).size(), 1) << "no second request";
    EXPECT_EQ(testbed::standInProcesses(today.gameDir).size(), 1) << "the game is the user's";
    EXPECT_TRUE(QDir(results).entryList(QDir::Files).isEmpty());
    expectTodaysScriptBack();
}

TEST_F(CommandLineTodaysGame, AGameThatNeverComesEndsTheSeriesAtTheDeadline) {
    qputenv("VARNHOLT_TESTBED_START_DELAY_MS", "60000");
    EXPECT_EQ(runToday(args({{640, 480}}, 2), [](Timings& t) { t.gameStartDeadline = 1000; }),
              CommandLineSeries::ExitNoReport)
        << err.toStdString();
    EXPECT_TRUE(err.contains(QLatin1String(GameNeverStartedStatus) + "\n"));
    EXPECT_TRUE(err.contains(GameNeverStartedMessage(1000) + "\n")) << err.toStdString();
    EXPECT_TRUE(testbed::readGameLog(today).isEmpty());
    expectTodaysScriptBack();
}

// The wait for the game stops as any other: Ctrl-C ends the series with the user's script back.
TEST_F(CommandLineTodaysGame, AnInterruptEndsTheWaitForTheGame) {
    qputenv("VARNHOLT_TESTBED_START_DELAY_MS", "60000");
    QTimer interrupter;
    bool interrupted = false;
    QObject::connect(&interrupter, &QTimer::timeout, [&] {
        if (!interrupted && series && err.contains("waiting for Steam to start the game")) {
            interrupted = true;
            series->Interrupt(SIGINT);
        }
    });
    interrupter.start(20);
    EXPECT_EQ(run(args({{640, 480}}, 2)), 128 + SIGINT) << err.toStdString();
    EXPECT_TRUE(interrupted);
    expectTodaysScriptBack();
}

} // namespace

namespace {

// Steam where no one looks (its home is not the one searched), the game folder stored by hand as
// docs/todays-steam.md says.
class CommandLineSteamElsewhere : public CommandLine {
protected:
    void SetUp() override {
        CommandLine::SetUp();
        today = layOutTodaysSteam();
        places = SteamPlaces{tmp.path() + "/another home", {today.commandDir}};
    }

    testbed::ModernSteamLayout today;
};

TEST_F(CommandLineSteamElsewhere, NothingFoundSaysWhereItLookedAndHowToStoreThePath) {
    EXPECT_EQ(run(args({{640, 480}}, 1)), 1);
    EXPECT_TRUE(err.startsWith("Please install the Half-Life 2 Episode One!\n"))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Steam's key HKEY_CURRENT_USER\\Software\\Valve\\Steam "
                                            "in \"%1HKEY_CURRENT_USER.reg\"")
                                 .arg(regDir)))
        << err.toStdString();
    EXPECT_TRUE(err.contains(tmp.path() + "/another home/.local/share/Steam"));
    EXPECT_TRUE(err.contains("a game folder stored as \"Path\": none stored"));
    EXPECT_TRUE(err.contains(StorePathCommand(programFolder, regDir))) << err.toStdString();
}

TEST_F(CommandLineSteamElsewhere, TheGameFolderStoredByHandIsRun) {
    store({{"Path", today.gameDir}});
    testsupport::writeFile(today.cfgDir + "autoexec.cfg", UserScript);
    // The stand-ins find their Steam through $HOME; the program looks in another home.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", today.home.toUtf8());
    const auto restoreHome = qScopeGuard([&home] { qputenv("HOME", home); });
    ASSERT_TRUE(QProcess::startDetached(today.steamCommand, {}, today.steamRoot));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(today) != 0; }));
    EXPECT_EQ(run(args({{800, 600}}, 1)), 0) << err.toStdString();
    EXPECT_FALSE(err.contains("Please install")) << err.toStdString();
    EXPECT_EQ(testbed::readGameLog(today).size(), 1);
    EXPECT_EQ(testsupport::readFile(today.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
}

} // namespace
