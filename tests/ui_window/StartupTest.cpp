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
    };
    const Case cases[] = {
        {"program key", RegRoot::LocalMachine, SettingsStore::ProgramKey(),
         QStringLiteral("Please reinstall the Quillon Varnholt!")},
        {"Steam key", RegRoot::CurrentUser, SteamKeyPath(),
         QStringLiteral("Please install the Half-Life 2 Episode One!")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        storeValues({{"AFLevel", "2"}, {"Note", "kept"}});
        Registry(c.root, regDir).deleteKey(c.key);
        dialogs.messages.clear();
        open();

        EXPECT_EQ(dialogs.messages, QStringList{c.message});
        auto* bench = control("BenchButton");
        EXPECT_FALSE(bench->isEnabled());
        EXPECT_EQ(bench->toolTip(), c.message);
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

TEST_F(WindowStartup, MissingOptionsLeaveTheBoxesWithoutAChoice) {
    open();
    for (const char* box :
         {"AFBox", "AABox", "RunNumberBox", "HDRBox", "HeapsizeBox", "RefreshBox"})
        EXPECT_EQ(control<QComboBox>(box)->currentIndex(), -1) << box;
    EXPECT_FALSE(control<QAbstractButton>("demo0")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>("demo1")->isChecked());
    EXPECT_FALSE(control("DemoEdit")->isEnabled());
    EXPECT_EQ(window->CurrentSettings().RunCount, 0);
    EXPECT_FALSE(window->CurrentSettings().Demo);
}

TEST_F(WindowStartup, TheNewsOpensOnTheFirstShowingOnly) {
    open();
    window->show();
    window->hide();
    window->show();
    EXPECT_EQ(newsOpened, 1);
}

} // namespace
