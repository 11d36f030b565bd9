#pragma once

#include <QString>

// Folders the program works with, filled once at start-up. Every folder ends with "/".
struct GamePaths {
    QString ProgramFolder;
    QString SteamFolder;
    QString GameBase;
    QString CfgFolder;
    QString EpisodicFolder;
    QString UserSid;
    // The program that starts today's Steam (its "steam" command or steam.sh), found when the
    // game was found through today's layout and the Steam folder has no steam.exe; empty:
    // "steam.exe" in SteamFolder, as on the system's own layout.
    QString SteamCommand;
};
