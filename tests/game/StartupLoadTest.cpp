#include "SettingsFixture.h"

#include "platform/Errors.h"

#include <functional>

namespace {

using Check = std::function<void(const StartupResult&)>;

struct StartupCase {
    const char* name;
    QMap<QString, QString> values;
    Check check;
};

class StartupRules : public SettingsFixture {};

TEST_F(StartupRules, StoredTextsAsTheWindowTakesThem) {
    const QString existingDemo = tmp.path() + QStringLiteral("/my.dem");
    QFile(existingDemo).open(QIODevice::WriteOnly);
    const QString resultsDir = tmp.path() + QStringLiteral("/results/");
    QDir().mkpath(resultsDir);

    const std::vector<StartupCase> cases = {
        {"AFLevel 7 chooses no filtering",
         {{"AFLevel", "7"}},
         [](const StartupResult& r) { EXPECT_FALSE(r.settings.FilteringMode); }},
        {"AALevel 7 chooses From System",
         {{"AALevel", "7"}},
         [](const StartupResult& r) { EXPECT_EQ(r.settings.AntialiasingMode, 7); }},
        {"AFLevel with a leading zero is not recognised",
         {{"AFLevel", "03"}},
         [](const StartupResult& r) { EXPECT_FALSE(r.settings.FilteringMode); }},
        {"empty FastZ and ColorCorrection set the boxes",
         {{"FastZ", ""}},
         [](const StartupResult& r) {
             EXPECT_TRUE(r.settings.FastZ);
             EXPECT_TRUE(r.settings.ColorCorrection);
         }},
        {"only 0 clears FastZ",
         {{"FastZ", "0"}, {"ColorCorrection", "no"}},
         [](const StartupResult& r) {
             EXPECT_FALSE(r.settings.FastZ);
             EXPECT_TRUE(r.settings.ColorCorrection);
         }},
        {"run number",
         {{"RunNumber", "3"}},
         [](const StartupResult& r) { EXPECT_EQ(r.settings.RunCount, 3); }},
        {"missing run number leaves the count at 0",
         {},
         [](const StartupResult& r) { EXPECT_EQ(r.settings.RunCount, 0); }},
        {"run number 6 is not recognised",
         {{"RunNumber", "6"}},
         [](const StartupResult& r) { EXPECT_EQ(r.settings.RunCount, 0); }},
        {"heap, refresh and HDR codes",
         {{"Heapsize", "256000"}, {"Refresh", "85"}, {"HDR", "2"}},
         [](const StartupResult& r) {
             EXPECT_EQ(r.settings.HeapSize, 2);
             EXPECT_EQ(r.settings.RefreshRate, 3);
             EXPECT_EQ(r.settings.HdrMode, 2);
         }},
        {"unknown heap and refresh codes choose nothing",
         {{"Heapsize", "2"}, {"Refresh", "100"}},
         [](const StartupResult& r) {
             EXPECT_FALSE(r.settings.HeapSize);
             EXPECT_FALSE(r.settings.RefreshRate);
         }},
        {"custom demo chosen enables its controls",
         {{"Demo", "2"}},
         [](const StartupResult& r) {
             EXPECT_EQ(r.settings.Demo, DemoKind::Custom);
             EXPECT_TRUE(r.customDemoControlsEnabled);
         }},
        {"no demo stored leaves the controls disabled",
         {{"Demo", "0"}},
         [](const StartupResult& r) {
             EXPECT_FALSE(r.settings.Demo);
             EXPECT_FALSE(r.customDemoControlsEnabled);
         }},
        {"an existing demo file is taken",
         {{"Demoname", existingDemo}},
         [&](const StartupResult& r) { EXPECT_EQ(r.settings.CustomDemoPath, existingDemo); }},
        {"an existing results folder is taken",
         {{"ResultPath", resultsDir}},
         [&](const StartupResult& r) { EXPECT_EQ(r.settings.ResultsFolder, resultsDir); }},
        {"note taken as stored",
         {{"Note", "<b>fast</b>"}},
         [](const StartupResult& r) { EXPECT_EQ(r.settings.Note, QStringLiteral("<b>fast</b>")); }},
    };
    for (const StartupCase& c : cases) {
        SCOPED_TRACE(c.name);
        deleteKey(RegRoot::LocalMachine, SettingsStore::ProgramKey());
        createKey(RegRoot::LocalMachine, SettingsStore::ProgramKey());
        store(c.values);
        const StartupResult result = load();
        ASSERT_TRUE(result.loaded());
        c.check(result);
    }
}

// A fresh set-up has a choice in every box and the shipped demo, so that the first Run runs
// and the report has no empty field; a stored text still wins, and one not understood still
// leaves its box empty.
TEST_F(StartupRules, AFreshSetUpHasEveryBoxChosenAndTheShippedDemo) {
    const StartupResult fresh = load();
    ASSERT_TRUE(fresh.loaded());
    EXPECT_EQ(fresh.settings.FilteringMode, 6) << "From System";
    EXPECT_EQ(fresh.settings.AntialiasingMode, 7) << "From System";
    EXPECT_EQ(fresh.settings.HdrMode, 2) << "Full (if available)";
    EXPECT_EQ(fresh.settings.HeapSize, 0) << "64 MB - default";
    EXPECT_EQ(fresh.settings.RefreshRate, 0) << "60 Hz";
    EXPECT_EQ(fresh.settings.Demo, DemoKind::Shipped);
    EXPECT_FALSE(fresh.customDemoControlsEnabled);
    EXPECT_EQ(stored("Demo"), "1") << "chosen as a click on its item would";
    EXPECT_FALSE(storedExists("AFLevel")) << "a default is shown, not stored";

    store({{"AFLevel", "0"},
           {"AALevel", "1"},
           {"HDR", "0"},
           {"Heapsize", "512000"},
           {"Refresh", "85"},
           {"Demo", "2"}});
    const StartupResult chosen = load();
    EXPECT_EQ(chosen.settings.FilteringMode, 0);
    EXPECT_EQ(chosen.settings.AntialiasingMode, 1);
    EXPECT_EQ(chosen.settings.HdrMode, 0);
    EXPECT_EQ(chosen.settings.HeapSize, 3);
    EXPECT_EQ(chosen.settings.RefreshRate, 3);
    EXPECT_EQ(chosen.settings.Demo, DemoKind::Custom);
}

TEST_F(StartupRules, ResolutionsFollowTheOfferedModes) {
    store({{"640", "1"}, {"800", "1"}, {"1024", "0"}, {"2048", "1"}, {"hdw2", "1"}});
    // "11920 x 1080" has extra leading digits, which the substring look-up accepts.
    const StartupResult r = load({"640 x 480", "1024 x 768", "11920 x 1080"});
    const bool enabled[] = {true, false, true, false, false, false, false, true, false};
    const bool ticked[] = {true, false, false, false, false, false, false, true, false};
    for (int i = 0; i < FixedSlotCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.resolutionEnabled[i], enabled[i]);
        EXPECT_EQ(r.settings.ResolutionChecked[i], ticked[i]);
    }
    EXPECT_EQ(stored("800"), "1") << "a row not offered keeps its stored value";
    EXPECT_EQ(stored("2048"), "1");
}

TEST_F(StartupRules, CustomResolution) {
    store({{"CusW", "1366"}, {"CusH", "768"}, {"CusRes", "1"}});
    StartupResult r = load({"1366 x 768"});
    EXPECT_EQ(r.settings.CustomWidth, "1366");
    EXPECT_EQ(r.settings.CustomHeight, "768");
    EXPECT_TRUE(r.settings.CustomChecked);

    r = load({"1024 x 768"});
    EXPECT_TRUE(r.settings.CustomWidth.isEmpty());
    EXPECT_FALSE(r.settings.CustomChecked);
    EXPECT_EQ(stored("CusW"), "0") << "a size no longer offered is reset";
    EXPECT_EQ(stored("CusH"), "0");
    EXPECT_EQ(stored("CusRes"), "1") << "the tick is left as stored";

    r = load({"0 x 0"});
    EXPECT_TRUE(r.settings.CustomWidth.isEmpty()) << "a stored 0 means no custom size";
}

TEST_F(StartupRules, MissingCustomSizeMatchesEveryListButStaysEmpty) {
    store({{"CusRes", "1"}});
    const StartupResult r = load({"800 x 600"});
    EXPECT_TRUE(r.settings.CustomWidth.isEmpty());
    EXPECT_TRUE(r.settings.CustomHeight.isEmpty());
    EXPECT_FALSE(r.settings.CustomChecked);
    EXPECT_FALSE(storedExists("CusW"));
}

TEST_F(StartupRules, WriteBacks) {
    const QString missingDemo = tmp.path() + QStringLiteral("/gone.dem");
    store({{"ResultPath", tmp.path() + "/no-such-folder/"},
           {"Demoname", missingDemo},
           {"Note", "kept"},
           {"Demo", "1"}});
    const StartupResult r = load();
    EXPECT_EQ(r.settings.ResultsFolder, programFolder + "Benchmark/");
    EXPECT_EQ(stored("ResultPath"), programFolder + "Benchmark/");
    EXPECT_TRUE(r.settings.CustomDemoPath.isEmpty());
    EXPECT_EQ(stored("Demoname"), missingDemo) << "the stored path is not erased";
    EXPECT_EQ(stored("Note"), "kept");
    EXPECT_EQ(stored("Demo"), "1");
    EXPECT_TRUE(storedExists("Path")) << "discovery writes the game folder, empty or not";
}

TEST_F(StartupRules, MissingProgramKeyStopsBeforeAnythingIsRead) {
    deleteKey(RegRoot::LocalMachine, SettingsStore::ProgramKey());
    bool recoveryRan = false;
    SettingsStore s(regDir);
    StartupEnvironment env = environment();
    env.checkLeftoverConfig = [&](const GamePaths&) { recoveryRan = true; };
    const StartupResult r = LoadSettings(s, env);
    EXPECT_EQ(r.failureMessage, QStringLiteral("Please reinstall the Quillon Varnholt!"));
    EXPECT_TRUE(searchedRoot.isEmpty());
    EXPECT_FALSE(recoveryRan);
    EXPECT_FALSE(SettingsStore(regDir).HasProgramKey()) << "the program never creates its key";
}

TEST_F(StartupRules, MissingSteamKeyStopsBeforeOptionsAreLoaded) {
    deleteKey(RegRoot::CurrentUser, SteamKeyPath());
    store({{"AFLevel", "1"}});
    const StartupResult r = load();
    EXPECT_EQ(r.failureMessage, QStringLiteral("Please install the Half-Life 2 Episode One!"));
    EXPECT_EQ(r.failure, StartupResult::Failure::GameNotFound);
    EXPECT_FALSE(r.settings.FilteringMode);
    EXPECT_FALSE(storedExists("Path"));
}

// A user whose Steam lives where nobody looks stores the game folder by hand, as the docs say;
// that alone passes the start-up check, without Steam's key or a Steam root.
TEST_F(StartupRules, AGameFolderStoredByHandIsEnoughWithoutSteam) {
    deleteKey(RegRoot::CurrentUser, SteamKeyPath());
    const QString game = tmp.path() + "/disk/SteamLibrary/steamapps/common/Half-Life 2/";
    QDir().mkpath(game + "episodic/cfg");
    testsupport::writeFile(game + "hl2_linux", "");
    store({{"Path", game.chopped(1)}, {"AFLevel", "1"}});
    const StartupResult r = load();
    ASSERT_TRUE(r.loaded()) << qPrintable(r.failureMessage);
    EXPECT_EQ(r.paths.GameBase, game);
    EXPECT_EQ(r.paths.EpisodicFolder, game + "episodic/");
    EXPECT_EQ(r.paths.CfgFolder, game + "episodic/cfg/");
    EXPECT_EQ(r.settings.FilteringMode, 1) << "the options are loaded";
    EXPECT_EQ(stored("Path"), game);

    // A stored folder that is not the game's does not pass, and the message names it.
    store({{"Path", tmp.path() + "/disk/SteamLibrary"}});
    const StartupResult refused = load();
    EXPECT_EQ(refused.failure, StartupResult::Failure::GameNotFound);
    EXPECT_TRUE(refused.failureDetails.contains(
        QStringLiteral("\"%1\" has no episodic/").arg(tmp.path() + "/disk/SteamLibrary")))
        << qPrintable(refused.failureDetails);
}

// The messages of a stopped start-up say what was looked for and where; the system's own
// sentence stays as it was.
TEST(StartupMessages, SayWhatWasLookedForAndWhere) {
    EXPECT_EQ(ProgramKeyMissingDetails("/reg/"),
              "The program's settings key HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo is "
              "not in the registry store \"/reg/HKEY_LOCAL_MACHINE.reg\". The installation "
              "creates it (scripts/install.sh, or the package's varnholt command).");
    EXPECT_EQ(GameNotFoundDetails("/reg/", SteamPlaces{"/home/u", {}}, ""),
              "Looked for:\n"
              "- Steam's key HKEY_CURRENT_USER\\Software\\Valve\\Steam in "
              "\"/reg/HKEY_CURRENT_USER.reg\"\n"
              "- a Steam folder: /home/u/.local/share/Steam, /home/u/.steam/steam, "
              "/home/u/.steam/root, /home/u/.var/app/com.valvesoftware.Steam/.local/share/Steam, "
              "/home/u/.var/app/com.valvesoftware.Steam/data/Steam, "
              "/home/u/snap/steam/common/.local/share/Steam\n"
              "- a game folder stored as \"Path\": none stored");
    EXPECT_EQ(StorePathCommand("/opt/it's/", "/reg/"),
              "VARNHOLT_REGISTRY_DIR='/reg/' '/opt/it'\\''s/reg' add "
              "'HKLM\\SOFTWARE\\Quillon\\Ostrevo' /v Path /t REG_SZ "
              "/d '/path/to/steamapps/common/Half-Life 2/' /f");
}

// A store file that cannot be read stops start-up at its key check, as a missing key does,
// and says what is wrong with which file.
TEST_F(StartupRules, ADamagedStoreStopsAsAMissingKeyDoes) {
    for (RegRoot root : {RegRoot::LocalMachine, RegRoot::CurrentUser}) {
        SCOPED_TRACE(rootName(root).toStdString());
        const QString file = storeFile(root, regDir);
        const QByteArray kept = testsupport::readFile(file);
        testsupport::writeFile(file, "Windows Registry Editor Version 5.00\n\n[damaged\n");
        bool recoveryRan = false;
        SettingsStore s(regDir);
        StartupEnvironment env = environment();
        env.checkLeftoverConfig = [&](const GamePaths&) { recoveryRan = true; };
        const StartupResult r = LoadSettings(s, env);
        EXPECT_FALSE(r.loaded());
        EXPECT_EQ(r.failureMessage,
                  QStringLiteral("The registry store file '%1' is damaged (line 3: a key line "
                                 "must end with ']')")
                      .arg(file));
        EXPECT_TRUE(searchedRoot.isEmpty());
        EXPECT_FALSE(recoveryRan);
        testsupport::writeFile(file, kept);
    }
}

TEST_F(StartupRules, RecoveryRunsWithTheFoundFoldersAndTheUserIsKnownLast) {
    Registry steam(RegRoot::CurrentUser, regDir);
    ASSERT_TRUE(steam.openKey(SteamKeyPath(), false));
    steam.writeString("SteamPath", "/games/steam");
    gameMatches = {"/games/steam/steamapps/acct/half-life 2 episode one/"};
    GamePaths seen;
    SettingsStore s(regDir);
    StartupEnvironment env = environment();
    env.checkLeftoverConfig = [&](const GamePaths& p) { seen = p; };
    const StartupResult r = LoadSettings(s, env);
    EXPECT_EQ(seen.CfgFolder, "/games/steam/steamapps/acct/half-life 2 episode one/episodic/cfg/");
    EXPECT_TRUE(seen.UserSid.isEmpty());
    EXPECT_TRUE(r.paths.UserSid.startsWith("S-1-22-1-"));
}

TEST_F(StartupRules, AValueOfAnotherTypeFailsTheLoad) {
    Registry r(RegRoot::LocalMachine, regDir);
    ASSERT_TRUE(r.openKey(SettingsStore::ProgramKey(), false));
    r.writeInteger("AFLevel", 1);
    try {
        load();
        FAIL() << "expected a registry error";
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Invalid data type for 'AFLevel'"));
    }
}

} // namespace
