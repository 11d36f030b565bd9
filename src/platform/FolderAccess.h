#pragma once

#include <QString>

namespace platform {

// Whether this process may create and replace files in the folder: its permissions for this
// user, and a file system mounted read-only. False for a folder that is not there.
bool FolderWritable(const QString& folder);

} // namespace platform
