#include "platform/ProcessLook.h"

#include "platform/ProcFile.h"
#include "platform/ProcessControl.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr qsizetype kMaxCommandLineBytes = 256 * 1024;

QString linkTarget(const QByteArray& link) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    if (n <= 0 || n == static_cast<ssize_t>(sizeof target))
        return {};
    return QFile::decodeName(QByteArray(target, static_cast<qsizetype>(n)));
}

} // namespace

QStringList CommandLineArguments(const QByteArray& cmdline, qsizetype maxArguments) {
    QStringList arguments;
    qsizetype begin = 0;
    while (begin < cmdline.size() && arguments.size() < maxArguments) {
        qsizetype end = cmdline.indexOf('\0', begin);
        if (end < 0)
            end = cmdline.size();
        arguments << QString::fromLocal8Bit(cmdline.mid(begin, end - begin));
        begin = end + 1;
    }
    return arguments;
}

std::optional<ProcessLook> LookAtProcess(qint64 pid) {
    if (pid <= 0)
        return std::nullopt;
    const QByteArray base = "/proc/" + QByteArray::number(pid);
    ProcessLook look;
    look.executable = ProcessExecutablePath(pid);
    if (look.executable.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> cmdline = ReadProcFile(base + "/cmdline", kMaxCommandLineBytes);
    if (!cmdline)
        return std::nullopt;
    look.arguments = CommandLineArguments(*cmdline);
    // Just after its exec the new program runs before its arguments are in place: nothing to
    // judge it by yet.
    if (look.arguments.isEmpty())
        return std::nullopt;
    look.workingFolder = linkTarget(base + "/cwd");
    return look;
}

} // namespace platform
