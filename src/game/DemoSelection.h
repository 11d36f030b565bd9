#pragma once

#include "game/SettingsStore.h"
#include "model/BenchmarkSettings.h"

// The demo group's change handler: stores the choice (the key is opened without testing for
// it first) and tells whether the custom demo path controls are enabled.
bool DemoChoiceChanged(SettingsStore& store, DemoKind kind);
