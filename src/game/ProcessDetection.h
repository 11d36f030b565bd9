#pragma once

#include "game/GameIdentity.h"
#include "platform/ProcessList.h"
#include "platform/ProcessLook.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// Whether the Steam client runs (before a series) and whether the game still runs (after each
// start).

// Loose on purpose: any process whose name merely contains "steam.exe", in any letter case,
// counts as the client.
bool SteamFoundIn(const QStringList& processNames);

// Today's client on Linux: a live process named exactly "steam" (its helpers, such as
// "steamwebhelper", do not count).
bool LinuxSteamClientIn(const std::vector<platform::ProcessEntry>& processes,
                        const std::function<bool(qint64)>& isAlive);

// Whether a process of this name is the game: "hl2.exe" in any letter case, or today's native
// "hl2_linux".
bool IsGameProcessName(const QString& name);

// The first process, in enumeration order, whose file name is "hl2.exe" in any letter case.
std::optional<qint64> FirstGameProcess(const std::vector<platform::ProcessEntry>& processes);

// Only the first "hl2.exe" is tested; a second one running meanwhile does not count. Today's
// native game, "hl2_linux", counts as well: the first of that name is tested the same way.
bool GameRunningIn(const std::vector<platform::ProcessEntry>& processes,
                   const std::function<bool(qint64)>& isAlive);

// Keeps the processes that run as `uid`: another user's game or client is not this user's.
void KeepUserProcesses(std::vector<platform::ProcessEntry>& processes, qint64 uid);

// Where the processes come from; tests hand in their own lists.
struct ProcessSource {
    std::function<std::optional<std::vector<platform::ProcessEntry>>()> enumerate;
    std::function<bool(qint64)> isAlive;
    std::function<std::optional<platform::ProcessLook>(qint64)> look = &platform::LookAtProcess;
    // The processes of the names wanted only, for looks made several times a second; when
    // unset, `enumerate` is filtered.
    std::function<std::optional<std::vector<platform::ProcessEntry>>(
        const std::function<bool(const QString&)>&)>
        enumerateNamed = nullptr;
};

// The machine's processes that run as this user.
ProcessSource SystemProcesses();

class ProcessDetection {
public:
    explicit ProcessDetection(ProcessSource source = SystemProcesses());

    // Updates SteamRunning and returns it: the loose "steam.exe" rule, or today's client. When
    // the processes cannot be listed the previous answer stands (false before any successful
    // check).
    bool IsSteamRunning();
    // True while the first "hl2.exe", or the first "hl2_linux", is alive. A list that cannot be
    // read finds no game.
    bool IsGameRunning() const;

    bool SteamRunning() const { return steamRunning_; }

    // Today's layout: the game of the installation in `gameFolder`, if it runs, and every other
    // process of the game's names. A list that cannot be read finds none.
    GameSighting LookForGames(const QString& gameFolder) const;

private:
    ProcessSource source_;
    bool steamRunning_ = false;
};
