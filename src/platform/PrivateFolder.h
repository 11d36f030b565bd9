#pragma once

#include <QString>

// The program's temporary folder: one that no other user can enter, for the files the program
// later runs or reads back (the upgrade helper and its queue).
namespace platform {

// The first of "<runtimeDir>/varnholt/", "<tempRoot>/varnholt-<uid>/" and a new folder made by
// mkdtemp under `tempRoot` that is a real folder (not a link) owned by this user; it is created
// when missing and its mode made 0700. An empty `runtimeDir` is passed over, and so is a
// parent folder that others may write to without the sticky bit or that another user (not
// root) owns. Ends with "/"; empty when none can be had.
QString PrivateTempFolder(const QString& runtimeDir, const QString& tempRoot);

// The same for this process: $XDG_RUNTIME_DIR and Qt's temporary folder.
QString PrivateTempFolder();

// The private folder every copy of the program finds again, for what the copies share (the
// single-instance guard): the first two of the above, never a fresh one. Empty when neither
// can be had.
QString GuardFolder();

} // namespace platform
