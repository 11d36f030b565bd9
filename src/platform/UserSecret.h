#pragma once

#include <QString>

namespace platform {

// A random text only this user can read, kept in `file` (made with its folder when missing,
// mode 0600, never replaced once there): names that carry it cannot be made in advance by
// another user. Empty when `file` is not this user's own regular file that only the user may
// read, or cannot be made.
QString UserSecret(const QString& file);

// Where the program keeps that secret: below the user's home, beside the program's log.
QString UserSecretFile();

} // namespace platform
