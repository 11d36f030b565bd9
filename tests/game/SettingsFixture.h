#pragma once

#include "TestSupport.h"
#include "game/GameDiscovery.h"
#include "game/SettingsStore.h"
#include "game/StartupLoad.h"
#include "platform/Registry.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A private registry and program folder, with the program key and Steam's key in place.
class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        regDir = tmp.path() + QStringLiteral("/registry/");
        programFolder = tmp.path() + QStringLiteral("/program/");
        QDir().mkpath(programFolder);
        createKey(RegRoot::LocalMachine, SettingsStore::ProgramKey());
        createKey(RegRoot::CurrentUser, SteamKeyPath());
    }

    void createKey(RegRoot root, const QString& key) {
        Registry r(root, regDir);
        ASSERT_TRUE(r.openKey(key, true));
    }

    void deleteKey(RegRoot root, const QString& key) { Registry(root, regDir).deleteKey(key); }

    void store(const QMap<QString, QString>& values) {
        Registry r(RegRoot::LocalMachine, regDir);
        ASSERT_TRUE(r.openKey(SettingsStore::ProgramKey(), false));
        for (auto it = values.begin(); it != values.end(); ++it)
            r.writeString(it.key(), it.value());
    }

    QString stored(const QString& name) { return SettingsStore(regDir).ReadValue(name); }

    bool storedExists(const QString& name) {
        Registry r(RegRoot::LocalMachine, regDir);
        return r.openKey(SettingsStore::ProgramKey(), false) && r.valueExists(name);
    }

    StartupEnvironment environment(QStringList modes = {QStringLiteral("640 x 480"),
                                                        QStringLiteral("1024 x 768")}) {
        StartupEnvironment env;
        env.programFolder = programFolder;
        env.displayModes = [modes] { return testsupport::screenSizes(modes); };
        env.searchGame = [this](const QString& root) {
            searchedRoot = root;
            return gameMatches;
        };
        env.registryDirectory = regDir;
        return env;
    }

    StartupResult load(QStringList modes = {QStringLiteral("640 x 480"),
                                            QStringLiteral("1024 x 768")}) {
        SettingsStore s(regDir);
        return LoadSettings(s, environment(std::move(modes)));
    }

    QTemporaryDir tmp;
    QString regDir;
    QString programFolder;
    QStringList gameMatches;
    QString searchedRoot;
};
