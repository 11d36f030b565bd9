#pragma once

#include "platform/Dialogs.h"

#include <QString>
#include <functional>

// A copy that a package installed is updated by the package manager: the update check there
// only says so, downloads nothing and never starts the upgrade helper.
inline constexpr char PackageUpdatesText[] =
    "This copy of Quillon Varnholt is updated by your package manager.";

// What "Check for newer version" does: in a packaged copy the message above, else `check`.
std::function<void()> UpdateCheckAction(bool packaged, Dialogs& dialogs,
                                        std::function<void()> check);
