#pragma once

#include "game/GameDiscovery.h"
#include "game/GamePaths.h"
#include "game/SettingsStore.h"
#include "model/BenchmarkSettings.h"
#include "model/DisplayModeList.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

// What start-up needs from outside the store.
struct StartupEnvironment {
    QString programFolder; // ends with "/"
    // Where the display modes come from; the list is built when start-up reaches it.
    DisplayModeSource displayModes = platform::ReadDisplayModes;
    GameSearch searchGame;
    // The recovery of a configuration script left behind by an unfinished series; run after
    // the options are loaded, with the discovered folders.
    std::function<void(const GamePaths&)> checkLeftoverConfig;
    QString registryDirectory = registryDir();
    // Where today's Steam is looked for once the stored Steam path has found nothing; the
    // default looks nowhere.
    SteamPlaces steamPlaces;
};

// What the window applies after start-up: the options, which resolution items are enabled,
// whether the custom demo path controls are enabled, and the folders found.
struct StartupResult {
    // Set when start-up stopped at a key check: a key missing, or its store file damaged or
    // unreadable (the store's own message then).
    QString failureMessage;
    BenchmarkSettings settings;
    std::array<bool, FixedSlotCount> resolutionEnabled{};
    bool customDemoControlsEnabled = false;
    GamePaths paths;
    // Damaged Steam files met by the discovery, one message each for the user.
    QStringList discoveryProblems;

    bool loaded() const { return failureMessage.isEmpty(); }
};

// The start-up load, from the key checks on, in the program's fixed order, with its
// write-backs into the program key.
StartupResult LoadSettings(SettingsStore& store, const StartupEnvironment& environment);
