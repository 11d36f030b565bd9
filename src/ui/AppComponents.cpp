#include "ui/AppComponents.h"

#include "game/MachineStartup.h"
#include "game/ProgramFolder.h"
#include "update/PackageUpdates.h"

#include <QCoreApplication>

AppComponents::AppComponents(QString programFolder)
    : programFolder_(std::move(programFolder)), shell_(dialogs_),
      links_(programFolder_, shell_, dialogs_), fileOp_(dialogs_),
      preparation_(store_, dialogs_, fileOp_, timings_), facts_(store_, programFolder_, timings_),
      errors_(dialogs_) {}

MainWindowContext AppComponents::ForMainWindow(std::function<void()> openNews,
                                               std::function<void()> checkForUpdate) {
    const StartupEnvironment startup =
        StartupEnvironmentOfThisMachine(programFolder_, store_.registryDirectory(), preparation_);
    return MainWindowContext{
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
        [this] { return facts_.Computer().Memory().TotalPhysicalMemory(); },
        [] { QCoreApplication::quit(); },
    };
}

std::function<void()> AppComponents::UpdateCheck(std::function<void()> check) {
    return UpdateCheckAction(ProgramIsPackaged(programFolder_), dialogs_, std::move(check));
}
