// Which running game is the prepared installation's, whether it got the benchmark's launch
// options, and the texts of the wait for it on today's layout.

#include "OwnProcesses.h"
#include "support/TestSupport.h"

#include "game/GameIdentity.h"
#include "game/ProcessDetection.h"
#include "platform/Process.h"
#include "platform/ProcessControl.h"
#include "platform/ProcessLook.h"
#include "run/GameWaitTexts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using platform::ProcessLook;

const QString Game = QStringLiteral("/home/me/Steam Library/steamapps/common/Half-Life 2/");

TEST(GameIdentity, OnlyTheGameOfThePreparedFolderCounts) {
    const QString proton = QStringLiteral("/home/me/.steam/root/steamapps/common/Proton 8.0/files/"
                                          "bin/wine64-preloader");
    const struct {
        const char* what;
        ProcessLook look;
        bool prepared;
    } cases[] = {
        {"native, in the folder", {Game + "hl2_linux", {Game + "hl2_linux"}, Game}, true},
        {"native, replaced while running",
         {Game + "hl2_linux (deleted)", {Game + "hl2_linux"}, Game},
         true},
        {"native, another library",
         {"/mnt/old/steamapps/common/Half-Life 2/hl2_linux", {"hl2_linux"}, Game},
         false},
        {"a folder whose name only begins alike",
         {"/home/me/Steam Library/steamapps/common/Half-Life 2 copy/hl2_linux", {}, {}},
         false},
        {"Proton, its program on Z:",
         {proton, {"Z:\\home\\me\\Steam Library\\steamapps\\common\\Half-Life 2\\hl2.exe"}, "/"},
         true},
        {"Proton, its working folder",
         {proton, {"C:\\windows\\system32\\hl2.exe"}, Game.chopped(1)},
         true},
        {"Proton, another copy",
         {proton, {"Z:\\mnt\\old\\Half-Life 2\\hl2.exe"}, "/mnt/old/Half-Life 2"},
         false},
        {"not Wine: its arguments do not count",
         {"/usr/bin/bash", {Game + "hl2.exe"}, Game},
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsPreparedGame(c.look, Game), c.prepared) << c.what;
}

TEST(GameIdentity, WineLoadersAndWindowsPaths) {
    for (const char* loader : {"/p/wine", "/p/wine64", "/p/wine-preloader", "/p/wine64-preloader"})
        EXPECT_TRUE(IsWineLoader(loader)) << loader;
    for (const char* other : {"/p/winecfg", "/p/hl2_linux", "/p/wineserver", ""})
        EXPECT_FALSE(IsWineLoader(other)) << other;
    EXPECT_EQ(UnixPathOfGameArgument("Z:\\a b\\c.exe"), "/a b/c.exe");
    EXPECT_EQ(UnixPathOfGameArgument("z:\\x"), "/x");
    EXPECT_EQ(UnixPathOfGameArgument("/a/b"), "/a/b");
    EXPECT_EQ(UnixPathOfGameArgument("C:\\a"), "");
    EXPECT_EQ(UnixPathOfGameArgument("hl2.exe"), "");
}

TEST(GameIdentity, WhatOfTheLaunchOptionsReachedTheGame) {
    const QStringList full = {"/g/hl2_linux", "-preload", "-width", "800",           "-height",
                              "600",          "-dxlevel", "95",     "+timedemoquit", "rovdemo1"};
    const struct {
        const char* what;
        QStringList arguments;
        LaunchOptionsSeen seen;
    } cases[] = {
        {"all of them", full, LaunchOptionsSeen::All},
        {"none", {"/g/hl2_linux"}, LaunchOptionsSeen::AllMissing},
        {"what Steam adds only",
         {"/g/hl2_linux", "-steam", "-game", "episodic"},
         LaunchOptionsSeen::AllMissing},
        {"no size",
         {"/g/hl2_linux", "-preload", "+timedemoquit", "rovdemo1"},
         LaunchOptionsSeen::SizeMissing},
        {"a width only",
         {"/g/hl2_linux", "-width", "800", "+timedemoquit", "rovdemo1"},
         LaunchOptionsSeen::SizeMissing},
        {"another demo", {"/g/hl2_linux", "+timedemoquit", "other"}, LaunchOptionsSeen::AllMissing},
        {"the demo's name as the program",
         {"+timedemoquit", "rovdemo1"},
         LaunchOptionsSeen::AllMissing},
        {"Wine's one command line",
         {"Z:\\g\\hl2.exe -width 800 -height 600 +TIMEDEMOQUIT rovdemo1"},
         LaunchOptionsSeen::All},
        {"Wine's one command line without options",
         {"Z:\\g\\hl2.exe -steam"},
         LaunchOptionsSeen::AllMissing},
        {"Wine's one command line after its program",
         {"Z:\\g\\hl2.exe", "-width 800 -height 600 +TIMEDEMOQUIT rovdemo1"},
         LaunchOptionsSeen::All},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckLaunchOptions(c.arguments, "rovdemo1"), c.seen) << c.what;
}

TEST(GameIdentity, CommandLinesAsProcHoldsThem) {
    EXPECT_EQ(platform::CommandLineArguments(QByteArray("a\0b c\0\0d\0", 9)),
              QStringList({"a", "b c", "", "d"}));
    EXPECT_EQ(platform::CommandLineArguments(QByteArray("one line")), QStringList{"one line"});
    EXPECT_EQ(platform::CommandLineArguments(QByteArray()), QStringList());
    EXPECT_EQ(platform::CommandLineArguments(QByteArray("a\0b\0c\0", 6), 2),
              QStringList({"a", "b"}));
}

TEST(GameWaitTexts, TheWaitSaysWhatItWaitsForAndForHowLong) {
    EXPECT_EQ(WaitedTime(0), "0:00");
    EXPECT_EQ(WaitedTime(42999), "0:42");
    EXPECT_EQ(WaitedTime(65000), "1:05");
    EXPECT_EQ(WaitedTime(725000), "12:05");
    EXPECT_EQ(WaitedTime(-5), "0:00");
    EXPECT_EQ(AwaitingGameLine(42000, false, {}), "waiting for Steam to start the game (0:42)");
    EXPECT_EQ(AwaitingGameLine(72000, true, {}),
              "Waiting for Steam to start the game: it may be updating it or preparing shaders "
              "(1:12)");
    EXPECT_EQ(AwaitingGameLine(1000, false, {"/x/hl2_linux (process 7)"}),
              "waiting for Steam to start the game (0:01); another copy of the game is running: "
              "/x/hl2_linux (process 7)");
    EXPECT_EQ(GameRunningLine(65000), "the game is running (1:05)");
    EXPECT_EQ(FinishedRunLine(2, 179.561), "run 2: 179.56 FPS");
    EXPECT_EQ(FinishedRunLine(1, std::nullopt), "run 1: no result");
    EXPECT_TRUE(GameNeverStartedMessage(600000).contains("within 10:00 of the request"));
}

// Real processes: the stand-in game, playing for long, in the prepared folder and in another.
class RealGames : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        for (const QString& folder : {prepared(), other()}) {
            ASSERT_TRUE(QDir().mkpath(folder + "episodic"));
            ASSERT_TRUE(QFile::copy(testsupport::binPath("hl2_linux"), folder + "hl2_linux"));
            testsupport::writeFile(folder + "episodic/rovdemo1.dem", "demo");
        }
        qputenv("VARNHOLT_TESTBED_PLAY_MS", "600000");
    }
    void TearDown() override { qunsetenv("VARNHOLT_TESTBED_PLAY_MS"); }
    QString prepared() const { return tmp.path() + "/Half-Life 2/"; }
    QString other() const { return tmp.path() + "/Half-Life 2 copy/"; }

    std::unique_ptr<ChildProcess> start(const QString& folder, const QString& arguments) {
        SpawnRequest request;
        request.commandLine = "\"" + folder + "hl2_linux\" " + arguments;
        request.currentDirectory = folder;
        return spawnProcess(request);
    }

    // Only this test's processes.
    ProcessSource ours() const { return ProcessesBelow(tmp.path()); }

    QTemporaryDir tmp;
    testsupport::ChildrenBelow children{tmp.path()};
};

TEST_F(RealGames, ThePreparedGameIsFoundAndAnotherCopyNamed) {
    const auto copy = start(other(), "+timedemoquit rovdemo1");
    ProcessDetection detection(ours());
    GameSighting seen;
    // A program just started is listed once its arguments are in place.
    ASSERT_TRUE(testsupport::waitUntil([&] {
        seen = detection.LookForGames(prepared());
        return !seen.others.empty();
    }));
    EXPECT_FALSE(seen.prepared) << "another folder's game is never ours";
    ASSERT_EQ(seen.others.size(), 1u);
    EXPECT_EQ(OtherGameText(seen.others[0]),
              QStringLiteral("%1hl2_linux (process %2)").arg(other()).arg(copy->pid()));

    const auto game = start(prepared(), "-width 640 +timedemoquit rovdemo1");
    ASSERT_TRUE(testsupport::waitUntil([&] {
        seen = detection.LookForGames(prepared());
        return seen.prepared.has_value();
    }));
    EXPECT_EQ(seen.prepared->pid, game->pid());
    EXPECT_EQ(seen.prepared->look.arguments, QStringList({prepared() + "hl2_linux", "-width", "640",
                                                          "+timedemoquit", "rovdemo1"}));
    EXPECT_EQ(seen.prepared->look.workingFolder + "/", prepared());
    EXPECT_EQ(CheckLaunchOptions(seen.prepared->look.arguments, "rovdemo1"),
              LaunchOptionsSeen::SizeMissing);
    EXPECT_EQ(seen.others.size(), 1u);

    // The cheap listing behind the looks: the names wanted only, each with its user.
    const auto named = platform::ListProcessesNamed(
        [](const QString& name) { return name == QLatin1String("hl2_linux"); });
    ASSERT_TRUE(named);
    QList<qint64> pids;
    for (const platform::ProcessEntry& entry : *named) {
        EXPECT_EQ(entry.name, "hl2_linux");
        EXPECT_EQ(entry.uid, qint64(::getuid()));
        pids << entry.pid;
    }
    EXPECT_TRUE(pids.contains(game->pid()) && pids.contains(copy->pid()));
}

} // namespace
