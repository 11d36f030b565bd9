#pragma once

#include "OwnProcesses.h"
#include "SteamLayout.h"
#include "TestSupport.h"

#include "game/GameDiscovery.h"
#include "game/SettingsStore.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A machine for a command-line series: a program folder with the diagnostics tool and the
// shipped demo, a private registry with the program key and Steam's key, and a Steam folder
// with the stand-in client and game, whose user script is known.
class CliFixture : public ::testing::Test {
protected:
    static constexpr char UserScript[] = "// mine\r\nbind x jump\r\nexec extras\r\n";

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        qputenv("VARNHOLT_TESTBED_PLAY_MS", "100");
        qunsetenv("VARNHOLT_TESTBED_NO_RESULT");
        qunsetenv("VARNHOLT_TESTBED_FPS");
        qunsetenv("VARNHOLT_TESTBED_HOLD");
        layout = testbed::layOutSteamFolder(tmp.path() + "/steam folder", "player", false,
                                            testsupport::binDir());
        regDir = tmp.path() + "/registry/";
        qputenv("VARNHOLT_REGISTRY_DIR", regDir.toUtf8());
        programFolder = tmp.path() + "/program/";
        QDir().mkpath(programFolder + "system");
        QDir().mkpath(programFolder + "Demos");
        ASSERT_TRUE(
            QFile::copy(testsupport::binPath("system/dxdiag"), programFolder + "system/dxdiag"));
        testsupport::writeFile(programFolder + "Demos/rovdemo1.dem", "recorded demo");
        results = tmp.path() + "/results/";
        QDir().mkpath(results);

        Registry program(RegRoot::LocalMachine, regDir);
        ASSERT_TRUE(program.openKey(SettingsStore::ProgramKey(), true));
        Registry steam(RegRoot::CurrentUser, regDir);
        ASSERT_TRUE(steam.openKey(SteamKeyPath(), true));
        steam.writeString("SteamPath", QDir::cleanPath(layout.steamDir));
        store({{"Demo", "1"},
               {"RunNumber", "2"},
               {"ResultPath", results},
               {"Note", "stored"},
               {"640", "1"},
               {"AFLevel", "1"},
               {"AALevel", "0"}});
        testsupport::writeFile(layout.cfgDir + "autoexec.cfg", UserScript);
    }

    void TearDown() override {
        testbed::stopStandIns(tmp.path());
        qunsetenv("VARNHOLT_REGISTRY_DIR");
    }

    void store(const QMap<QString, QString>& values) {
        Registry r(RegRoot::LocalMachine, regDir);
        ASSERT_TRUE(r.openKey(SettingsStore::ProgramKey(), false));
        for (auto it = values.begin(); it != values.end(); ++it)
            r.writeString(it.key(), it.value());
    }
    QString stored(const QString& name) const { return SettingsStore(regDir).ReadValue(name); }

    // Today's Steam below this test's folder, and no Steam path in the store: the program
    // finds it as on a Linux machine today.
    testbed::ModernSteamLayout layOutTodaysSteam() {
        Registry(RegRoot::CurrentUser, regDir).deleteKey(SteamKeyPath());
        return testbed::layOutModernSteam(tmp.path() + "/today", false, testsupport::binDir());
    }

    void startClient() {
        ASSERT_TRUE(QProcess::startDetached(layout.steamExe, {}, layout.steamDir));
        ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));
    }

    // The user's script is back, byte for byte, and nothing of the series is left beside it.
    void expectUserScriptBack() {
        EXPECT_EQ(testsupport::readFile(layout.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
        EXPECT_EQ(QDir(layout.cfgDir).entryList(QDir::Files), QStringList{"autoexec.cfg"});
    }

    QTemporaryDir tmp;
    testbed::SteamLayout layout;
    QString regDir, programFolder, results;
};
