#pragma once

#include "platform/Dialogs.h"
#include "update/UpdateChecker.h"

// The program's update checker: this program's settings, and the window's answers to four of
// its outcomes.
namespace updater {

// The maker's information file.
inline constexpr char InfoFileURL[] = "http://quillon.example/benchmarks/update.txt";

// The maker's release key (Ed25519, base64; made with tools/signrelease, see docs/updates.md).
// Only a release manifest signed with its secret key is believed (see docs/updates.md).
inline constexpr char ReleasePublicKey[] = "AsZN4Gjp4O3e//Z2P8X/I9cyrlGtfn+rrGpEB2nLqVs=";

// The settings this program gives the checker; `versionNumber` is the program's own version.
void Configure(UpdateChecker& updater, const QString& versionNumber);

// A box for an aborted or postponed upgrade, for no update and for an unreachable host.
void ConnectHandlers(UpdateChecker& updater, Dialogs& dialogs);

// The Update button: no proxy, then the check.
void CheckForUpdate(UpdateChecker& updater);

} // namespace updater
