#pragma once

#include "game/KeyValues.h"

#include <QString>
#include <QStringList>
#include <optional>

// Today's Steam on Linux: its root folders, its library list and the game in a library. Looked
// at only after the stored Steam path has found nothing.

// Where today's Steam is looked for: the home folder its roots lie below, and the folders the
// "steam" command is looked for in. An empty home folder looks nowhere, so a test or a caller
// that does not ask for it never sees this machine's files.
struct SteamPlaces {
    QString homeFolder;
    QStringList commandFolders;
};

// $HOME and the absolute folders of $PATH.
SteamPlaces SteamPlacesOfThisMachine();

// The roots Steam is installed in, in the order they are looked at, below `home`.
QStringList SteamRootCandidates(const QString& home);

// The library folders a libraryfolders.vdf lists, in its order: the current form (numbered
// blocks with a "path") and the older one (numbered paths), both under a root block named
// "libraryfolders" in any letter case.
QStringList LibraryFoldersIn(const KeyValues& libraryList);

// The "installdir" of an app manifest ("AppState"), when it is a plain folder name.
std::optional<QString> InstallDirIn(const KeyValues& manifest);

// Steam's application number of Half-Life 2, whose folder holds Episode One's content.
inline constexpr char kHalfLife2AppId[] = "220";
inline constexpr char kHalfLife2Folder[] = "Half-Life 2";

// True when `gameFolder` holds "episodic/" beside "hl2_linux", "hl2.sh" or "hl2.exe".
bool IsGameFolder(const QString& gameFolder);

struct TodaysSteam {
    QString root;         // the Steam root the game was found through, or the first one there
                          // is; ends with "/"; empty when none exists
    QString gameFolder;   // ".../steamapps/common/Half-Life 2/"; empty when not found
    QString steamCommand; // what starts Steam; empty when the root has a steam.exe or nothing
                          // is found
    QStringList problems; // a damaged library list or manifest, for the user
};

// The real folders of the existing roots, each once (a root that is a link to another, or a
// loop of links, is not looked at twice), each ending with "/".
QStringList ExistingSteamRoots(const SteamPlaces& places);

// The program that starts Steam from `root`: the "steam" command of the command folders, else
// `root`/steam.sh; empty when neither is there or the root has a steam.exe of its own.
QString SteamCommandFor(const QString& root, const QStringList& commandFolders);

// Looks through the roots and their libraries, in order, for the first library that holds the
// game. Reads only small regular files; a damaged one is named in `problems` and skipped.
TodaysSteam FindTodaysSteam(const SteamPlaces& places);
