#include "game/MachineStartup.h"

#include "game/GameDiscovery.h"
#include "game/SteamLibraries.h"

StartupEnvironment StartupEnvironmentOfThisMachine(const QString& programFolder,
                                                   const QString& registryDirectory,
                                                   SeriesPreparation& preparation) {
    StartupEnvironment startup;
    startup.programFolder = programFolder;
    startup.displayModes = platform::ReadDisplayModes;
    startup.searchGame = SearchGameFolders;
    startup.checkLeftoverConfig = [&preparation](const GamePaths& paths) {
        preparation.CheckLeftoverConfig(paths);
    };
    startup.registryDirectory = registryDirectory;
    startup.steamPlaces = SteamPlacesOfThisMachine();
    return startup;
}
