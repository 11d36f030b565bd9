#include "WindowFixture.h"

#include "run/RunSequencer.h"

#include <QLineEdit>

namespace {

class WindowClosing : public WindowFixture {
protected:
    void fillCache() {
        storeValues({{"Display Memory", "256 MB"}, {"Driver Version", "1.2"}, {"Sound", "Card"}});
    }
};

TEST_F(WindowClosing, TheSystemCloseRestoresTheGameThenStoresNoteAndEmptiesTheCache) {
    for (const bool restoreWaits : {false, true}) {
        SCOPED_TRACE(restoreWaits ? "restore waits" : "restore done at once");
        preparation.restores.clear();
        preparation.finishAtOnce = !restoreWaits;
        quits = 0;
        open();
        window->show();
        fillCache();
        control<QLineEdit>("NoteEdit")->setText(QStringLiteral("before"));
        storeValues({{"Note", "stale"}});

        window->close();
        ASSERT_TRUE(testsupport::waitUntil([&] { return !window->isVisible(); }, 5000));
        EXPECT_EQ(preparation.restores, std::vector<bool>{false});
        EXPECT_EQ(stored(QStringLiteral("Note")), QStringLiteral("before"));
        for (const char* name : {"Display Memory", "Driver Version", "Sound"}) {
            EXPECT_TRUE(storedExists(QLatin1String(name))) << name;
            EXPECT_EQ(stored(QLatin1String(name)), QString()) << name;
        }
        EXPECT_EQ(quits, 1);
        EXPECT_EQ(window->Sequencer(), nullptr);
    }
}

TEST_F(WindowClosing, WithoutTheProgramKeyTheCloseStillCompletes) {
    Registry(RegRoot::LocalMachine, regDir).deleteKey(SettingsStore::ProgramKey());
    open();
    window->show();
    window->close();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(preparation.restores.size(), 1u);
    EXPECT_FALSE(SettingsStore(regDir).HasProgramKey());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(
        QStringLiteral("Please reinstall the Quillon Varnholt!\n\n")));
}

TEST_F(WindowClosing, ExitEndsAtOnceWithoutTheCloseSteps) {
    open();
    window->show();
    fillCache();
    click("SpeedButton1");
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(preparation.restores.empty());
    EXPECT_EQ(stored(QStringLiteral("Display Memory")), QStringLiteral("256 MB"));
    EXPECT_EQ(stored(QStringLiteral("Sound")), QStringLiteral("Card"));
}

} // namespace
