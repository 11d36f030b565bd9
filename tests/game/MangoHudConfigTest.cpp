#include "SmallDisk.h"
#include "TestSupport.h"

#include "game/MangoHudConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

using testsupport::readFile;
using testsupport::writeFile;
using Files = std::map<QString, QByteArray>;

// A user's own file: CR LF, no line end at its end, a byte that is no text.
const QByteArray kUser = "fps_limit=60\r\nposition=top-right\r\n# mine \xff";
const QByteArray kLater = "toggle_hud=F12\n";

Files filesIn(const QString& folder) {
    Files files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::System |
                                                            QDir::Hidden | QDir::NoDotAndDotDot))
        files[info.fileName()] = info.isSymLink() ? "-> " + QFile::encodeName(info.symLinkTarget())
                                                  : readFile(info.filePath());
    return files;
}

class MangoHudConfigFiles : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString folder = MangoHudConfigFolder(home.path() + "/.config");
    QByteArray ours = MangoHudConfigText("/logs/", 4);
};

TEST_F(MangoHudConfigFiles, TheConfigurationAsksForEveryFrameAndNoOverlay) {
    EXPECT_EQ(MangoHudConfigNames(), QStringList({"hl2_linux.conf", "wine-hl2.conf"}));
    EXPECT_EQ(MangoHudConfigFolder("/home/u/.config"), "/home/u/.config/MangoHud/");
    const QByteArray text = MangoHudConfigText("/home/u/frames/", 3);
    EXPECT_TRUE(text.endsWith("\n# log 3\noutput_folder=/home/u/frames/\nlog_interval=0\n"
                              "autostart_log=1\nalpha=0\nbackground_alpha=0\n"));
    EXPECT_TRUE(IsProgramMangoHudConfig(text));
    // Never no_display (0.7.2 on: no log at all) nor log_duration (0.6.9 on: the whole log).
    EXPECT_FALSE(text.contains("no_display"));
    EXPECT_FALSE(text.contains("log_duration"));
    // Each cut is another text, so MangoHud sees a change.
    EXPECT_NE(MangoHudConfigText("/f/", 1), MangoHudConfigText("/f/", 2));
    EXPECT_FALSE(IsProgramMangoHudConfig(kUser));
    EXPECT_FALSE(IsProgramMangoHudConfig(text.mid(1)));
}

TEST_F(MangoHudConfigFiles, TheUsersFilesComeBackByteForByte) {
    struct Case {
        const char* name;
        Files before;
    };
    const Case cases[] = {
        {"no files of the user's", {}},
        {"the native game's", {{"hl2_linux.conf", kUser}}},
        {"both, and others beside them",
         {{"hl2_linux.conf", kUser}, {"wine-hl2.conf", kLater}, {"MangoHud.conf", kLater}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        for (const auto& [name, bytes] : c.before)
            writeFile(folder + name, bytes);
        MangoHudConfigKeeper keeper(folder);
        ASSERT_EQ(keeper.Install(ours), std::nullopt);
        const Files during = filesIn(folder);
        EXPECT_EQ(during.at("hl2_linux.conf"), ours);
        EXPECT_EQ(during.at("wine-hl2.conf"), ours);
        // A later run's duration replaces the program's file, not the parked one.
        const QByteArray later = MangoHudConfigText("/logs/", 5);
        ASSERT_EQ(keeper.Install(later), std::nullopt);
        EXPECT_EQ(readFile(folder + "hl2_linux.conf"), later);
        if (c.before.count("hl2_linux.conf")) {
            EXPECT_EQ(readFile(folder + "hl2_linux.conf.varnholt-kept"), kUser);
        }
        EXPECT_TRUE(keeper.Restore().isEmpty());
        EXPECT_EQ(filesIn(folder), c.before);
    }
}

TEST_F(MangoHudConfigFiles, AKilledSeriesIsRecoveredAtTheNextStart) {
    QDir().mkpath(folder);
    writeFile(folder + "hl2_linux.conf", kUser);
    {
        MangoHudConfigKeeper series(folder);
        ASSERT_EQ(series.Install(ours), std::nullopt);
        // The program is killed here: nothing restores.
    }
    // A series started again first brings back what the last one left.
    {
        MangoHudConfigKeeper again(folder);
        ASSERT_EQ(again.Install(ours), std::nullopt);
        EXPECT_EQ(readFile(folder + "hl2_linux.conf.varnholt-kept"), kUser);
    }
    MangoHudConfigKeeper nextStart(folder);
    EXPECT_TRUE(nextStart.Restore().isEmpty());
    EXPECT_EQ(filesIn(folder), (Files{{"hl2_linux.conf", kUser}}));
}

TEST_F(MangoHudConfigFiles, AFileTheUserPutInPlaceMeanwhileIsKept) {
    QDir().mkpath(folder);
    writeFile(folder + "hl2_linux.conf", kUser);
    MangoHudConfigKeeper keeper(folder);
    ASSERT_EQ(keeper.Install(ours), std::nullopt);
    writeFile(folder + "hl2_linux.conf", kLater);
    EXPECT_EQ(keeper.Restore(), QStringList{folder + "hl2_linux(2).conf"});
    EXPECT_EQ(filesIn(folder), (Files{{"hl2_linux.conf", kLater}, {"hl2_linux(2).conf", kUser}}));
}

// A series killed while it wrote its file leaves the user's parked and an empty file in its
// place: that empty file is the program's, and the user's comes back to its own name.
TEST_F(MangoHudConfigFiles, AnEmptyFileLeftByAKilledWriteGivesWayToTheUsers) {
    QDir().mkpath(folder);
    writeFile(folder + ParkedMangoHudConfigName("hl2_linux.conf"), kUser);
    writeFile(folder + "hl2_linux.conf", "");
    MangoHudConfigKeeper keeper(folder);
    EXPECT_TRUE(keeper.Restore().isEmpty());
    EXPECT_EQ(filesIn(folder), (Files{{"hl2_linux.conf", kUser}}));
    // A file with content that is not the program's stays the user's: both are kept.
    writeFile(folder + ParkedMangoHudConfigName("hl2_linux.conf"), kLater);
    EXPECT_EQ(keeper.Restore(), QStringList{folder + "hl2_linux(2).conf"});
    EXPECT_EQ(filesIn(folder), (Files{{"hl2_linux.conf", kUser}, {"hl2_linux(2).conf", kLater}}));
}

TEST_F(MangoHudConfigFiles, ALinkOfTheUsersIsParkedAsALink) {
    QDir().mkpath(folder);
    writeFile(home.path() + "/elsewhere.conf", kUser);
    ASSERT_TRUE(QFile::link(home.path() + "/elsewhere.conf", folder + "hl2_linux.conf"));
    MangoHudConfigKeeper keeper(folder);
    ASSERT_EQ(keeper.Install(ours), std::nullopt);
    // Written anew, never through the link.
    EXPECT_EQ(readFile(home.path() + "/elsewhere.conf"), kUser);
    EXPECT_FALSE(QFileInfo(folder + "hl2_linux.conf").isSymLink());
    keeper.Restore();
    EXPECT_TRUE(QFileInfo(folder + "hl2_linux.conf").isSymLink());
    EXPECT_EQ(readFile(folder + "hl2_linux.conf"), kUser);
}

TEST_F(MangoHudConfigFiles, AFullDiskLosesNothingOfTheUsers) {
    SmallDisk disk;
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    const QString onDisk = disk.path() + "MangoHud/";
    ASSERT_TRUE(QDir().mkpath(onDisk));
    writeFile(onDisk + "hl2_linux.conf", kUser);
    writeFile(onDisk + "wine-hl2.conf", kLater);
    disk.fill();

    MangoHudConfigKeeper keeper(onDisk);
    const std::optional<QString> error = keeper.Install(ours);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains("No space left on device")) << error->toStdString();
    EXPECT_EQ(disk.entries(onDisk), QStringList({"hl2_linux.conf", "wine-hl2.conf"}));
    EXPECT_EQ(readFile(onDisk + "hl2_linux.conf"), kUser);
    EXPECT_EQ(readFile(onDisk + "wine-hl2.conf"), kLater);
}

} // namespace
