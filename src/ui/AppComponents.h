#pragma once

#include "game/FileOperation.h"
#include "game/ProcessDetection.h"
#include "game/SeriesPreparation.h"
#include "game/SettingsStore.h"
#include "model/Timings.h"
#include "sysinfo/SystemInformation.h"
#include "ui/DesktopShellOpen.h"
#include "ui/ErrorReport.h"
#include "ui/MainWindow.h"
#include "ui/ShellLinks.h"
#include "ui/WidgetDialogs.h"

#include <functional>

// The program's real components, built once by main() and kept until it ends: the registry
// store, the dialogs and shell, the links, the file operation, process detection, the game
// preparation, the system facts and the top-level error report.
class AppComponents {
public:
    // `programFolder` ends with "/".
    explicit AppComponents(QString programFolder);

    // What the main window is built with. `openNews` opens the news window; `checkForUpdate`
    // starts the update check.
    MainWindowContext ForMainWindow(std::function<void()> openNews,
                                    std::function<void()> checkForUpdate);

    // What "Check for newer version" does: `check`, or in a copy a package owns (judged by
    // this program folder, the one every other part uses) only the package's message.
    std::function<void()> UpdateCheck(std::function<void()> check);

    const QString& ProgramFolder() const { return programFolder_; }
    SettingsStore& Store() { return store_; }
    WidgetDialogs& Dialogs() { return dialogs_; }
    ShellOpen& Shell() { return shell_; }
    ErrorReport& Errors() { return errors_; }

private:
    QString programFolder_;
    Timings timings_;
    SettingsStore store_;
    WidgetDialogs dialogs_;
    DesktopShellOpen shell_;
    ShellLinks links_;
    FileOperation fileOp_;
    ProcessDetection detection_;
    SeriesPreparation preparation_;
    SystemInformation facts_;
    ErrorReport errors_;
};
