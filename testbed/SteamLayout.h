#pragma once

// Lays out a Steam folder with the stand-in client and game, and looks at what they do.

#include "StandIn.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace testbed {

// Paths of a laid-out Steam folder. Folders end with "/".
struct SteamLayout {
    QString steamDir;    // <steam>/
    QString steamExe;    // <steam>/steam.exe
    QString gameDir;     // <steam>/steamapps/<account>/half-life 2 episode one/
    QString gameExe;     // <gameDir>hl2.exe
    QString episodicDir; // <gameDir>episodic/
    QString cfgDir;      // <gameDir>episodic/cfg/
};

// Creates the folders below steamDir (steamDir too) and copies the built stand-ins into them,
// replacing earlier copies and keeping everything else. The stand-ins are taken from
// standInDir, by default the folder of the running program. withDemo places rovdemo1.dem.
// Throws std::runtime_error when a folder or a copy cannot be made.
SteamLayout layOutSteamFolder(const QString& steamDir,
                              const QString& account = QStringLiteral("player"),
                              bool withDemo = false, const QString& standInDir = QString());

// Puts a demo recording NAME.dem into the episodic folder; returns its path.
QString placeDemo(const SteamLayout& layout, const QString& name = QStringLiteral("rovdemo1"));

// Today's layout on Linux, below one folder of its own. Folders end with "/".
struct ModernSteamLayout {
    QString home;         // <dir>/home/: what $HOME is for the stand-ins and the program
    QString steamRoot;    // <home>.local/share/Steam/, also reached as <home>.steam/root and
                          // <home>.steam/steam
    QString steamScript;  // <steamRoot>steam.sh, which runs the steam command
    QString commandDir;   // <home>bin/: a folder for the PATH of whoever starts Steam
    QString steamCommand; // <commandDir>steam
    QString library;      // the second library, <dir>/<libraryName>/, listed after the root
    QString gameDir;      // <library>steamapps/common/Half-Life 2/
    QString gameExe;      // <gameDir>hl2_linux
    QString gameScript;   // <gameDir>hl2.sh, which runs hl2_linux
    QString episodicDir;  // <gameDir>episodic/
    QString cfgDir;       // <gameDir>episodic/cfg/
};

// Lays out today's Steam below `dir`: the root with steamapps/libraryfolders.vdf listing the
// root and a second library, appmanifest_220.acf in that library, the game folder with hl2.sh,
// hl2_linux and episodic/cfg/, the steam command and the root's steam.sh. The stand-ins are
// copied (replacing earlier copies, keeping everything else) from standInDir, by default the
// folder of the running program. Throws std::runtime_error when something cannot be made.
ModernSteamLayout
layOutModernSteam(const QString& dir, bool withDemo = false, const QString& standInDir = QString(),
                  const QString& libraryName = QStringLiteral("Steam Library, second disk"));

// Puts a demo recording NAME.dem into the episodic folder; returns its path.
QString placeDemo(const ModernSteamLayout& layout,
                  const QString& name = QStringLiteral("rovdemo1"));

// The game's starts, oldest first: one object per start with "pid", "args" (array), "width",
// "height", "timedemo", "demo" (found), "autoexec" (present) and "autoexecFirstLine".
// Empty when the game never started. Throws std::runtime_error on a line that is not JSON.
QList<QJsonObject> readGameLog(const SteamLayout& layout);
QList<QJsonObject> readGameLog(const ModernSteamLayout& layout);

// Pid of the running stand-in client of today's layout, or 0.
qint64 runningClient(const ModernSteamLayout& layout);

// Pid of the running stand-in client of this folder, or 0.
qint64 runningClient(const SteamLayout& layout);

// Live processes (zombies excluded) whose executable lies in folder or below it.
QList<qint64> standInProcesses(const QString& folder);
// True while the process exists and has not ended (a zombie has ended).
bool processRunning(qint64 pid);
// argv of a process as it was started; empty when it is gone.
QStringList processArguments(qint64 pid);
// Kills every stand-in process below folder and waits for them to end; returns how many
// there were, so a caller can tell that something was left running.
int stopStandIns(const QString& folder);

} // namespace testbed
