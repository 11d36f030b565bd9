#include "ui/AppComponents.h"

#include "game/GameDiscovery.h"

#include <QCoreApplication>

AppComponents::AppComponents(QString programFolder)
    : programFolder_(std::move(programFolder)), shell_(dialogs_),
      links_(programFolder_, shell_, dialogs_), fileOp_(dialogs_),
      preparation_(store_, dialogs_, fileOp_, timings_), facts_(store_, programFolder_, timings_),
      errors_(dialogs_) {}

TForm1Components AppComponents::ForMainWindow(std::function<void()> openNews,
                                              std::function<void()> checkForUpdate) {
    StartupEnvironment startup;
    startup.programFolder = programFolder_;
    startup.displayModes = platform::ReadDisplayModes;
    startup.searchGame = SearchGameFolders;
    startup.checkLeftoverConfig = [this](const GamePaths& paths) {
        preparation_.CheckLeftoverConfig(paths);
    };
    startup.registryDirectory = store_.registryDirectory();
    startup.steamPlaces = SteamPlacesOfThisMachine();
    return TForm1Components{
        store_,
        dialogs_,
        shell_,
        links_,
        preparation_,
        facts_,
        detection_,
        fileOp_,
        timings_,
        startup,
        [this](const GamePaths& paths) { preparation_.SetPaths(paths); },
        std::move(openNews),
        std::move(checkForUpdate),
        [this] { return facts_.JvComputerInfoEx1().Memory().TotalPhysicalMemory(); },
        [] { QCoreApplication::quit(); },
    };
}
