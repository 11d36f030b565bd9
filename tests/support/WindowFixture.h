#pragma once

#include "Recorders.h"
#include "TestSupport.h"
#include "game/FileOperation.h"
#include "game/GameDiscovery.h"
#include "game/ProcessDetection.h"
#include "game/SeriesPreparation.h"
#include "game/SettingsStore.h"
#include "model/SeriesSteps.h"
#include "platform/Registry.h"
#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

class RecordingLinks : public Links {
public:
    void openHomePage() override { calls << QStringLiteral("home"); }
    void openTweakGuide() override { calls << QStringLiteral("tweak"); }
    void openHelpFile() override { calls << QStringLiteral("help"); }
    QStringList calls;
};

// Records the restore and finishes it at once (nothing to wait for) or from the event loop (after
// the wait before putting the user's script back), as the real one does.
class RecordingPreparation : public GamePreparation {
public:
    std::optional<QString> CheckDemo(const BenchmarkSettings&) override { return std::nullopt; }
    void BackupAutoexec() override {}
    void InstallDemo(const BenchmarkSettings&) override {}
    QString DemoName() const override { return {}; }
    QString DemoCaption() const override { return {}; }
    void ApplyFilterSettings(const BenchmarkSettings&) override {}
    void WriteGameSettings(const BenchmarkSettings&) override {}
    void WriteConfigScript() override {}
    void RestoreGameConfig(bool seriesFinished, std::function<void()> done) override {
        restores.push_back(seriesFinished);
        if (finishAtOnce)
            done();
        else
            QTimer::singleShot(0, std::move(done));
    }
    std::vector<bool> restores;
    bool finishAtOnce = false;
};

class ImmediateFacts : public SystemFactsSource {
public:
    void DiagnosticsCapture(SystemFacts&, std::function<void()> prepareSeries) override {
        prepareSeries();
    }
    void ReportFacts(SystemFacts&) override {}
};

// A private registry and program folder with the program key and Steam's key, and a main
// window built over them with recording dialogs, shell, links and game preparation.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        regDir = tmp.path() + QStringLiteral("/registry/");
        programFolder = tmp.path() + QStringLiteral("/program/");
        QDir().mkpath(programFolder);
        ASSERT_TRUE(
            Registry(RegRoot::LocalMachine, regDir).openKey(SettingsStore::ProgramKey(), true));
        Registry steam(RegRoot::CurrentUser, regDir);
        ASSERT_TRUE(steam.openKey(SteamKeyPath(), true));
        steam.writeString(QStringLiteral("SteamPath"), tmp.path() + QStringLiteral("/steam"));
    }

    void TearDown() override {
        window.reset();
        store.reset();
    }

    void storeValues(const QMap<QString, QString>& values) {
        Registry r(RegRoot::LocalMachine, regDir);
        ASSERT_TRUE(r.openKey(SettingsStore::ProgramKey(), false));
        for (auto it = values.begin(); it != values.end(); ++it)
            r.writeString(it.key(), it.value());
    }

    QString stored(const QString& name) const { return SettingsStore(regDir).ReadValue(name); }

    bool storedExists(const QString& name) const {
        Registry r(RegRoot::LocalMachine, regDir);
        return r.openKey(SettingsStore::ProgramKey(), false) && r.valueExists(name);
    }

    MainWindow& open(QStringList modes = {QStringLiteral("640 x 480"),
                                          QStringLiteral("800 x 600")}) {
        store = std::make_unique<SettingsStore>(regDir);
        StartupEnvironment startup;
        startup.programFolder = programFolder;
        startup.displayModes = [modes] { return testsupport::screenSizes(modes); };
        startup.searchGame = [this](const QString&) { return gameMatches; };
        startup.checkLeftoverConfig = [this](const GamePaths&) { ++leftoverChecks; };
        startup.registryDirectory = regDir;
        window = std::make_unique<MainWindow>(MainWindowContext{
            *store, dialogs, shell, links, preparation, facts, detection, fileOp,
            Timings{1, 1, 1, 1, 1}, startup, [this](const GamePaths& paths) { foundPaths = paths; },
            [this] { ++newsOpened; }, [this] { ++updateChecks; }, [this] { return physicalMemory; },
            [this] { ++quits; }});
        return *window;
    }

    // The window over the program's own preparation, with `own` telling which processes count
    // and today's Steam looked for in `places`.
    void openOverOwnPreparation(ProcessDetection& own, const SteamPlaces& places = {}) {
        store = std::make_unique<SettingsStore>(regDir);
        prep = std::make_unique<SeriesPreparation>(*store, dialogs, fileOp, Timings{1, 1, 1, 1, 1});
        StartupEnvironment startup;
        startup.programFolder = programFolder;
        startup.displayModes = [] {
            return std::vector<platform::ScreenSize>{{640, 480}, {800, 600}};
        };
        startup.searchGame = SearchGameFolders;
        startup.checkLeftoverConfig = [this](const GamePaths& p) { prep->CheckLeftoverConfig(p); };
        startup.registryDirectory = regDir;
        startup.steamPlaces = places;
        window = std::make_unique<MainWindow>(MainWindowContext{
            *store, dialogs, shell, links, *prep, facts, own, fileOp, seriesTimings, startup,
            [this](const GamePaths& p) { prep->SetPaths(p); }, [] {}, [] {},
            [] { return 4096ull << 20; }, [] {}});
        window->show();
    }

    template <class T = QWidget> T* control(const char* name) const {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void click(const char* name) const { control<QAbstractButton>(name)->click(); }

    // Waits for the Run button to come back, noting each new "status line | runs line" on the way.
    bool followSeries(QStringList& seen, int timeoutMs) const {
        auto* line = control<QLabel>("Label21");
        auto* runs = control<QLabel>("RunsLabel");
        return testsupport::waitUntil(
            [&] {
                const QString now = line->text() + " | " + runs->text();
                if (seen.isEmpty() || seen.last() != now)
                    seen << now;
                return control("BenchButton")->isEnabled();
            },
            timeoutMs);
    }

    // A key press as the user makes it; a combo box takes Down, Up, Home and End as a choice.
    static void press(QWidget* widget, Qt::Key key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &up);
    }

    static void pointerLeaves(QWidget* widget) {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(widget, &leave);
    }

    QTemporaryDir tmp;
    QString regDir;
    QString programFolder;
    QStringList gameMatches;
    RecordingDialogs dialogs;
    RecordingShell shell;
    RecordingLinks links;
    RecordingPreparation preparation;
    ImmediateFacts facts;
    // No process runs: Steam is never found.
    ProcessDetection detection{ProcessSource{
        [] { return std::optional<std::vector<platform::ProcessEntry>>(std::in_place); },
        [](qint64) { return false; }}};
    FileOperation fileOp{dialogs};
    quint64 physicalMemory = 4096ull << 20;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainWindow> window;
    // The series' waits in a window opened over the program's own preparation.
    Timings seriesTimings = [] {
        Timings t{20, 20, 10, 1, 1};
        t.gameLookInterval = 20;
        t.frameLogCut = 1500;
        return t;
    }();
    // Set by openOverOwnPreparation.
    std::unique_ptr<SeriesPreparation> prep;
    GamePaths foundPaths;
    int leftoverChecks = 0;
    int newsOpened = 0;
    int updateChecks = 0;
    int quits = 0;
};
