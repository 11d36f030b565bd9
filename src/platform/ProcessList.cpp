#include "platform/ProcessList.h"

#include "platform/ProcFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <unistd.h>

namespace platform {

namespace {

// Files of /proc read whole; none of those read here is anywhere near this long.
constexpr qsizetype kMaxProcFileBytes = 1024 * 1024;

std::optional<QByteArray> readProcFile(const std::string& path) {
    return ReadProcFile(QByteArray::fromStdString(path), kMaxProcFileBytes);
}

bool isPidName(const char* name) {
    if (*name == '\0')
        return false;
    for (const char* c = name; *c != '\0'; ++c)
        if (*c < '0' || *c > '9')
            return false;
    return true;
}

} // namespace

QString ExecutableFileName(const QByteArray& cmdline, const QByteArray& comm) {
    const qsizetype end = cmdline.indexOf('\0');
    const QByteArray argv0 = end < 0 ? cmdline : cmdline.left(end);
    const qsizetype slash = std::max(argv0.lastIndexOf('/'), argv0.lastIndexOf('\\'));
    const QByteArray name = argv0.mid(slash + 1);
    if (!name.isEmpty())
        return QFile::decodeName(name);
    QByteArray fallback = comm;
    while (fallback.endsWith('\n'))
        fallback.chop(1);
    return QFile::decodeName(fallback);
}

qint64 RealUserId(const QByteArray& status) {
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
        bool ok = false;
        const qint64 uid = ids.value(0).toLongLong(&ok);
        return ok && uid >= 0 ? uid : -1;
    }
    return -1;
}

namespace {

// Every process whose name `wanted` takes; its user is read only for those, as the status is
// the dearest file to read.
std::optional<std::vector<ProcessEntry>>
listProcesses(const std::function<bool(const QString&)>& wanted) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return std::nullopt;
    std::vector<ProcessEntry> processes;
    bool failed = false;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(proc);
        if (entry == nullptr) {
            failed = errno != 0;
            break;
        }
        if (!isPidName(entry->d_name))
            continue;
        const std::string base = std::string("/proc/") + entry->d_name;
        const std::optional<QByteArray> cmdline = readProcFile(base + "/cmdline");
        if (!cmdline)
            continue;
        QString name = ExecutableFileName(*cmdline, {});
        if (name.isEmpty()) {
            const std::optional<QByteArray> comm = readProcFile(base + "/comm");
            if (!comm)
                continue;
            name = ExecutableFileName({}, *comm);
        }
        if (wanted && !wanted(name))
            continue;
        const std::optional<QByteArray> status = readProcFile(base + "/status");
        if (!status)
            continue;
        processes.push_back({QByteArray(entry->d_name).toLongLong(), name, RealUserId(*status)});
    }
    ::closedir(proc);
    if (failed)
        return std::nullopt;
    return processes;
}

} // namespace

std::optional<std::vector<ProcessEntry>> ListProcesses() {
    return listProcesses({});
}

std::optional<std::vector<ProcessEntry>>
ListProcessesNamed(const std::function<bool(const QString&)>& wanted) {
    return listProcesses(wanted);
}

bool IsProcessAlive(qint64 pid) {
    if (pid <= 0)
        return false;
    const std::optional<QByteArray> stat = readProcFile("/proc/" + std::to_string(pid) + "/stat");
    if (!stat)
        return false;
    // "pid (comm) S ...": comm may itself hold ")" and blanks, so the state follows the last ")".
    const qsizetype close = stat->lastIndexOf(')');
    if (close < 0 || close + 2 >= stat->size())
        return false;
    const char state = stat->at(close + 2);
    return state != 'Z' && state != 'X' && state != 'x';
}

} // namespace platform
