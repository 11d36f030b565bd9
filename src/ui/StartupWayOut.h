#pragma once

#include "game/SettingsStore.h"
#include "game/StartupLoad.h"
#include "platform/Dialogs.h"

// A start-up that stopped at a key check: its message, what was looked for and where, and the
// way out. Without the game the user may choose its folder, which is stored as "Path"; true
// then, and start-up is tried again. False when the user leaves it or there is no way out here.
bool OfferStartupWayOut(const StartupResult& result, SettingsStore& store, Dialogs& dialogs);
