#pragma once

#include <QByteArray>
#include <optional>

namespace platform {

// Reads a whole /proc file (its size shows as 0, so it is read until its end), at most maxBytes
// of it. Nothing when it cannot be opened or read (the process has gone).
std::optional<QByteArray> ReadProcFile(const QByteArray& path, qsizetype maxBytes);

} // namespace platform
