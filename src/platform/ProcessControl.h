#pragma once

#include <QString>
#include <QtGlobal>

namespace platform {

// The executable file a process runs, as /proc/<pid>/exe names it; empty when it cannot be
// read (the process is gone, or belongs to someone we may not look at).
QString ProcessExecutablePath(qint64 pid);

// Asks a process to end (SIGTERM). False when it could not be asked.
bool TerminateProcess(qint64 pid);

} // namespace platform
