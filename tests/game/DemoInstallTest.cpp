#include "GamePrepFixture.h"

#include "game/DemoInstall.h"
#include "game/DemoSelection.h"
#include "game/OptionSaving.h"
#include "game/SeriesPreparation.h"
#include "model/OptionLists.h"
#include "platform/Errors.h"

#include <QProcess>

using namespace gameprep;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class Demo : public GamePrep {
protected:
    BenchmarkSettings custom(const QString& path) {
        BenchmarkSettings s;
        s.Demo = DemoKind::Custom;
        s.CustomDemoPath = path;
        return s;
    }

    ScriptedDialogs dialogs;
    FileOperation fileOp{dialogs};
    InstalledDemo demo;
};

TEST_F(Demo, ShippedDemoIsCopiedAfresh) {
    writeFile(episodic("rovdemo1.dem"), "an older copy");
    BenchmarkSettings s;
    s.Demo = DemoKind::Shipped;
    InstallDemo(paths, s, fileOp, demo);
    EXPECT_EQ(readFile(episodic("rovdemo1.dem")), "shipped demo");
    EXPECT_EQ(demo.DemoName, "rovdemo1");
    EXPECT_EQ(demo.DemoCaption, "Quillon demo");
    EXPECT_TRUE(fileOp.SourceFiles.isEmpty() && fileOp.Destinations.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // A missing shipped demo is shown by the copy, and the series goes on with the name.
    QFile::remove(paths.ProgramFolder + "Demos/rovdemo1.dem");
    InstallDemo(paths, s, fileOp, demo);
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(episodic("rovdemo1.dem")));
    EXPECT_EQ(demo.DemoName, "rovdemo1");
}

TEST_F(Demo, CustomDemoIsPlayedUnderItsNameWithoutDem) {
    const struct {
        QString fileName;
        QString name;
    } cases[] = {
        {"run1.dem", "run1"},
        {"RUN2.DEM", "RUN2"},
        {"a.demo.dem", "a.demo"},
        {"Mixed.Dem", "Mixed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileName.toStdString());
        const QString source = root + "/my demos/" + c.fileName;
        writeFile(source, "recording " + c.fileName.toUtf8());
        writeFile(episodic("rovdemo1.dem"), "last shipped copy");
        writeFile(episodic(c.name + ".dem"), "an older copy");
        InstallDemo(paths, custom(source), fileOp, demo);
        EXPECT_EQ(demo.DemoName, c.name);
        EXPECT_EQ(demo.DemoCaption, "Custom demo - " + c.name);
        // The game looks for the name it is given + ".dem", and names here keep their case.
        EXPECT_EQ(readFile(episodic(c.name + ".dem")), "recording " + c.fileName.toUtf8());
        EXPECT_EQ(readFile(source), "recording " + c.fileName.toUtf8());
        EXPECT_FALSE(QFileInfo::exists(episodic("rovdemo1.dem")))
            << "the shipped copy goes whichever demo is chosen";
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Demo, CustomDemoInTheEpisodicFolderIsPlayedWhereItIs) {
    for (const QString& fileName : {QStringLiteral("mine.dem"), QStringLiteral("rovdemo1.dem")}) {
        SCOPED_TRACE(fileName.toStdString());
        writeFile(episodic(fileName), "the user's only copy");
        // Reached through another spelling of the same folder.
        const QString path = paths.EpisodicFolder + "cfg/../" + fileName;
        InstallDemo(paths, custom(path), fileOp, demo);
        EXPECT_EQ(readFile(episodic(fileName)), "the user's only copy");
        EXPECT_EQ(demo.DemoName, CustomDemoName(fileName));
    }
    // Under a name the game would not find it is left as it is and copied beside.
    writeFile(episodic("UP.DEM"), "upper case");
    InstallDemo(paths, custom(episodic("UP.DEM")), fileOp, demo);
    EXPECT_EQ(readFile(episodic("UP.DEM")), "upper case");
    EXPECT_EQ(readFile(episodic("UP.dem")), "upper case");
    EXPECT_EQ(demo.DemoName, "UP");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Demo, NoChoiceKeepsTheNamesAndCopiesNothing) {
    demo = {"run1", "Custom demo - run1"};
    writeFile(episodic("rovdemo1.dem"), "last shipped copy");
    InstallDemo(paths, BenchmarkSettings{}, fileOp, demo);
    EXPECT_EQ(demo.DemoName, "run1");
    EXPECT_EQ(demo.DemoCaption, "Custom demo - run1");
    EXPECT_EQ(filesBelow(paths.EpisodicFolder).keys(), QStringList{});
}

TEST_F(Demo, UnplayableChoicesStopBeforeAnythingIsTouched) {
    writeFile(root + "/demos/notes.txt", "text");
    writeFile(root + "/demos/.dem", "no name");
    QDir().mkpath(root + "/demos/folder.dem");
    ASSERT_EQ(QProcess::execute("mkfifo", {root + "/demos/pipe.dem"}), 0);
    GamePaths noGame = paths;
    noGame.EpisodicFolder = EpisodicFolderOf(QString());
    BenchmarkSettings shipped;
    shipped.Demo = DemoKind::Shipped;
    const struct {
        const char* name;
        BenchmarkSettings settings;
        GamePaths paths;
        QString message;
    } cases[] = {
        {"no file chosen", custom(""), paths, "Please choose a custom demo file."},
        {"not a demo", custom(root + "/demos/notes.txt"), paths,
         "The custom demo must be a .dem file: " + root + "/demos/notes.txt"},
        {"only an extension", custom(root + "/demos/.dem"), paths,
         "The custom demo must be a .dem file: " + root + "/demos/.dem"},
        {"gone", custom(root + "/demos/gone.dem"), paths,
         "Custom demo not found: " + root + "/demos/gone.dem"},
        {"a folder", custom(root + "/demos/folder.dem"), paths,
         "Custom demo is not a regular file: " + root + "/demos/folder.dem"},
        {"a FIFO", custom(root + "/demos/pipe.dem"), paths,
         "Custom demo is not a regular file: " + root + "/demos/pipe.dem"},
        {"game never found", shipped, noGame,
         "The Half-Life 2 Episode One folder was not found, so no demo can be installed."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(episodic("rovdemo1.dem"), "last shipped copy");
        EXPECT_EQ(CheckDemo(c.settings, c.paths), c.message);
        demo = {"before", "before caption"};
        try {
            InstallDemo(c.paths, c.settings, fileOp, demo);
            ADD_FAILURE() << "installed";
        } catch (const AppError& error) {
            EXPECT_EQ(error.message(), c.message);
        }
        EXPECT_EQ(readFile(episodic("rovdemo1.dem")), "last shipped copy");
        EXPECT_EQ(demo.DemoName, "before");
    }
    EXPECT_EQ(CheckDemo(shipped, paths), std::nullopt);
    EXPECT_EQ(CheckDemo(BenchmarkSettings{}, paths), std::nullopt);
    writeFile(root + "/demos/ok.DEM", "demo");
    EXPECT_EQ(CheckDemo(custom(root + "/demos/ok.DEM"), paths), std::nullopt);
}

TEST_F(Demo, BrowseStoresAConfirmedFileOnly) {
    SettingsStore store(regDir);
    OptionSaving saving(store);
    dialogs.openFile = root + "/demos/run1.dem";
    EXPECT_EQ(BrowseCustomDemo(dialogs, saving), root + "/demos/run1.dem");
    EXPECT_EQ(store.ReadValue("Demoname"), root + "/demos/run1.dem");
    dialogs.openFile.clear();
    EXPECT_EQ(BrowseCustomDemo(dialogs, saving), std::nullopt);
    EXPECT_EQ(store.ReadValue("Demoname"), root + "/demos/run1.dem");
    EXPECT_EQ(dialogs.filters, QStringList(2, "Half-Life 2 demo file (*.dem)"));
}

} // namespace

namespace {

TEST_F(Demo, ASeriesWithoutADemoChoiceNeedsAnEarlierDemo) {
    SettingsStore store(regDir);
    SeriesPreparation prep(store, dialogs, fileOp);
    prep.SetPaths(paths);
    EXPECT_EQ(prep.CheckDemo(BenchmarkSettings{}),
              QStringLiteral("Please choose a demo on the \"Filters & demos\" page."));

    BenchmarkSettings shipped;
    shipped.Demo = DemoKind::Shipped;
    ASSERT_EQ(prep.CheckDemo(shipped), std::nullopt);
    writeFile(paths.ProgramFolder + "Demos/rovdemo1.dem", "demo");
    prep.InstallDemo(shipped);
    EXPECT_EQ(prep.CheckDemo(BenchmarkSettings{}), std::nullopt) << "the last demo plays again";
}

} // namespace
