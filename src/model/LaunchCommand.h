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

// The whole command text for one row. The Steam folder text is used unquoted and unchanged:
// the process creation takes the program from the front of the text.
QString BuildLaunchCommand(const ResolutionSlot& slot, const LaunchOptions& options,
                           const QString& steamFolder);

// The command that starts the Steam client itself.
QString SteamClientCommand(const QString& steamFolder);
