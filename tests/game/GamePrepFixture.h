#pragma once

#include "TestSupport.h"
#include "game/ConfigScript.h"
#include "game/GameDiscovery.h"
#include "game/GamePaths.h"
#include "game/SettingsStore.h"
#include "model/Timings.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

namespace gameprep {

// A user's script with what a careless copy would lose: no final line break, a lone CR,
// bytes outside ASCII.
inline const QByteArray kUserScript =
    QByteArrayLiteral("// mine\nbind \"F5\" \"screenshot\"\r\nexec extra\r\xe9\xff");
inline const QByteArray kOtherUserScript = QByteArrayLiteral("// written later\r\nfps_max 300\r\n");

// The restore's wait cut to a turn of the event loop.
inline Timings noRestoreWait() {
    Timings timings;
    timings.beforeRestore = 0;
    return timings;
}

// Answers the program's dialogs as a user would and remembers what it was shown. A question
// without a prepared answer fails the test.
class ScriptedDialogs : public Dialogs {
public:
    void showMessage(const QString& text) override { messages << text; }
    bool askYesNo(const QString& text) override {
        questions << text;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString chooseOpenFile(const QString& filter) override {
        filters << filter;
        return openFile;
    }
    QString chooseFolder(const QString&) override { return {}; }

    std::deque<bool> answers;
    QString openFile;
    QStringList messages;
    QStringList questions;
    QStringList filters;
};

// The folders of a program and a game below one root, the program key and the game's
// settings key in a registry store of their own.
inline GamePaths pathsBelow(const QString& root) {
    GamePaths paths;
    paths.ProgramFolder = root + QStringLiteral("/program/");
    paths.GameBase = root + QStringLiteral("/steam/steamapps/player/");
    paths.CfgFolder = CfgFolderOf(paths.GameBase);
    paths.EpisodicFolder = EpisodicFolderOf(paths.GameBase);
    paths.UserSid = QStringLiteral("S-1-22-1-4242");
    return paths;
}

inline QString registryBelow(const QString& root) {
    return root + QStringLiteral("/registry/");
}

inline void layOut(const QString& root) {
    const GamePaths paths = pathsBelow(root);
    QDir().mkpath(paths.CfgFolder);
    testsupport::writeFile(paths.ProgramFolder + QStringLiteral("Demos/rovdemo1.dem"),
                           "shipped demo");
    Registry machine(RegRoot::LocalMachine, registryBelow(root));
    if (!machine.openKey(SettingsStore::ProgramKey(), true))
        throw std::runtime_error("cannot create the program key");
    Registry users(RegRoot::Users, registryBelow(root));
    if (!users.openKey(GameSettingsKey(paths.UserSid), true))
        throw std::runtime_error("cannot create the game settings key");
}

// Every file below a folder (relative name -> bytes), hidden ones too: a leftover temporary
// file or a stray copy shows up.
inline QMap<QString, QByteArray> filesBelow(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names)
        files.insert(name, testsupport::readFile(dir.filePath(name)));
    return files;
}

class GamePrep : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path();
        layOut(root);
        paths = pathsBelow(root);
        regDir = registryBelow(root);
    }

    QString cfg(const QString& name) const { return paths.CfgFolder + name; }
    QString episodic(const QString& name) const { return paths.EpisodicFolder + name; }

    QTemporaryDir tmp;
    QString root;
    GamePaths paths;
    QString regDir;
};

} // namespace gameprep
