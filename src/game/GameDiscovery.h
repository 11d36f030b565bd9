#pragma once

#include "game/GamePaths.h"
#include "game/SettingsStore.h"
#include "game/SteamLibraries.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Steam's own key, read only.
QString SteamKeyPath();
bool SteamKeyPresent(const QString& registryDirectory = registryDir());
// The start-up check: Steam's key, or one of today's Steam roots.
bool SteamInstalled(const QString& registryDirectory, const SteamPlaces& places);

// The folder that holds the game's folder, from the folder of an "hl2.exe" match (a full path
// ending with "/"): drop the final "/", keep everything up to and including the last "/".
QString BaseFromMatchFolder(const QString& folder);

QString CfgFolderOf(const QString& gameBase);
QString EpisodicFolderOf(const QString& gameBase);

// The game folder the user stored by hand as "Path", when it is one (ends with "/"); empty
// otherwise.
QString GameFolderStoredByHand(const SettingsStore& store);

// Lists the folders (ending with "/") of every "hl2.exe" below a root, in walk order.
using GameSearch = std::function<QStringList(const QString& root)>;
// The program's search: the file search walking the whole tree for "hl2.exe".
QStringList SearchGameFolders(const QString& root);

// What one way of finding the game found: the game's folder and the Steam client it goes with.
struct GameFound {
    QString gameBase; // ends with "/"; empty when this way found no game
    // Today's layout: "episodic/" lies directly in gameBase, not below its
    // "half-life 2 episode one/".
    bool episodicInBase = false;
    QString steamFolder;  // ends with "/"; empty when no client is known
    QString steamCommand; // what starts the client; empty: "steam.exe" in steamFolder
    QStringList problems; // damaged Steam files met on the way, for the user

    bool found() const { return !gameBase.isEmpty(); }
};

// The system's own way: the folder Steam's key stores as "SteamPath", searched for "hl2.exe";
// the last match wins. Nothing when the key stores no path.
GameFound FindThroughSteamKey(const QString& registryDirectory, const GameSearch& search);
// Today's Steam: the roots below the home folder and their libraries. Without the game, the
// first root that exists is still the client.
GameFound FindInTodaysSteam(const SteamPlaces& places);
// A game folder stored by hand as "Path", started through the client in `steamFolder` (or the
// "steam" command when none is known).
GameFound FindStoredGameFolder(const SettingsStore& store, const QString& steamFolder,
                               const QStringList& commandFolders);

// Finds Steam and the game: the ways above, in that order, until one finds the game. Writes
// the game base as "Path" into the program key (also when empty). Returns the filled paths;
// UserSid is left as it was.
//
// A game folder stored by hand goes with today's client when there is one, else with the
// stored Steam path. When nothing finds the game, the stored Steam path, else today's first
// root, is the client the "Run now?" question can start.
// Damaged Steam files met on the way are added to `problems`.
GamePaths DiscoverGame(GamePaths paths, SettingsStore& store, const GameSearch& search,
                       const QString& registryDirectory = registryDir(),
                       const SteamPlaces& places = {}, QStringList* problems = nullptr);

// The standard text form of a security identifier.
QString FormatSid(unsigned revision, const unsigned char (&authority)[6],
                  const std::vector<unsigned>& subAuthorities);
// The current user's identifier on this platform: "S-1-22-1-" and the numeric user id.
QString CurrentUserSidText();

// The game's per-user video settings key below HKEY_USERS.
QString GameSettingsKey(const QString& userSid);

// Creates "Benchmark/" below the program folder (below the user's data folder when the program
// folder is read-only or a package's: WritableFolder) with any missing parents; the outcome is
// not checked, as the results folder default names it either way.
void EnsureBenchmarkFolder(const QString& programFolder);
