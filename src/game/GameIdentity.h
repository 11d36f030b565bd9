#pragma once

#include "platform/ProcessLook.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>
#include <vector>

// Which running game is the one the series prepared, and whether Steam handed it the
// benchmark's launch options. Pure rules over what /proc shows.

// Whether `path` lies in `folder` or below it (folders compared after cleaning, so "/a/b/"
// and "/a/b" are one; "/a/bc" does not lie in "/a/b").
bool PathLiesIn(const QString& path, const QString& folder);

// Whether an executable is Wine's loader (wine, wine64, wine-preloader, wine64-preloader), as
// a Windows game under Proton shows itself.
bool IsWineLoader(const QString& executable);

// A Windows path on Wine's drive Z:, which is the root of the file system ("Z:\a\b" ->
// "/a/b"); a path of the file system unchanged; empty for anything else.
QString UnixPathOfGameArgument(const QString& argument);

// The game of the prepared installation: its executable lies in the game folder, or, under
// Proton (the executable is Wine's loader), its program argument or its working folder does.
bool IsPreparedGame(const platform::ProcessLook& look, const QString& gameFolder);

// What of the benchmark's launch options reached the game.
enum class LaunchOptionsSeen {
    All,         // the demo to play and the size
    SizeMissing, // the demo, but no "-width" or no "-height": the game plays at its own size
    AllMissing,  // no "+timedemoquit <demo>": the game sits at its menu
};

// From the game's arguments (argv[0] first; an argument holding blanks, as Wine may show a
// whole command line in one, counts word by word).
LaunchOptionsSeen CheckLaunchOptions(const QStringList& arguments, const QString& demoName);

// A game process with what /proc showed of it.
struct SeenGame {
    qint64 pid = 0;
    platform::ProcessLook look;
};

// The games running now: the prepared one, if any, and every other copy.
struct GameSighting {
    std::optional<SeenGame> prepared;
    std::vector<SeenGame> others;
};

GameSighting SortGames(const std::vector<SeenGame>& games, const QString& gameFolder);

// How another copy is named to the user: its executable, or its program argument under Proton,
// with its process id.
QString OtherGameText(const SeenGame& game);
