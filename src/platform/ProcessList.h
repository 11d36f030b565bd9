#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <vector>

// The machine's processes as /proc shows them.
namespace platform {

struct ProcessEntry {
    qint64 pid = 0;
    QString name;    // the executable's file name, without folder
    qint64 uid = -1; // the user the process runs as (its real user id); -1 when unknown
};

// The name of a process: the last element of argv[0] (after "/" or "\", so a Windows path run
// under a compatibility layer gives its file name too), or `comm` when argv[0] gives none
// (kernel threads, a cleared command line). `cmdline` is /proc/<pid>/cmdline as read.
QString ExecutableFileName(const QByteArray& cmdline, const QByteArray& comm);

// The real user id from /proc/<pid>/status as read (its "Uid:" line); -1 when it has none.
qint64 RealUserId(const QByteArray& status);

// Every process of every user, in the order /proc lists them. Processes that end while the list is
// read are left out. Nothing when /proc itself cannot be read.
std::optional<std::vector<ProcessEntry>> ListProcesses();

// The same, for the processes whose name `wanted` takes only: cheaper where few are wanted, as
// only their user is read.
std::optional<std::vector<ProcessEntry>>
ListProcessesNamed(const std::function<bool(const QString&)>& wanted);

// Whether the process exists and has not ended: a zombie that its parent has not reaped yet
// counts as ended.
bool IsProcessAlive(qint64 pid);

} // namespace platform
