#pragma once

#include "OwnProcesses.h"
#include "Recorders.h"
#include "SteamLayout.h"
#include "TestSupport.h"

#include "game/FileOperation.h"
#include "game/GamePaths.h"
#include "game/ProcessDetection.h"
#include "game/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "run/RunSequencer.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

// Records what the series shows in the window.
class RecordingView : public SeriesView {
public:
    void SetStatus(const QString& text) override {
        status = text;
        statusHistory << text;
    }
    void SetRunButtonEnabled(bool enabled) override { runEnabled = enabled; }
    void SetProgressPanelVisible(bool visible) override { panelVisible = visible; }
    void SetHeading(const QString& text, int fontSize, int left) override {
        headings << QStringLiteral("%1|%2|%3").arg(text).arg(fontSize).arg(left);
    }
    void SetResolutionLine(const QString& text) override { resolutionLines << text; }
    void SetResolutionLineVisible(bool) override {}
    void SetRunsLabel(const QString& text) override {
        runsLabel = text;
        runsHistory << text;
    }
    void SetRunsLabelVisible(bool) override {}
    void SetGameLine(const QString& text) override { gameLines << text; }
    void SetFinishedRunLine(const QString& text) override { finishedRuns << text; }
    WindowBounds NormalBounds() const override { return {556, 475, 100, 80}; }
    void SetBounds(const WindowBounds& b) override { restoredBounds << b.left; }
    void RepaintNow() override {}
    BenchmarkSettings CurrentSettings() const override { return settings; }

    BenchmarkSettings settings;
    QString status;
    QStringList statusHistory, headings, resolutionLines, runsHistory, gameLines, finishedRuns;
    QString runsLabel;
    QList<int> restoredBounds;
    bool runEnabled = true;
    bool panelVisible = false;
};

// Until the real game preparation runs here: the shipped demo copied in place.
class DemoOnlyPreparation : public GamePreparation {
public:
    explicit DemoOnlyPreparation(const GamePaths& paths) : paths_(paths) {}
    std::optional<QString> CheckDemo(const BenchmarkSettings&) override { return std::nullopt; }
    void BackupAutoexec() override { calls << "backup"; }
    void InstallDemo(const BenchmarkSettings&) override {
        calls << "demo";
        testsupport::writeFile(paths_.EpisodicFolder + "rovdemo1.dem", "demo");
    }
    QString DemoName() const override { return QStringLiteral("rovdemo1"); }
    QString DemoCaption() const override { return QStringLiteral("Quillon demo"); }
    void ApplyFilterSettings(const BenchmarkSettings&) override { calls << "filters"; }
    void WriteGameSettings(const BenchmarkSettings&) override { calls << "values"; }
    void WriteConfigScript() override { calls << "script"; }
    void RestoreGameConfig(bool finished, std::function<void()> done) override {
        calls << (finished ? "restore-finished" : "restore");
        done();
    }
    QStringList calls;

private:
    const GamePaths& paths_;
};

class KnownFacts : public SystemFactsSource {
public:
    void DiagnosticsCapture(SystemFacts& facts, std::function<void()> prepareSeries) override {
        facts.AdapterName = QStringLiteral(" Test Adapter");
        facts.DisplayMemory = QStringLiteral(" 256 MB");
        facts.DriverVersion = QStringLiteral(" 1.0");
        facts.SoundDevice = QStringLiteral("Test Sound");
        prepareSeries();
    }
    void ReportFacts(SystemFacts& facts) override {
        facts.OsProductName = QStringLiteral("Test OS");
        facts.TotalPhysicalMemory = 1073741824;
        facts.CpuName = QStringLiteral("Test CPU");
        facts.CpuNormFreq = 2000;
    }
};

// A Steam folder with the stand-ins, a private registry, and the series built on them.
class SeriesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        qputenv("VARNHOLT_TESTBED_PLAY_MS", "150");
        qunsetenv("VARNHOLT_TESTBED_NO_RESULT");
        layout = testbed::layOutSteamFolder(tmp.path() + "/steam folder", "player", false,
                                            testsupport::binDir());
        regDir = tmp.path() + "/registry/";
        ASSERT_TRUE(
            Registry(RegRoot::LocalMachine, regDir).openKey(SettingsStore::ProgramKey(), true));
        paths.ProgramFolder = tmp.path() + "/program/";
        paths.SteamFolder = layout.steamDir;
        paths.GameBase = QFileInfo(layout.gameDir + "..").canonicalFilePath() + "/";
        paths.EpisodicFolder = layout.episodicDir;
        paths.CfgFolder = layout.cfgDir;
        results = tmp.path() + "/results/";
        QDir().mkpath(results);
        view.settings.ResultsFolder = results;
        view.settings.FastZ = true;
        view.settings.RunCount = 1;
        view.settings.Demo = DemoKind::Shipped;
        timings.launcherEndWait = 50;
        timings.gamePollInterval = 50;
        timings.beforeCollect = 20;
        timings.gameLookInterval = 20;
        store_ = std::make_unique<SettingsStore>(regDir);
        detection_ = std::make_unique<ProcessDetection>(OwnProcesses());
    }

    void TearDown() override { testbed::stopStandIns(tmp.path()); }

    ProcessSource OwnProcesses() { return ProcessesBelow(tmp.path()); }

    void startClient() {
        ASSERT_TRUE(QProcess::startDetached(layout.steamExe, {}, layout.steamDir));
        ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    }

    // The series' paths as start-up finds them on today's layout.
    void useTodaysLayout(const testbed::ModernSteamLayout& today) {
        paths.SteamFolder = today.steamRoot;
        paths.SteamCommand = today.steamCommand;
        paths.GameBase = today.gameDir;
        paths.EpisodicFolder = today.episodicDir;
        paths.CfgFolder = today.cfgDir;
    }

    RunSequencer& sequencer() {
        if (!sequencer_) {
            SeriesContext ctx{view,         dialogs, shell, *store_, *detection_,
                              *preparation, facts,   paths, timings};
            sequencer_ = std::make_unique<RunSequencer>(ctx);
        }
        return *sequencer_;
    }

    // Clicks Run and waits until the series has ended one way or another.
    void runSeries(int timeoutMs = 30000) {
        sequencer().RunClicked();
        ASSERT_TRUE(
            testsupport::waitUntil([&] { return !sequencer().SeriesRunning(); }, timeoutMs));
    }

    QStringList launchedSizes() {
        QStringList sizes;
        for (const QJsonObject& start : testbed::readGameLog(layout))
            sizes
                << QStringLiteral("%1x%2").arg(start["width"].toInt()).arg(start["height"].toInt());
        return sizes;
    }

    QTemporaryDir tmp;
    testbed::SteamLayout layout;
    QString regDir, results;
    GamePaths paths;
    Timings timings;
    RecordingView view;
    RecordingDialogs dialogs;
    RecordingShell shell;
    KnownFacts facts;
    std::unique_ptr<SettingsStore> store_ = std::make_unique<SettingsStore>(QString());
    std::unique_ptr<ProcessDetection> detection_;
    std::unique_ptr<DemoOnlyPreparation> preparation = std::make_unique<DemoOnlyPreparation>(paths);
    std::unique_ptr<FileOperation> fileOp_ = std::make_unique<FileOperation>(dialogs);
    std::unique_ptr<RunSequencer> sequencer_;
};
