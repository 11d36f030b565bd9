#include "SettingsFixture.h"

#include "SteamLayout.h"

#include <QFileInfo>

namespace {

TEST(BaseFromMatchFolder, ParentOfTheGameFolder) {
    const char* cases[][2] = {
        {"/games/steam/a/b/", "/games/steam/a/"}, {"/S/", "/"}, {"/", ""}, {"relative/", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(BaseFromMatchFolder(c[0]), QString(c[1])) << c[0];
}

TEST(Sid, StandardTextForm) {
    const unsigned char nt[6] = {0, 0, 0, 0, 0, 5};
    EXPECT_EQ(FormatSid(1, nt, {21, 1, 2, 1001}), "S-1-5-21-1-2-1001");
    const unsigned char wide[6] = {0, 1, 0, 0, 0xab, 5};
    EXPECT_EQ(FormatSid(1, wide, {7}), "S-1-0x00010000ab05-7");
    const unsigned char big[6] = {0, 0, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(FormatSid(1, big, {}), "S-1-4294967295");
    EXPECT_TRUE(CurrentUserSidText().startsWith("S-1-22-1-"));
    EXPECT_EQ(GameSettingsKey("S-1-22-1-0"),
              "\\S-1-22-1-0\\Software\\Valve\\Source\\episodic\\Settings");
    EXPECT_EQ(GameSettingsKey(""), "\\\\Software\\Valve\\Source\\episodic\\Settings");
}

class Discovery : public SettingsFixture {
protected:
    GamePaths discover(const QString& steamPath) {
        if (!steamPath.isNull()) {
            Registry steam(RegRoot::CurrentUser, regDir);
            EXPECT_TRUE(steam.openKey(SteamKeyPath(), false));
            steam.writeString("SteamPath", steamPath);
        }
        SettingsStore s(regDir);
        return DiscoverGame(GamePaths{}, s, environment().searchGame, regDir);
    }
};

TEST_F(Discovery, LastMatchWinsAndFoldersAreDerived) {
    // Two accounts with the game: the folder of the last match is taken.
    gameMatches = {"/S/first/game one/", "/S/acct/game two/"};
    const GamePaths p = discover("/S");
    EXPECT_EQ(searchedRoot, "/S/");
    EXPECT_EQ(p.SteamFolder, "/S/");
    EXPECT_EQ(p.GameBase, "/S/acct/");
    EXPECT_EQ(p.CfgFolder, "/S/acct/half-life 2 episode one/episodic/cfg/");
    EXPECT_EQ(p.EpisodicFolder, "/S/acct/half-life 2 episode one/episodic/");
    EXPECT_EQ(stored("Path"), "/S/acct/");
}

TEST_F(Discovery, MatchInTheRootAndSlashesKept) {
    gameMatches = {"/S/"};
    EXPECT_EQ(discover("/S").GameBase, "/");
    gameMatches = {};
    EXPECT_EQ(discover("/opt/program files/steam/").SteamFolder, "/opt/program files/steam//");
}

TEST_F(Discovery, NothingFoundLeavesRelativeTails) {
    const GamePaths p = discover(QString()); // no SteamPath value at all
    EXPECT_TRUE(searchedRoot.isEmpty());
    EXPECT_TRUE(p.SteamFolder.isEmpty());
    EXPECT_TRUE(p.GameBase.isEmpty());
    EXPECT_EQ(p.CfgFolder, "half-life 2 episode one/episodic/cfg/");
    EXPECT_TRUE(storedExists("Path"));
    EXPECT_EQ(stored("Path"), "");
}

TEST_F(Discovery, BenchmarkFolderIsCreatedWithItsParents) {
    const QString program = tmp.path() + "/deep/er/program/";
    EnsureBenchmarkFolder(program);
    EXPECT_TRUE(QFileInfo(program + "Benchmark").isDir());
}

} // namespace

namespace {

TEST_F(Discovery, FindsTheStandInGameBelowARealSteamFolder) {
    const testbed::SteamLayout layout = testbed::layOutSteamFolder(
        tmp.path() + "/my steam", "someone", false, testsupport::binDir());
    gameMatches = SearchGameFolders(layout.steamDir);
    ASSERT_EQ(gameMatches, QStringList{layout.gameDir});
    const GamePaths p = discover(tmp.path() + "/my steam");
    EXPECT_EQ(p.GameBase, tmp.path() + "/my steam/steamapps/someone/");
    EXPECT_EQ(p.CfgFolder, layout.cfgDir);
    EXPECT_EQ(p.EpisodicFolder, layout.episodicDir);
}

} // namespace

// Today's layout, after the stored Steam path has found nothing.

namespace {

class TodaysDiscovery : public Discovery {
protected:
    void SetUp() override {
        Discovery::SetUp();
        layout = testbed::layOutModernSteam(tmp.path() + "/today", false, testsupport::binDir());
        places = {layout.home, {layout.commandDir}};
    }

    GamePaths discoverToday(const QString& steamPath = QString()) {
        if (!steamPath.isNull()) {
            Registry steam(RegRoot::CurrentUser, regDir);
            EXPECT_TRUE(steam.openKey(SteamKeyPath(), false));
            steam.writeString("SteamPath", steamPath);
        }
        SettingsStore s(regDir);
        problems.clear();
        return DiscoverGame(GamePaths{}, s, environment().searchGame, regDir, places, &problems);
    }

    testbed::ModernSteamLayout layout;
    SteamPlaces places;
    QStringList problems;
};

TEST_F(TodaysDiscovery, FindsTheGameInTheSecondLibraryWithoutASteamPath) {
    const GamePaths p = discoverToday();
    EXPECT_EQ(p.SteamFolder, layout.steamRoot);
    EXPECT_EQ(p.GameBase, layout.gameDir);
    EXPECT_EQ(p.EpisodicFolder, layout.episodicDir) << "episodic/ directly in the game folder";
    EXPECT_EQ(p.CfgFolder, layout.cfgDir);
    EXPECT_EQ(p.SteamCommand, layout.steamCommand) << "the steam command from the PATH";
    EXPECT_EQ(stored("Path"), layout.gameDir);
    EXPECT_TRUE(problems.isEmpty());

    places.commandFolders.clear();
    EXPECT_EQ(discoverToday().SteamCommand, layout.steamScript) << "then the root's steam.sh";
}

TEST_F(TodaysDiscovery, TheStoredSteamPathComesFirst) {
    gameMatches = {"/S/acct/half-life 2 episode one/"};
    GamePaths p = discoverToday("/S");
    EXPECT_EQ(p.SteamFolder, "/S/");
    EXPECT_EQ(p.GameBase, "/S/acct/");
    EXPECT_EQ(p.CfgFolder, "/S/acct/half-life 2 episode one/episodic/cfg/");
    EXPECT_TRUE(p.SteamCommand.isEmpty()) << "steam.exe, as the system starts it";
    EXPECT_EQ(stored("Path"), "/S/acct/");

    gameMatches.clear(); // the stored path finds nothing: today's layout is looked at
    p = discoverToday("/S");
    EXPECT_EQ(p.SteamFolder, layout.steamRoot);
    EXPECT_EQ(p.GameBase, layout.gameDir);
    EXPECT_EQ(p.SteamCommand, layout.steamCommand);
}

TEST_F(TodaysDiscovery, AGameFolderStoredByHandWhenNothingIsFound) {
    ASSERT_TRUE(QDir(layout.home + ".local").removeRecursively());
    EXPECT_TRUE(discoverToday().GameBase.isEmpty());
    EXPECT_EQ(stored("Path"), "");

    store({{"Path", layout.gameDir.chopped(1)}});
    GamePaths p = discoverToday();
    EXPECT_EQ(p.GameBase, layout.gameDir);
    EXPECT_EQ(p.EpisodicFolder, layout.episodicDir);
    EXPECT_TRUE(p.SteamFolder.isEmpty()) << "no Steam root any more";
    EXPECT_EQ(p.SteamCommand, layout.steamCommand);
    EXPECT_EQ(stored("Path"), layout.gameDir);

    store({{"Path", layout.library}}); // not a game folder
    p = discoverToday();
    EXPECT_TRUE(p.GameBase.isEmpty());
    EXPECT_EQ(p.CfgFolder, "half-life 2 episode one/episodic/cfg/");
    EXPECT_EQ(stored("Path"), "");
}

TEST_F(TodaysDiscovery, ARootWithoutTheGameIsStillTheSteamFolder) {
    ASSERT_TRUE(QFile::remove(layout.gameExe));
    ASSERT_TRUE(QFile::remove(layout.gameScript));
    const GamePaths p = discoverToday();
    EXPECT_EQ(p.SteamFolder, layout.steamRoot) << "so that Run now? can start the client";
    EXPECT_EQ(p.SteamCommand, layout.steamCommand);
    EXPECT_TRUE(p.GameBase.isEmpty());
    EXPECT_EQ(p.EpisodicFolder, "half-life 2 episode one/episodic/");
}

// Which Steam client goes with what was found when the stored Steam path finds no game: for a
// game folder stored by hand, today's root before the stored path; with no game at all, the
// stored path before today's root.
TEST_F(TodaysDiscovery, TheClientThatGoesWithAGameStoredByHandOrWithNoGame) {
    const QString elsewhere = tmp.path() + "/elsewhere/Half-Life 2/";
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "/elsewhere"));
    ASSERT_TRUE(QDir().rename(layout.gameDir, elsewhere)) << "the root's libraries lose the game";

    store({{"Path", elsewhere}});
    GamePaths p = discoverToday("/S");
    EXPECT_EQ(p.GameBase, elsewhere);
    EXPECT_EQ(p.EpisodicFolder, elsewhere + "episodic/");
    EXPECT_EQ(p.SteamFolder, layout.steamRoot) << "today's root before the stored Steam path";
    EXPECT_EQ(p.SteamCommand, layout.steamCommand);

    store({{"Path", tmp.path() + "/nowhere"}});
    p = discoverToday("/S");
    EXPECT_TRUE(p.GameBase.isEmpty());
    EXPECT_EQ(p.SteamFolder, "/S/") << "the stored Steam path before today's root";
    EXPECT_TRUE(p.SteamCommand.isEmpty()) << "steam.exe in it, as the system starts it";

    ASSERT_TRUE(QDir(layout.home + ".local").removeRecursively()); // no root any more
    store({{"Path", elsewhere}});
    p = discoverToday("/S");
    EXPECT_EQ(p.GameBase, elsewhere);
    EXPECT_EQ(p.SteamFolder, "/S/") << "no root: the stored Steam path";
    EXPECT_EQ(p.SteamCommand, layout.steamCommand) << "/S/ has no steam.exe: the steam command";
}

TEST_F(TodaysDiscovery, ADamagedLibraryListIsToldAndTheRootStillLookedAt) {
    const QString list = layout.steamRoot + "steamapps/libraryfolders.vdf";
    testsupport::writeFile(list, "\"libraryfolders\"\n{\n\t\"1\" { \"path\" \"/x\" }\n");
    EXPECT_TRUE(discoverToday().GameBase.isEmpty()) << "the game's library is not listed";
    EXPECT_EQ(problems, QStringList{QStringLiteral("Cannot read \"%1\": line 1: block "
                                                   "\"libraryfolders\" is not closed.")
                                        .arg(list)});
    EXPECT_EQ(testsupport::readFile(list), "\"libraryfolders\"\n{\n\t\"1\" { \"path\" \"/x\" }\n");
}

TEST_F(TodaysDiscovery, TheStartUpCheckPassesWithARootAndNoSteamKey) {
    deleteKey(RegRoot::CurrentUser, SteamKeyPath());
    EXPECT_TRUE(SteamInstalled(regDir, places));
    EXPECT_FALSE(SteamInstalled(regDir, SteamPlaces{}));
    SettingsStore s(regDir);
    StartupEnvironment env = environment();
    env.steamPlaces = places;
    const StartupResult r = LoadSettings(s, env);
    EXPECT_TRUE(r.loaded()) << qPrintable(r.failureMessage);
    EXPECT_EQ(r.paths.GameBase, layout.gameDir);
    EXPECT_TRUE(searchedRoot.isEmpty()) << "no stored Steam path to search below";

    ASSERT_TRUE(QDir(layout.home).removeRecursively());
    // The game folder the first start stored as "Path" is still there: it alone passes.
    EXPECT_EQ(stored("Path"), layout.gameDir);
    EXPECT_TRUE(LoadSettings(s, env).loaded());
    ASSERT_TRUE(QDir(layout.library).removeRecursively());
    EXPECT_EQ(LoadSettings(s, env).failureMessage,
              QStringLiteral("Please install the Half-Life 2 Episode One!"));
}

} // namespace
