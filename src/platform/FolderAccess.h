#pragma once

#include <QString>

namespace platform {

// Whether this process may create and replace files in the folder: its permissions for this
// user, and a file system mounted read-only. A folder not there yet: whether it can be made.
bool FolderWritable(const QString& folder);

} // namespace platform
