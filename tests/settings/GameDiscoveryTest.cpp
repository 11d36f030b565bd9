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
