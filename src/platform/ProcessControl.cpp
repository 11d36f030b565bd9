#include "platform/ProcessControl.h"

#include <QFile>
#include <climits>
#include <csignal>
#include <unistd.h>

namespace platform {

QString ProcessExecutablePath(qint64 pid) {
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    if (n <= 0 || n == static_cast<ssize_t>(sizeof target))
        return {};
    return QFile::decodeName(QByteArray(target, static_cast<qsizetype>(n)));
}

bool TerminateProcess(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGTERM) == 0;
}

} // namespace platform
