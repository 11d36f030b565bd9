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
};
