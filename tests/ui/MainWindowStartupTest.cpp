#include "WindowFixture.h"

#include "Version.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>

#include "ui/GroupBar.h"

namespace {

class WindowStartup : public WindowFixture {};

TEST_F(WindowStartup, AMissingKeyStopsOnPageOneWithTheRunButtonDisabled) {
    struct Case {
        const char* name;
        RegRoot root;
        QString key;
        QString message;
        QString wayOut;
    };
    const Case cases[] = {
        {"program key", RegRoot::LocalMachine, SettingsStore::ProgramKey(),
         QStringLiteral("Please reinstall the Quillon Varnholt!"),
         QStringLiteral("scripts/install.sh")},
        {"Steam key", RegRoot::CurrentUser, SteamKeyPath(),
         QStringLiteral("Please install the Half-Life 2 Episode One!"),
         QStringLiteral("Choose the game folder now")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        storeValues({{"AFLevel", "2"}, {"Note", "kept"}});
        Registry(c.root, regDir).deleteKey(c.key);
        dialogs.messages.clear();
        open();

        // The system's sentence first, then what was looked for and where, then the way out.
        const QStringList shown = dialogs.messages + dialogs.questions;
        ASSERT_EQ(shown.size(), 1) << shown.join('|').toStdString();
        EXPECT_TRUE(shown[0].startsWith(c.message + "\n\n")) << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(regDir)) << "where it looked: " << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(c.wayOut)) << shown[0].toStdString();
        auto* bench = control("BenchButton");
        EXPECT_FALSE(bench->isEnabled());
        EXPECT_EQ(bench->toolTip(), c.message);
        EXPECT_TRUE(dialogs.folderTitles.isEmpty()) << "No: nothing is chosen";
        // The window says why it cannot run, where its status shows.
        EXPECT_EQ(control<QLabel>("StatusInfo")->text(), c.message);
        if (const QString shots = qEnvironmentVariable("VARNHOLT_SHOTS"); !shots.isEmpty())
            window->grab().save(shots + "/stopped-" + QString::fromLatin1(c.name) + ".png");
        // Page 1 instead of the about view, and nothing loaded.
        auto* pages = control<QStackedWidget>("PageControl");
        EXPECT_FALSE(pages->isHidden());
        EXPECT_EQ(pages->currentIndex(), 0);
        EXPECT_EQ(control<QComboBox>("AFBox")->currentIndex(), -1);
        EXPECT_EQ(control<QLineEdit>("NoteEdit")->text(), QString());
        EXPECT_EQ(control<QLineEdit>("ResEdit")->text(), QString());
        EXPECT_EQ(leftoverChecks, 0);
        EXPECT_FALSE(storedExists(QStringLiteral("ResultPath")));
        // What comes before the load still happens.
        EXPECT_EQ(control<QLabel>("Label17")->text(), QStringLiteral(VARNHOLT_VERSION));
        EXPECT_TRUE(QDir(programFolder + QStringLiteral("Benchmark")).exists());
        window.reset();
    }
}

// Without Steam the window offers to choose the game folder; a folder that is not the game's is
// refused with the reason, the game's own is stored as "Path" and start-up goes on.
TEST_F(WindowStartup, WithoutSteamTheGameFolderCanBeChosenAndStartUpGoesOn) {
    Registry(RegRoot::CurrentUser, regDir).deleteKey(SteamKeyPath());
    const QString game = tmp.path() + QStringLiteral("/elsewhere/Half-Life 2/");
    QDir().mkpath(game + QStringLiteral("episodic/cfg"));
    testsupport::writeFile(game + QStringLiteral("hl2.sh"), "");
    storeValues({{"AFLevel", "2"}});

    // First a folder that is not the game's, then the game's.
    class TwoAnswers : public RecordingDialogs {
    public:
        QString chooseFolder(const QString& title) override {
            folderTitles << title;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        }
        QStringList answers;
    };
    TwoAnswers answering;
    answering.yes = true;
    answering.answers = {tmp.path() + QStringLiteral("/elsewhere"), game.chopped(1)};
    store = std::make_unique<SettingsStore>(regDir);
    StartupEnvironment startup;
    startup.programFolder = programFolder;
    startup.displayModes = [] { return testsupport::screenSizes({QStringLiteral("640 x 480")}); };
    startup.searchGame = [](const QString&) { return QStringList(); };
    startup.registryDirectory = regDir;
    window = std::make_unique<MainWindow>(MainWindowContext{
        *store, answering, shell, links, preparation, facts, detection, fileOp,
        Timings{1, 1, 1, 1, 1}, startup, [this](const GamePaths& paths) { foundPaths = paths; },
        [] {}, [] {}, [] { return 4096ull << 20; }, [] {}});

    ASSERT_EQ(answering.questions.size(), 2);
    EXPECT_TRUE(answering.questions[0].startsWith("Please install the Half-Life 2 Episode One!"));
    EXPECT_EQ(answering.messages,
              QStringList{QStringLiteral("\"%1\" is not the game folder: it has no episodic/ "
                                         "beside hl2_linux, hl2.sh or hl2.exe.")
                              .arg(tmp.path() + QStringLiteral("/elsewhere"))});
    EXPECT_EQ(stored(QStringLiteral("Path")), game);
    EXPECT_TRUE(control("BenchButton")->isEnabled());
    EXPECT_EQ(control<QLineEdit>("HL2PathEdit")->text(), game);
    EXPECT_EQ(control<QComboBox>("AFBox")->currentIndex(), 2) << "the options are loaded";
    EXPECT_EQ(foundPaths.CfgFolder, game + QStringLiteral("episodic/cfg/"));
    window.reset();
}

// A store file that cannot be read at start-up: the window says why and keeps the Run button
// disabled, as for a missing key.
TEST_F(WindowStartup, ADamagedStoreDisablesTheRunButton) {
    storeValues({{"AFLevel", "2"}});
    const QString file = storeFile(RegRoot::LocalMachine, regDir);
    testsupport::writeFile(file, "Windows Registry Editor Version 5.00\r\n\r\n\"x\"=\"1\"\r\n");
    dialogs.messages.clear();
    open();
    const QString message =
        QStringLiteral("The registry store file '%1' is damaged (line 3: a value line before the "
                       "first key)")
            .arg(file);
    EXPECT_EQ(dialogs.messages, QStringList{message});
    auto* bench = control("BenchButton");
    EXPECT_FALSE(bench->isEnabled());
    EXPECT_EQ(bench->toolTip(), message);
    EXPECT_EQ(control<QComboBox>("AFBox")->currentIndex(), -1);
}

TEST_F(WindowStartup, BothKeysLoadTheOptionsAndOpenOnTheAboutView) {
    const QString demoFile = tmp.path() + QStringLiteral("/mine.dem");
    testsupport::writeFile(demoFile, "demo");
    gameMatches = {tmp.path() + QStringLiteral("/steam/steamapps/me/half-life 2 episode one/")};
    storeValues({{"640", "1"},
                 {"800", "0"},
                 {"1024", "1"},
                 {"AFLevel", "3"},
                 {"AALevel", "7"},
                 {"RunNumber", "2"},
                 {"Demo", "2"},
                 {"Demoname", demoFile},
                 {"Note", "quiet run"},
                 {"HDR", "1"},
                 {"Heapsize", "256000"},
                 {"Refresh", "85"},
                 {"FastZ", "0"},
                 {"CusW", "800"},
                 {"CusH", "600"},
                 {"CusRes", "1"}});
    // Small memory: a heap choice applied as if by the user would bring the advice.
    physicalMemory = 256ull << 20;
    open({QStringLiteral("640 x 480"), QStringLiteral("800 x 600")});

    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(control("BenchButton")->isEnabled());
    EXPECT_TRUE(control("PageControl")->isHidden());
    EXPECT_EQ(control<GroupBar>("RzGroupBar1")->OpenGroup(), -1);

    auto* offered = control<QCheckBox>("res0");
    EXPECT_TRUE(offered->isChecked());
    EXPECT_TRUE(offered->isEnabled());
    EXPECT_FALSE(control<QCheckBox>("res1")->isChecked());
    // 1024 x 768 is not offered: disabled and unticked, its stored value left alone.
    auto* missing = control<QCheckBox>("res2");
    EXPECT_FALSE(missing->isEnabled());
    EXPECT_FALSE(missing->isChecked());
    EXPECT_EQ(stored(QStringLiteral("1024")), QStringLiteral("1"));

    EXPECT_EQ(control<QLineEdit>("CusWidth")->text(), QStringLiteral("800"));
    EXPECT_EQ(control<QLineEdit>("CusHeight")->text(), QStringLiteral("600"));
    EXPECT_TRUE(control<QCheckBox>("cusresbox")->isChecked());
    EXPECT_EQ(control<QComboBox>("AFBox")->currentIndex(), 3);
    EXPECT_EQ(control<QComboBox>("AABox")->currentIndex(), 7);
    EXPECT_EQ(control<QComboBox>("RunNumberBox")->currentIndex(), 1);
    EXPECT_TRUE(control<QAbstractButton>("demo1")->isChecked());
    EXPECT_TRUE(control("DemoEdit")->isEnabled());
    EXPECT_TRUE(control("DemoEditButton")->isEnabled());
    EXPECT_EQ(control<QLineEdit>("DemoEdit")->text(), demoFile);
    EXPECT_EQ(control<QLineEdit>("NoteEdit")->text(), QStringLiteral("quiet run"));
    EXPECT_EQ(control<QLineEdit>("ResEdit")->text(), programFolder + QStringLiteral("Benchmark/"));
    // A long path is cut in its box; pointing at it shows the whole.
    for (const char* path : {"ResEdit", "HL2PathEdit", "DemoEdit"})
        EXPECT_EQ(control<QLineEdit>(path)->toolTip(), control<QLineEdit>(path)->text()) << path;
    control<QLineEdit>("ResEdit")->setText(QStringLiteral("/a/long/path/"));
    EXPECT_EQ(control("ResEdit")->toolTip(), QStringLiteral("/a/long/path/"));
    EXPECT_EQ(control<QComboBox>("HDRBox")->currentIndex(), 1);
    EXPECT_EQ(control<QComboBox>("HeapsizeBox")->currentIndex(), 2);
    EXPECT_EQ(control<QComboBox>("RefreshBox")->currentIndex(), 3);
    EXPECT_FALSE(control<QCheckBox>("FastZBox")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("ColorCorrBox")->isChecked());

    const QString gameBase = tmp.path() + QStringLiteral("/steam/steamapps/me/");
    EXPECT_EQ(control<QLineEdit>("HL2PathEdit")->text(), gameBase);
    EXPECT_EQ(foundPaths.GameBase, gameBase);
    EXPECT_EQ(foundPaths.ProgramFolder, programFolder);
    EXPECT_FALSE(foundPaths.UserSid.isEmpty());
    EXPECT_EQ(leftoverChecks, 1);

    // The series reads the options as the controls now hold them.
    const BenchmarkSettings s = window->CurrentSettings();
    EXPECT_TRUE(s.ResolutionChecked[0]);
    EXPECT_FALSE(s.ResolutionChecked[2]);
    EXPECT_EQ(s.RunCount, 2);
    EXPECT_EQ(s.Demo, DemoKind::Custom);
    EXPECT_EQ(s.HeapSize, 2);
    EXPECT_EQ(s.CustomDemoPath, demoFile);
}

// A fresh set-up shows a choice in every option box and the shipped demo; a stored text that is
// not understood still leaves its box without a choice.
TEST_F(WindowStartup, AFreshSetUpShowsTheDefaults) {
    open();
    const std::pair<const char*, int> boxes[] = {
        {"AFBox", 6}, {"AABox", 7}, {"HDRBox", 2}, {"HeapsizeBox", 0}, {"RefreshBox", 0}};
    for (const auto& [box, item] : boxes)
        EXPECT_EQ(control<QComboBox>(box)->currentIndex(), item) << box;
    EXPECT_EQ(control<QComboBox>("HeapsizeBox")->currentText(), "64 MB - default");
    EXPECT_EQ(control<QComboBox>("RunNumberBox")->currentIndex(), -1)
        << "a series without a count runs each size once";
    EXPECT_TRUE(control<QAbstractButton>("demo0")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>("demo1")->isChecked());
    EXPECT_FALSE(control("DemoEdit")->isEnabled());
    EXPECT_EQ(window->CurrentSettings().RunCount, 0);
    EXPECT_EQ(window->CurrentSettings().Demo, DemoKind::Shipped);
    EXPECT_EQ(window->CurrentSettings().HeapSize, 0);
    window.reset();

    storeValues({{"Heapsize", "3"}, {"AFLevel", "9"}});
    open();
    EXPECT_EQ(control<QComboBox>("HeapsizeBox")->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>("AFBox")->currentIndex(), -1);
}

TEST_F(WindowStartup, TheNewsOpensOnTheFirstShowingOnly) {
    open();
    window->show();
    window->hide();
    window->show();
    EXPECT_EQ(newsOpened, 1);
}

} // namespace
