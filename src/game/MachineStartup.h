#pragma once

#include "game/SeriesPreparation.h"
#include "game/StartupLoad.h"

#include <QString>

// The start-up environment of this machine, the same for the window and the command line: the
// program folder, the registry store's folder, the game search over the stored Steam path and
// today's Steam below $HOME and on $PATH, and the recovery of a script left behind, through
// `preparation`. Display modes are the screen's; a caller without a screen sets its own.
StartupEnvironment StartupEnvironmentOfThisMachine(const QString& programFolder,
                                                   const QString& registryDirectory,
                                                   SeriesPreparation& preparation);
