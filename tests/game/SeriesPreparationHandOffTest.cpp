// What the stand-in game finds when the program has prepared a series: the demo under the
// name it is given, the program's script, and the video settings in its own registry key.

#include "GamePrepFixture.h"

#include "SteamLayout.h"
#include "game/SeriesPreparation.h"

#include <QCryptographicHash>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QVariantMap>

using namespace gameprep;
using testsupport::binDir;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

TEST(GameHandOff, TheGameFindsTheDemoTheScriptAndItsSettings) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const testbed::SteamLayout layout =
        testbed::layOutSteamFolder(tmp.path() + "/my steam", "player", false, binDir());
    layOut(tmp.path()); // the program folder and the program key
    GamePaths paths = pathsBelow(tmp.path());
    paths.GameBase = layout.steamDir + "steamapps/player/";
    paths.CfgFolder = layout.cfgDir;
    paths.EpisodicFolder = layout.episodicDir;
    // The game works out the same identifier from the user id.
    paths.UserSid = CurrentUserSidText();
    const QString regDir = registryBelow(tmp.path());
    Registry(RegRoot::Users, regDir).openKey(GameSettingsKey(paths.UserSid), true);
    writeFile(paths.CfgFolder + "autoexec.cfg", kUserScript);
    writeFile(tmp.path() + "/demos/My Run.DEM", "custom recording");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VARNHOLT_REGISTRY_DIR", regDir);
    env.insert(testbed::kPlayMsEnv, "0");
    env.remove(testbed::kHoldEnv);
    env.remove(testbed::kNoResultEnv);
    auto startGame = [&](const QString& demoName) {
        QProcess game;
        game.setProcessEnvironment(env);
        game.setWorkingDirectory(layout.gameDir);
        game.start(layout.gameExe, {"-width", "640", "-height", "480", "+timedemoquit", demoName});
        EXPECT_TRUE(game.waitForFinished(10000));
        EXPECT_EQ(game.exitCode(), 0) << game.readAllStandardError().toStdString();
        return testbed::readGameLog(layout).last();
    };

    // Without its settings key the game records none.
    Registry(RegRoot::Users, regDir).deleteKey(GameSettingsKey(paths.UserSid));
    const QJsonObject noKey = startGame("rovdemo1");
    EXPECT_FALSE(noKey.contains("settings"));
    EXPECT_FALSE(noKey.contains("settingsError"));
    EXPECT_FALSE(noKey["demo"].toBool());
    EXPECT_EQ(noKey["autoexecLines"].toInt(), 3); // the last one unended
    Registry(RegRoot::Users, regDir).openKey(GameSettingsKey(paths.UserSid), true);

    BenchmarkSettings settings;
    settings.FilteringMode = 1;
    settings.AntialiasingMode = 4;
    settings.HdrMode = 2;
    settings.ColorCorrection = true;
    const QVariantMap expectedSettings = {
        {"mat_forceaniso", 1},
        {"mat_trilinear", 1},
        {"mat_aaquality", 4},
        {"mat_antialias", 4},
        {"ScreenMSAA", 4},
        {"ScreenMSAAQuality", 4},
        {"mat_colorcorrection", 1},
        {"mat_reducefillrate", 0},
        {"mat_hdr_level", 2},
        {"ShadowDepthTexture", 1},
        {"r_shadowrendertotexture", 1},
        {"mat_picmip", -1},
        {"mat_parallaxmap", 1},
        {"r_rootlod", 0},
        {"r_waterforcereflectentities", 1},
        {"r_waterforceexpensive", 1},
        {"mat_vsync", 0},
    };
    const QString scriptHash = QString::fromLatin1(
        QCryptographicHash::hash(ConfigScriptBytes(), QCryptographicHash::Sha256).toHex());

    const struct {
        DemoKind kind;
        QString played;
    } cases[] = {{DemoKind::Shipped, "rovdemo1"}, {DemoKind::Custom, "My Run"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.played.toStdString());
        settings.Demo = c.kind;
        settings.CustomDemoPath = tmp.path() + "/demos/My Run.DEM";
        SettingsStore store(regDir);
        ScriptedDialogs dialogs;
        FileOperation fileOp(dialogs);
        SeriesPreparation prep(store, dialogs, fileOp, noRestoreWait());
        prep.SetPaths(paths);
        ASSERT_EQ(prep.CheckDemo(settings), std::nullopt);
        prep.BackupAutoexec();
        prep.InstallDemo(settings);
        prep.ApplyFilterSettings(settings);
        prep.WriteGameSettings(settings);
        prep.WriteConfigScript();
        EXPECT_EQ(prep.DemoName(), c.played);

        const QJsonObject during = startGame(prep.DemoName());
        EXPECT_TRUE(during["demo"].toBool());
        EXPECT_EQ(during["autoexecFirstLine"].toString(), "// Brenmoor - Maximum details");
        EXPECT_EQ(during["autoexecLines"].toInt(), 24);
        EXPECT_EQ(during["autoexecSha256"].toString(), scriptHash);
        EXPECT_EQ(during["settings"].toObject().toVariantMap(), expectedSettings);

        bool restored = false;
        prep.RestoreGameConfig(false, [&] { restored = true; });
        ASSERT_TRUE(waitUntil([&] { return restored; }));
        // Afterwards the game has the user's script again, and keeps the benchmark's values.
        const QJsonObject after = startGame(prep.DemoName());
        EXPECT_EQ(after["autoexecFirstLine"].toString(), "// mine");
        EXPECT_EQ(after["autoexecSha256"].toString(),
                  QString::fromLatin1(
                      QCryptographicHash::hash(kUserScript, QCryptographicHash::Sha256).toHex()));
        EXPECT_EQ(after["settings"].toObject().toVariantMap(), expectedSettings);
        EXPECT_TRUE(dialogs.messages.isEmpty()) << qPrintable(dialogs.messages.join('\n'));
    }
    EXPECT_EQ(testbed::stopStandIns(tmp.path()), 0);
}

} // namespace
