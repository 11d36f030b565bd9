#pragma once

#include "game/OptionSaving.h"
#include "game/SettingsStore.h"
#include "model/BenchmarkSettings.h"
#include "platform/Dialogs.h"

#include <QString>
#include <optional>

// The demo group's change handler: stores the choice (the key is opened without testing for
// it first) and tells whether the custom demo path controls are enabled.
bool DemoChoiceChanged(SettingsStore& store, DemoKind kind);

// The filter of the custom demo's open dialog.
QString DemoFileFilter();

// The custom demo's browse button: shows the open dialog; a confirmed file is stored as
// "Demoname" and returned for the custom demo edit. Nullopt when the dialog was cancelled.
std::optional<QString> BrowseCustomDemo(Dialogs& dialogs, OptionSaving& saving);
