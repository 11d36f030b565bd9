#pragma once

#include "model/BenchmarkSettings.h"
#include "model/SlotTable.h"

#include <QString>

// The option arguments of the game command line, computed once per series.
struct LaunchOptions {
    QString RefreshArg;
    QString HeapArg;
    QString FastZArg;
    QString DemoName;
};

LaunchOptions MakeLaunchOptions(const BenchmarkSettings& settings, const QString& demoName);

// What follows the program's name in every game start: "-silent -applaunch 380 ..." up to the
// demo's name.
QString LaunchArguments(const ResolutionSlot& slot, const LaunchOptions& options);

// The whole command text for one row. The Steam folder text is used unquoted and unchanged:
// the process creation takes the program from the front of the text.
QString BuildLaunchCommand(const ResolutionSlot& slot, const LaunchOptions& options,
                           const QString& steamFolder);

// The command that starts the Steam client itself.
QString SteamClientCommand(const QString& steamFolder);

// A start as the runner is given it: the program file, when the program knows it exactly, and
// the command text.
struct ProgramStart {
    QString ApplicationName;
    QString CommandLine;
};

// The program file of "steam.exe" in the Steam folder; empty for a folder that is not an
// absolute path (the command text alone then names the program, as it always did).
QString SteamExeFile(const QString& steamFolder);

// A game start for one row. Without a Steam command it is steam.exe in the Steam folder, named
// as the application as well so that no shorter prefix of a folder with blanks ("/games/Steam"
// beside "/games/Steam Games/") is started in its place. With one (today's "steam" or steam.sh)
// it is that program followed by the same arguments.
ProgramStart GameStart(const ResolutionSlot& slot, const LaunchOptions& options,
                       const QString& steamFolder, const QString& steamCommand);

// The start of the Steam client itself ("Run now?"): the same programs, without arguments.
ProgramStart ClientStart(const QString& steamFolder, const QString& steamCommand);
