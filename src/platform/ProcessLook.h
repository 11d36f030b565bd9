#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace platform {

// What /proc tells of one process: the file it runs, its arguments and its working folder.
struct ProcessLook {
    QString executable;    // /proc/<pid>/exe
    QStringList arguments; // /proc/<pid>/cmdline, argv[0] first
    QString workingFolder; // /proc/<pid>/cwd
};

// The arguments of a command line as /proc/<pid>/cmdline holds them: each ended by a NUL (a last
// one without it counts too). At most `maxArguments` are kept.
QStringList CommandLineArguments(const QByteArray& cmdline, qsizetype maxArguments = 4096);

// Nothing when the process is gone, belongs to someone we may not look at, or shows no
// arguments (a kernel thread, or a program that has only just been loaded). The command line
// is read up to a limit, so a process cannot make us read without end.
std::optional<ProcessLook> LookAtProcess(qint64 pid);

} // namespace platform
