// A whole series as the user runs it: options stored from an earlier start, a click on
// "Run benchmark", the stand-in Steam client and game, and the report at the end.

#include "OwnProcesses.h"
#include "SteamLayout.h"
#include "WindowFixture.h"

#include "game/SeriesPreparation.h"

#include <QLabel>
#include <QProcess>

namespace {

class SeriesThroughWindow : public WindowFixture {
protected:
    void TearDown() override {
        window.reset();
        testbed::stopStandIns(tmp.path());
        WindowFixture::TearDown();
    }
};

TEST_F(SeriesThroughWindow, ClickRunAndGetTheReport) {
    qputenv("VARNHOLT_TESTBED_PLAY_MS", "100");
    qputenv("VARNHOLT_REGISTRY_DIR", regDir.toUtf8());
    const testbed::SteamLayout layout =
        testbed::layOutSteamFolder(tmp.path() + "/steam", "player", false, testsupport::binDir());
    testsupport::writeFile(programFolder + "Demos/rovdemo1.dem", "demo");
    const QString results = tmp.path() + "/results/";
    QDir().mkpath(results);
    storeValues({{"640", "1"},
                 {"800", "1"},
                 {"RunNumber", "2"},
                 {"Demo", "1"},
                 {"ResultPath", results},
                 {"Note", "through the window"}});
    ASSERT_TRUE(QProcess::startDetached(layout.steamExe, {}, layout.steamDir));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));

    store = std::make_unique<SettingsStore>(regDir);
    SeriesPreparation prep(*store, dialogs, fileOp, Timings{1, 1, 1, 1, 1});
    ProcessDetection own(ProcessesBelow(tmp.path()));
    StartupEnvironment startup;
    startup.programFolder = programFolder;
    startup.displayModes = [] { return std::vector<platform::ScreenSize>{{640, 480}, {800, 600}}; };
    startup.searchGame = SearchGameFolders;
    startup.checkLeftoverConfig = [&](const GamePaths& p) { prep.CheckLeftoverConfig(p); };
    startup.registryDirectory = regDir;
    window = std::make_unique<TForm1>(TForm1Components{
        *store, dialogs, shell, links, prep, facts, own, fileOp, Timings{20, 20, 10, 1, 1}, startup,
        [&](const GamePaths& p) { prep.SetPaths(p); }, [] {}, [] {}, [] { return 4096ull << 20; },
        [] {}});
    window->show();

    QStringList seen;
    QList<bool> seriesRunning;
    QObject::connect(window.get(), &TForm1::SeriesRunningChanged,
                     [&](bool running) { seriesRunning.append(running); });
    click("BenchButton");
    QCoreApplication::processEvents();
    EXPECT_EQ(seriesRunning, QList<bool>{true});
    ASSERT_TRUE(followSeries(seen, 30000));

    EXPECT_EQ(control<QLabel>("StatusInfo")->text(),
              QStringLiteral("The benchmarking is successful."));
    EXPECT_TRUE(control("Panel2")->isHidden());
    EXPECT_TRUE(seen.contains(QString::fromUtf8("Resolution: 640 × 480... | Runs: 2/2")));
    EXPECT_TRUE(seen.contains(QString::fromUtf8("Resolution: 800 × 600... | Runs: 2/1")));
    const QStringList reports = QDir(results).entryList({"result_*.htm"}, QDir::Files);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(shell.opened, QStringList{results + reports.first()});
    const QByteArray report = testsupport::readFile(results + reports.first());
    EXPECT_EQ(report.count("Average score = "), 2);
    EXPECT_TRUE(report.contains("Comment:</span> through the window</FONT><br>"));
    EXPECT_EQ(testbed::readGameLog(layout).size(), 4);
    ASSERT_TRUE(testsupport::waitUntil([&] { return seriesRunning.size() == 2; }));
    EXPECT_EQ(seriesRunning, (QList<bool>{true, false}));
}

} // namespace
