#pragma once

#include "game/FileOperation.h"
#include "game/GamePaths.h"
#include "game/SettingsStore.h"
#include "model/Timings.h"
#include "platform/Dialogs.h"

#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

// Keeps the user's "autoexec.cfg" safe around a series: parked as "autoexec_old.cfg" while the
// program's script is in place, put back afterwards, and recovered at the next start when the
// program was killed in between.
//
// Nothing of the user's is ever deleted or overwritten by the program itself: the program's
// script is recognised by its exact content (IsProgramScript), and only that file, an empty
// file in the way of the parked script coming back, or the user's answer to the start-up
// question, removes an "autoexec.cfg". Where two scripts of the
// user's would want the same name, one of them moves to a free name "<name>(2).cfg", "(3)" ...
// and the user is told where it is.

// folder + base + ".cfg" when no such file exists, else the first free base + "(n).cfg" from
// n = 2 on.
QString FreeScriptName(const QString& folder, const QString& base);

class GameConfigBackup {
public:
    GameConfigBackup(FileOperation& fileOp, Dialogs& dialogs, Timings timings = {});
    // A restore still waiting puts the parked script back at once (when that replaces nothing
    // of the user's), so it is back even when the program ends during the wait; its `done`
    // callbacks are dropped, not run.
    ~GameConfigBackup();
    GameConfigBackup(const GameConfigBackup&) = delete;
    GameConfigBackup& operator=(const GameConfigBackup&) = delete;

    // Parks the user's "autoexec.cfg" as "autoexec_old.cfg". The program's own script is left
    // for WriteConfigScript to replace. When a script is already parked (a series that stopped
    // early or was killed), the parked one stays and a user's "autoexec.cfg" is parked beside
    // it under a free name, which the user is told.
    void BackupAutoexec(const QString& cfgFolder);

    // Puts the parked script back after a series. Does nothing when seriesFinished. Without a
    // parked script only the program's own script is deleted. With one, the program's script
    // is deleted, and after the wait Timings::beforeRestore the parked script is moved back;
    // should a user's own "autoexec.cfg" be in the way, it is kept and the parked one goes to a
    // free "autoexec(n).cfg", which the user is told. `done` runs exactly once when all is done:
    // at once when there was nothing to wait for, else from the event loop. A restore asked
    // for while one is waiting runs `done` with the waiting one.
    void RestoreGameConfig(const QString& cfgFolder, bool seriesFinished,
                           std::function<void()> done);
    bool restorePending() const { return timer_.isActive(); }

    // Start-up: a script parked by a series that never ended comes back at once when only the
    // program's script (or nothing) is in its place. Then the crash marker "NoErrorWarning" is
    // set from the files found and, while an "autoexec.cfg" is there that did not just come
    // back, the user is asked whether to delete it; Yes deletes it and clears the marker.
    void CheckLeftoverConfig(const GamePaths& paths, SettingsStore& store);

private:
    void move(const QString& from, const QString& to);
    void putParkedScriptBack();
    void finishRestore();

    FileOperation& fileOp_;
    Dialogs& dialogs_;
    QTimer timer_;
    QString restoreFolder_;
    std::vector<std::function<void()>> waiting_;
};

// The start-up question, word for word.
QString LeftoverConfigQuestion();
