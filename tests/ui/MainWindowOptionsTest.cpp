#include "SmallDisk.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

class WindowOptions : public WindowFixture {};

TEST_F(WindowOptions, LeavingTheResolutionGroupWritesAllNineValues) {
    storeValues({{"640", "1"}, {"2048", "1"}});
    open({QStringLiteral("640 x 480"), QStringLiteral("800 x 600")});
    control<QCheckBox>("res1")->click();
    pointerLeaves(control("res"));

    // 2048 x 1536 is not offered, so it was unticked at start-up and is stored as "0" now.
    const QMap<QString, QString> expected = {{"640", "1"},  {"800", "1"},  {"1024", "0"},
                                             {"1280", "0"}, {"1600", "0"}, {"2048", "0"},
                                             {"hdw1", "0"}, {"hdw2", "0"}, {"hdw3", "0"}};
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(stored(it.key()), it.value()) << it.key().toStdString();
}

TEST_F(WindowOptions, EachControlStoresWhenThePointerLeavesIt) {
    struct Case {
        const char* control;
        std::function<void()> change;
        const char* value;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"cusresbox",
         [this] {
             window->SetCustomSize(QStringLiteral("800"), QStringLiteral("600"));
             control<QCheckBox>("cusresbox")->click();
         },
         "CusRes", "1"},
        {"demo", [this] { click("demo0"); }, "Demo", "1"},
        {"HeapsizeBox", [this] { control<QComboBox>("HeapsizeBox")->setCurrentIndex(1); },
         "Heapsize", "128000"},
        {"RefreshBox", [this] { control<QComboBox>("RefreshBox")->setCurrentIndex(2); }, "Refresh",
         "75"},
        {"HDRBox", [this] { control<QComboBox>("HDRBox")->setCurrentIndex(2); }, "HDR", "2"},
        {"FastZBox", [this] { control<QCheckBox>("FastZBox")->click(); }, "FastZ", "0"},
        {"ColorCorrBox", [this] { control<QCheckBox>("ColorCorrBox")->click(); }, "ColorCorrection",
         "0"},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        c.change();
        storeValues({{c.value, "unchanged"}});
        pointerLeaves(control(c.control));
        EXPECT_EQ(stored(QLatin1String(c.value)), QLatin1String(c.expected));
    }
}

TEST_F(WindowOptions, OnlyTheUsersChoiceInABoxStoresAtOnce) {
    struct Case {
        const char* box;
        const char* value;
        const char* afterDown; // stored after the user moves from item 0 to item 1
    };
    const Case cases[] = {{"AFBox", "AFLevel", "1"},
                          {"AABox", "AALevel", "1"},
                          {"RunNumberBox", "RunNumber", "2"},
                          {"RefreshBox", "Refresh", "70"},
                          {"HDRBox", "HDR", "1"},
                          {"HeapsizeBox", "Heapsize", "128000"}};
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        auto* box = control<QComboBox>(c.box);
        box->setCurrentIndex(0);
        EXPECT_FALSE(storedExists(QLatin1String(c.value)));
        press(box, Qt::Key_Down);
        EXPECT_EQ(box->currentIndex(), 1);
        EXPECT_EQ(stored(QLatin1String(c.value)), QLatin1String(c.afterDown));
    }
    EXPECT_EQ(window->CurrentSettings().RunCount, 2);
}

TEST_F(WindowOptions, TheHeapChoiceIsCheckedAgainstTheMemory) {
    struct Case {
        quint64 memoryMB;
        QStringList messages;
        int itemAfter;
        const char* stored;
    };
    const Case cases[] = {
        {1024, {QStringLiteral("The recommended (maximum) size: 512 MB")}, 3, "512000"},
        {768, {QStringLiteral("The recommended (maximum) size: 384 MB")}, 4, "1024000"},
        {2048, {}, 4, "1024000"},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.memoryMB);
        physicalMemory = c.memoryMB << 20;
        dialogs.messages.clear();
        auto* box = control<QComboBox>("HeapsizeBox");
        box->setCurrentIndex(0);
        press(box, Qt::Key_End); // "1024 MB"
        EXPECT_EQ(dialogs.messages, c.messages);
        EXPECT_EQ(box->currentIndex(), c.itemAfter);
        EXPECT_EQ(stored(QStringLiteral("Heapsize")), QLatin1String(c.stored));
    }
}

TEST_F(WindowOptions, TheNoteIsStoredAsTypedAndCutAtFiftyCharacters) {
    open();
    auto* note = control<QLineEdit>("NoteEdit");
    note->setText(QString(60, QLatin1Char('n')));
    EXPECT_EQ(stored(QStringLiteral("Note")), QString(50, QLatin1Char('n')));
}

TEST_F(WindowOptions, TheResultsFolderBrowseAppendsASlash) {
    struct Case {
        QString chosen;
        QString held;
    };
    const Case cases[] = {
        {tmp.path() + QStringLiteral("/results"), tmp.path() + QStringLiteral("/results/")},
        {QStringLiteral("/"), QStringLiteral("/")}};
    QDir().mkpath(tmp.path() + QStringLiteral("/results"));
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        dialogs.folderAnswer = c.chosen;
        click("RzToolButton5");
        EXPECT_EQ(dialogs.folderTitles.last(), QStringLiteral("Results folder"));
        EXPECT_EQ(control<QLineEdit>("ResEdit")->text(), c.held);
        EXPECT_EQ(stored(QStringLiteral("ResultPath")), c.held);
    }
    // Cancelled: nothing changes.
    dialogs.folderAnswer.clear();
    click("RzToolButton5");
    EXPECT_EQ(control<QLineEdit>("ResEdit")->text(), QStringLiteral("/"));
}

// A results folder that cannot take the report is refused when it is chosen, and a series is
// not started into one, as on the command line: found only at the report, it would cost the
// whole series.
TEST_F(WindowOptions, AResultsFolderThatCannotBeWrittenIsRefused) {
    SmallDisk disk;
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    QDir().mkpath(disk.path() + "results");
    ASSERT_TRUE(disk.makeReadOnly());
    const QString readOnly = disk.path() + "results";
    const QString writable = tmp.path() + QStringLiteral("/results/");
    QDir().mkpath(writable);
    storeValues({{"ResultPath", writable}, {"640", "1"}});
    open();
    const QString refused = QStringLiteral("The results folder \"%1\" cannot be written: "
                                           "Read-only file system");

    dialogs.folderAnswer = readOnly;
    click("RzToolButton5");
    EXPECT_EQ(dialogs.messages, QStringList{refused.arg(readOnly)});
    EXPECT_EQ(control<QLineEdit>("ResEdit")->text(), writable) << "the earlier folder is kept";
    EXPECT_EQ(stored(QStringLiteral("ResultPath")), writable);

    // Typed in (or gone read-only since): the Run button says so and starts nothing.
    dialogs.messages.clear();
    control<QLineEdit>("ResEdit")->setText(readOnly + "/");
    bool started = false;
    QObject::connect(window.get(), &MainWindow::SeriesRunningChanged,
                     [&started](bool running) { started = started || running; });
    click("BenchButton");
    EXPECT_EQ(dialogs.messages, QStringList{refused.arg(readOnly + "/")});
    EXPECT_FALSE(started);
    EXPECT_TRUE(dialogs.questions.isEmpty()) << "not even the Steam question";
    EXPECT_TRUE(control("BenchButton")->isEnabled());
}

TEST_F(WindowOptions, FocusLeavingTheResultsEditStoresItsText) {
    open();
    auto* edit = control<QLineEdit>("ResEdit");
    edit->setText(QStringLiteral("/somewhere/"));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(edit, &out);
    EXPECT_EQ(stored(QStringLiteral("ResultPath")), QStringLiteral("/somewhere/"));
}

TEST_F(WindowOptions, OpeningTheResultsFolder) {
    open();
    auto* edit = control<QLineEdit>("ResEdit");
    const QString existing = programFolder + QStringLiteral("Benchmark/");
    edit->setText(existing);
    click("OpenResFolder");
    EXPECT_EQ(shell.opened, QStringList{existing});
    EXPECT_TRUE(dialogs.messages.isEmpty());

    edit->setText(tmp.path() + QStringLiteral("/gone/"));
    click("OpenResFolder");
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("The results directory not exist.")});

    edit->clear();
    click("OpenResFolder");
    EXPECT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(WindowOptions, TheDemoChoiceEnablesTheCustomPathAndItsBrowse) {
    open();
    click("demo1");
    EXPECT_EQ(stored(QStringLiteral("Demo")), QStringLiteral("2"));
    EXPECT_TRUE(control("DemoEdit")->isEnabled());
    EXPECT_TRUE(control("DemoEditButton")->isEnabled());

    dialogs.openFileAnswer = tmp.path() + QStringLiteral("/run.dem");
    click("DemoEditButton");
    EXPECT_EQ(dialogs.fileFilters, QStringList{QStringLiteral("Half-Life 2 demo file (*.dem)")});
    EXPECT_EQ(control<QLineEdit>("DemoEdit")->text(), dialogs.openFileAnswer);
    EXPECT_EQ(stored(QStringLiteral("Demoname")), dialogs.openFileAnswer);

    click("demo0");
    EXPECT_EQ(stored(QStringLiteral("Demo")), QStringLiteral("1"));
    EXPECT_FALSE(control("DemoEdit")->isEnabled());
    EXPECT_FALSE(control("DemoEditButton")->isEnabled());
}

} // namespace
