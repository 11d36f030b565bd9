#pragma once

#include <QString>
#include <optional>

namespace platform {

// Whether a new file can be made in `folder`: one is created (never through a link) and removed
// again, so a read-only file system or missing rights are found also where the permission bits
// do not tell (as root). Nothing when it can, else the system's reason.
std::optional<QString> NewFileRefusedIn(const QString& folder);

// Whether the results folder can take the report, before a series is started: nothing when it
// can, else the message for the user, saying which folder and why.
std::optional<QString> ResultsFolderRefused(const QString& folder);

} // namespace platform
