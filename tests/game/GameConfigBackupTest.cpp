#include "GamePrepFixture.h"

#include "SmallDisk.h"
#include "game/GameConfigBackup.h"
#include "game/SeriesPreparation.h"
#include "platform/Errors.h"

#include <QCoreApplication>

using namespace gameprep;
using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

using Files = QMap<QString, QByteArray>;

const QByteArray kProgram = ConfigScriptBytes();
const QByteArray kUser = kUserScript;
const QByteArray kLater = kOtherUserScript;

enum class Step { Backup, Script, Restore, RestoreAfterFinish };

class ConfigBackup : public GamePrep {
protected:
    void SetUp() override {
        GamePrep::SetUp();
        store = std::make_unique<SettingsStore>(regDir);
        prep = std::make_unique<SeriesPreparation>(*store, dialogs, fileOp, noRestoreWait());
        prep->SetPaths(paths);
    }

    void putFiles(const Files& files) {
        for (const QString& name : QDir(paths.CfgFolder).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(cfg(name));
        for (auto it = files.begin(); it != files.end(); ++it)
            writeFile(cfg(it.key()), it.value());
    }

    // Runs a step as the series or the window does; a restore is waited for.
    void run(Step step) {
        switch (step) {
        case Step::Backup:
            prep->BackupAutoexec();
            break;
        case Step::Script:
            prep->WriteConfigScript();
            break;
        case Step::Restore:
        case Step::RestoreAfterFinish: {
            int done = 0;
            prep->RestoreGameConfig(step == Step::RestoreAfterFinish, [&] { ++done; });
            ASSERT_TRUE(waitUntil([&] { return done > 0; }));
            QCoreApplication::processEvents();
            EXPECT_EQ(done, 1);
            break;
        }
        }
        EXPECT_TRUE(fileOp.SourceFiles.isEmpty() && fileOp.Destinations.isEmpty());
    }

    ScriptedDialogs dialogs;
    FileOperation fileOp{dialogs};
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<SeriesPreparation> prep;
};

TEST_F(ConfigBackup, LifeCycleNeverLosesAFileOfTheUsers) {
    using enum Step;
    const struct {
        const char* name;
        Files before;
        std::vector<Step> steps;
        Files after;
        QString messageNames; // a file the user is told about; empty: no message
    } cases[] = {
        {"no script of the user's: the program's goes again",
         {},
         {Backup, Script, Restore},
         {},
         ""},
        {"during a series",
         {{"autoexec.cfg", kUser}},
         {Backup, Script},
         {{"autoexec.cfg", kProgram}, {"autoexec_old.cfg", kUser}},
         ""},
        {"completed series",
         {{"autoexec.cfg", kUser}},
         {Backup, Script, Restore},
         {{"autoexec.cfg", kUser}},
         ""},
        {"stopped early, then another series",
         {{"autoexec.cfg", kUser}},
         {Backup, Script, Backup, Script, Restore},
         {{"autoexec.cfg", kUser}},
         ""},
        {"no script, stopped early, then another series",
         {},
         {Backup, Script, Backup, Script, Restore},
         {},
         ""},
        {"restore once the series has finished touches nothing",
         {{"autoexec.cfg", kProgram}, {"autoexec_old.cfg", kUser}},
         {RestoreAfterFinish},
         {{"autoexec.cfg", kProgram}, {"autoexec_old.cfg", kUser}},
         ""},
        {"close without a series keeps the user's own script",
         {{"autoexec.cfg", kUser}},
         {Restore},
         {{"autoexec.cfg", kUser}},
         ""},
        {"close without a series removes the program's leftover",
         {{"autoexec.cfg", kProgram}},
         {Restore},
         {},
         ""},
        {"a parked script and a new one of the user's",
         {{"autoexec_old.cfg", kUser}, {"autoexec.cfg", kLater}},
         {Backup, Script, Restore},
         {{"autoexec.cfg", kUser}, {"autoexec_old(2).cfg", kLater}},
         "autoexec_old(2).cfg"},
        {"the next free name is taken",
         {{"autoexec_old.cfg", kUser}, {"autoexec_old(2).cfg", "x"}, {"autoexec.cfg", kLater}},
         {Backup},
         {{"autoexec_old.cfg", kUser},
          {"autoexec_old(2).cfg", "x"},
          {"autoexec_old(3).cfg", kLater}},
         "autoexec_old(3).cfg"},
        {"the user put a script in place during the series",
         {{"autoexec_old.cfg", kUser}, {"autoexec.cfg", kLater}},
         {Restore},
         {{"autoexec.cfg", kLater}, {"autoexec(2).cfg", kUser}},
         "autoexec(2).cfg"},
        {"a parked copy of the program's script is not the user's",
         {{"autoexec_old.cfg", kProgram}, {"autoexec.cfg", kUser}},
         {Backup, Script, Restore},
         {{"autoexec.cfg", kUser}},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        putFiles(c.before);
        dialogs.messages.clear();
        for (Step step : c.steps)
            run(step);
        EXPECT_EQ(filesBelow(paths.CfgFolder), c.after);
        if (c.messageNames.isEmpty()) {
            EXPECT_TRUE(dialogs.messages.isEmpty()) << qPrintable(dialogs.messages.join('\n'));
        } else {
            ASSERT_EQ(dialogs.messages.size(), 1);
            EXPECT_TRUE(dialogs.messages[0].contains(cfg(c.messageNames)))
                << qPrintable(dialogs.messages[0]);
        }
    }
}

TEST_F(ConfigBackup, RestoreDeletesThenWaitsThenPutsBack) {
    putFiles({{"autoexec.cfg", kUser}});
    run(Step::Backup);
    run(Step::Script);

    int first = 0;
    int second = 0;
    prep->RestoreGameConfig(false, [&] { ++first; });
    // Before the wait is over the program's script is gone and the user's still parked.
    EXPECT_EQ(filesBelow(paths.CfgFolder), (Files{{"autoexec_old.cfg", kUser}}));
    EXPECT_EQ(first, 0);
    // A second restore asked for meanwhile (the window closing) ends with the first.
    prep->RestoreGameConfig(false, [&] { ++second; });
    ASSERT_TRUE(waitUntil([&] { return first > 0 && second > 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(filesBelow(paths.CfgFolder), (Files{{"autoexec.cfg", kUser}}));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << qPrintable(dialogs.messages.join('\n'));

    // Nothing to wait for: `done` runs at once.
    for (bool finished : {true, false}) {
        int done = 0;
        prep->RestoreGameConfig(finished, [&] { ++done; });
        EXPECT_EQ(done, 1);
    }
}

// A disk too full for the benchmark's script: the write fails with the system's error and
// leaves no script (an empty one would later pass for the user's); closing the window brings
// the user's own script back, with nothing to tell.
TEST_F(ConfigBackup, AFullDiskStopsTheScriptAndTheUsersScriptComesBack) {
    SmallDisk disk;
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    GamePaths onDisk = paths;
    onDisk.CfgFolder = disk.path() + "cfg/";
    ASSERT_TRUE(QDir().mkpath(onDisk.CfgFolder));
    prep->SetPaths(onDisk);
    writeFile(onDisk.CfgFolder + "autoexec.cfg", kUser);
    disk.fill();

    prep->BackupAutoexec();
    QString error;
    try {
        prep->WriteConfigScript();
    } catch (const AppError& e) {
        error = e.message();
    }
    EXPECT_EQ(error, QStringLiteral("Cannot create file \"%1autoexec.cfg\". No space left on "
                                    "device")
                         .arg(onDisk.CfgFolder));
    EXPECT_EQ(filesBelow(onDisk.CfgFolder), (Files{{"autoexec_old.cfg", kUser}}));

    int done = 0;
    prep->RestoreGameConfig(false, [&] { ++done; });
    ASSERT_TRUE(waitUntil([&] { return done > 0; }));
    EXPECT_EQ(filesBelow(onDisk.CfgFolder), (Files{{"autoexec.cfg", kUser}}));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << qPrintable(dialogs.messages.join('\n'));
}

// Only a file with something in it is taken for the user's: an empty one in the way of the
// parked script is replaced by it, while a real script of the user's is kept beside it.
TEST_F(ConfigBackup, AnEmptyFileInTheWayIsNotTakenForTheUsersScript) {
    const struct {
        const char* name;
        QByteArray inTheWay;
        Files after;
        int messages;
    } cases[] = {
        {"empty", "", {{"autoexec.cfg", kUser}}, 0},
        {"the user's", kLater, {{"autoexec.cfg", kLater}, {"autoexec(2).cfg", kUser}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.messages.clear();
        putFiles({{"autoexec.cfg", kUser}});
        run(Step::Backup);
        run(Step::Script);
        int done = 0;
        prep->RestoreGameConfig(false, [&] { ++done; });
        // The program's script is gone; something appears in its place during the wait.
        writeFile(cfg("autoexec.cfg"), c.inTheWay);
        ASSERT_TRUE(waitUntil([&] { return done > 0; }));
        EXPECT_EQ(filesBelow(paths.CfgFolder), c.after);
        EXPECT_EQ(dialogs.messages.size(), c.messages);
    }
}

TEST_F(ConfigBackup, EndingDuringTheWaitStillPutsTheScriptBack) {
    putFiles({{"autoexec.cfg", kUser}});
    run(Step::Backup);
    run(Step::Script);
    int done = 0;
    prep->RestoreGameConfig(false, [&] { ++done; });
    prep.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(filesBelow(paths.CfgFolder), (Files{{"autoexec.cfg", kUser}}));
    EXPECT_EQ(done, 0);
}

TEST_F(ConfigBackup, WithoutAGameFolderNothingIsTouched) {
    GamePaths relative = paths;
    relative.CfgFolder = CfgFolderOf(QString());
    prep->SetPaths(relative);
    writeFile(root + "/work/" + relative.CfgFolder + "autoexec.cfg", kUser);
    QDir::setCurrent(root + "/work");
    prep->BackupAutoexec();
    int done = 0;
    prep->RestoreGameConfig(false, [&] { ++done; });
    EXPECT_EQ(done, 1);
    dialogs.answers = {true};
    GameConfigBackup(fileOp, dialogs).CheckLeftoverConfig(relative, *store);
    QDir::setCurrent(QDir::tempPath());
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(readFile(root + "/work/" + relative.CfgFolder + "autoexec.cfg"), kUser);
}

TEST_F(ConfigBackup, StartUpAsksAboutALeftoverOrPutsAParkedScriptBack) {
    const struct {
        const char* name;
        Files before;
        bool markerFile;
        QString markerBefore;
        std::deque<bool> answers; // one start per answer; a single start when none
        Files after;
        QString markerAfter;
        int questions;
    } cases[] = {
        {"hl2set.ini alone sets the marker and asks nothing", {}, true, "0", {}, {}, "1", 0},
        {"nothing found keeps the marker", {}, false, "1", {}, {}, "1", 0},
        {"nothing found, marker clear", {}, false, "0", {}, {}, "0", 0},
        {"Yes deletes the script", {{"autoexec.cfg", kUser}}, false, "0", {true}, {}, "0", 1},
        {"No keeps it and asks again at the next start",
         {{"autoexec.cfg", kUser}},
         false,
         "0",
         {false, false},
         {{"autoexec.cfg", kUser}},
         "1",
         2},
        {"the program's leftover, Yes",
         {{"autoexec.cfg", kProgram}},
         true,
         "0",
         {true},
         {},
         "0",
         1},
        {"killed during a series: the parked script comes back",
         {{"autoexec.cfg", kProgram}, {"autoexec_old.cfg", kUser}},
         false,
         "0",
         {},
         {{"autoexec.cfg", kUser}},
         "1",
         0},
        {"killed right after parking",
         {{"autoexec_old.cfg", kUser}},
         false,
         "0",
         {},
         {{"autoexec.cfg", kUser}},
         "1",
         0},
        {"killed while writing the script: the empty file left is no script of the user's",
         {{"autoexec.cfg", ""}, {"autoexec_old.cfg", kUser}},
         false,
         "0",
         {},
         {{"autoexec.cfg", kUser}},
         "1",
         0},
        {"a parked script and a newer one of the user's: asked, both kept on No",
         {{"autoexec_old.cfg", kUser}, {"autoexec.cfg", kLater}},
         false,
         "0",
         {false},
         {{"autoexec_old.cfg", kUser}, {"autoexec.cfg", kLater}},
         "1",
         1},
    };
    const QString ini = paths.ProgramFolder + "hl2set.ini";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        putFiles(c.before);
        QFile::remove(ini);
        if (c.markerFile)
            writeFile(ini, "");
        store->WriteValue("NoErrorWarning", c.markerBefore);
        dialogs.questions.clear();
        dialogs.answers = c.answers;
        const size_t starts = std::max<size_t>(1, c.answers.size());
        for (size_t i = 0; i < starts; ++i) {
            // Every start is a new program with components of its own.
            SeriesPreparation fresh(*store, dialogs, fileOp);
            fresh.CheckLeftoverConfig(paths);
        }
        EXPECT_EQ(filesBelow(paths.CfgFolder), c.after);
        EXPECT_EQ(store->ReadValue("NoErrorWarning"), c.markerAfter);
        EXPECT_EQ(dialogs.questions.size(), c.questions);
        for (const QString& question : dialogs.questions)
            EXPECT_EQ(question, LeftoverConfigQuestion());
        EXPECT_TRUE(dialogs.messages.isEmpty()) << qPrintable(dialogs.messages.join('\n'));
        EXPECT_TRUE(QFileInfo::exists(ini) == c.markerFile) << "the marker file is only read";
    }
    EXPECT_EQ(LeftoverConfigQuestion(),
              "Maybe the last time an error occured. The program restored the original "
              "settings, but found an autoexec.cfg file in your HL2 user folder. If it's not "
              "yours, please delete it. Do you wish to delete the autoexec.cfg file?");
}

} // namespace
