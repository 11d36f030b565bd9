// A whole series as the user runs it: options stored from an earlier start, a click on
// "Run benchmark", the stand-in Steam client and game, and the report at the end.

#include "OwnProcesses.h"
#include "SteamLayout.h"
#include "WindowFixture.h"

#include "game/SeriesPreparation.h"
#include "run/RunSequencer.h"
#include "ui/ErrorReport.h"

#include <QLabel>
#include <QProcess>
#include <QStackedWidget>

namespace {

class SeriesThroughWindow : public WindowFixture {
protected:
    void TearDown() override {
        window.reset();
        prep.reset();
        testbed::stopStandIns(tmp.path());
        WindowFixture::TearDown();
    }

    // The stand-in client running, the options stored with `results` as the results folder,
    // and the window built over the real game preparation and the stand-ins' processes.
    void openOnStandIns(const QString& results) {
        qputenv("VARNHOLT_TESTBED_PLAY_MS", "100");
        qputenv("VARNHOLT_REGISTRY_DIR", regDir.toUtf8());
        layout = testbed::layOutSteamFolder(tmp.path() + "/steam", "player", false,
                                            testsupport::binDir());
        testsupport::writeFile(programFolder + "Demos/rovdemo1.dem", "demo");
        storeValues({{"640", "1"},
                     {"800", "1"},
                     {"RunNumber", "2"},
                     {"Demo", "1"},
                     {"ResultPath", results},
                     {"Note", "through the window"}});
        ASSERT_TRUE(QProcess::startDetached(layout.steamExe, {}, layout.steamDir));
        ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));

        openOverOwnPreparation(own);
    }

    testbed::SteamLayout layout;
    ProcessDetection own{ProcessesBelow(tmp.path())};
};

TEST_F(SeriesThroughWindow, ClickRunAndGetTheReport) {
    const QString results = tmp.path() + "/results/";
    QDir().mkpath(results);
    openOnStandIns(results);
    if (HasFatalFailure())
        return;

    QStringList seen;
    QList<bool> seriesRunning;
    QObject::connect(window.get(), &MainWindow::SeriesRunningChanged,
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

// The report cannot be written (its folder went while the series ran): the error is shown,
// and the window comes back as after a series without a result, the pages reachable again.
TEST_F(SeriesThroughWindow, AReportThatCannotBeWrittenLeavesTheWindowAsAfterAnyEnd) {
    ErrorReport report(dialogs, tmp.path() + "/state/varnholt.log");
    report.Install();
    const QString results = tmp.path() + "/gone/";
    QDir().mkpath(results);
    openOnStandIns(results);
    if (HasFatalFailure())
        return;
    testsupport::writeFile(layout.cfgDir + "autoexec.cfg", "// the user's own\r\n");

    QStringList seen;
    click("BenchButton");
    ASSERT_FALSE(control("BenchButton")->isEnabled()) << "the series runs";
    ASSERT_TRUE(QDir(results).removeRecursively());
    ASSERT_TRUE(followSeries(seen, 30000));

    ASSERT_EQ(dialogs.messages.size(), 1) << qPrintable(dialogs.messages.join('|'));
    EXPECT_TRUE(dialogs.messages[0].startsWith("Cannot create file \"" + results + "result_"))
        << qPrintable(dialogs.messages[0]);
    EXPECT_EQ(control<QLabel>("StatusInfo")->text(), QStringLiteral("Benchmark aborted!"));
    EXPECT_TRUE(control("Panel2")->isHidden());
    EXPECT_TRUE(window->Sequencer()->SeriesFinished());
    EXPECT_TRUE(shell.opened.isEmpty());
    // The user's script is back once the restore's wait is over.
    EXPECT_TRUE(testsupport::waitUntil([&] {
        return testsupport::readFile(layout.cfgDir + "autoexec.cfg") == "// the user's own\r\n";
    }));
    EXPECT_EQ(stored("NoErrorWarning"), QStringLiteral("0"));

    click("RzGroup1Items1");
    EXPECT_TRUE(control("PageControl")->isVisible());
    EXPECT_EQ(control<QStackedWidget>("PageControl")->currentIndex(), 1);
    EXPECT_TRUE(control("Panel2")->isHidden());
    EXPECT_TRUE(control("BenchButton")->isEnabled());
}

} // namespace
