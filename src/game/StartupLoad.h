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

// The choices of a fresh set-up, for the boxes whose value was never stored: the game's own
// filtering and antialiasing, full HDR to go with the maximum detail level, 64 MB of heap (the
// item marked "default") and 60 Hz.
namespace FreshDefaults {
inline constexpr int Filtering = 6;    // "From System"
inline constexpr int Antialiasing = 7; // "From System"
inline constexpr int Hdr = 2;          // "Full (if available)"
inline constexpr int HeapSize = 0;     // "64 MB - default"
inline constexpr int Refresh = 0;      // "60 Hz"
} // namespace FreshDefaults

// What the window applies after start-up: the options, which resolution items are enabled,
// whether the custom demo path controls are enabled, and the folders found.
struct StartupResult {
    // Why start-up stopped at a key check.
    enum class Failure {
        None,
        ProgramKeyMissing,
        GameNotFound, // neither Steam nor a game folder stored as "Path"
        StoreUnreadable,
    };
    // Set when start-up stopped at a key check: a key missing, or its store file damaged or
    // unreadable (the store's own message then).
    QString failureMessage;
    Failure failure = Failure::None;
    // What was looked for and where, for the user, to go below the message; empty when the
    // message says it all.
    QString failureDetails;
    BenchmarkSettings settings;
    std::array<bool, FixedSlotCount> resolutionEnabled{};
    bool customDemoControlsEnabled = false;
    GamePaths paths;
    // Damaged Steam files met by the discovery, one message each for the user.
    QStringList discoveryProblems;

    bool loaded() const { return failureMessage.isEmpty(); }
};

// Where start-up looked for the program key and for the game, for the messages that say they
// are missing.
QString ProgramKeyMissingDetails(const QString& registryDirectory);
QString GameNotFoundDetails(const QString& registryDirectory, const SteamPlaces& places,
                            const QString& storedPath);
// The command that stores a game folder as "Path" by hand, for a user without the window: the
// "reg" beside the program, on the given store.
QString StorePathCommand(const QString& programFolder, const QString& registryDirectory);

// The start-up load, from the key checks on, in the program's fixed order, with its
// write-backs into the program key.
StartupResult LoadSettings(SettingsStore& store, const StartupEnvironment& environment);
