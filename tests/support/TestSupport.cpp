#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <stdexcept>

namespace testsupport {

namespace {

QByteArray procFile(const QString& pid, const char* name) {
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid, QLatin1String(name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool alive(const QString& pid) {
    const QByteArray stat = procFile(pid, "stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return false;
    return stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

} // namespace

ChildrenBelow::ChildrenBelow(const QString& folder)
    : root_(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) + QLatin1Char('/')) {}

ChildrenBelow::~ChildrenBelow() {
    endAll();
}

QList<qint64> ChildrenBelow::running() const {
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == QCoreApplication::applicationPid())
            continue;
        const QList<QByteArray> args = procFile(entry, "cmdline").split('\0');
        const auto below = [&](int i) {
            return args.size() > i && QFile::decodeName(args[i]).startsWith(root_);
        };
        if ((below(0) || below(1)) && alive(entry))
            found.append(pid);
    }
    return found;
}

int ChildrenBelow::endAll() {
    QList<qint64> seen;
    QDeadlineTimer deadline(10000);
    for (QList<qint64> live = running(); !live.isEmpty() && !deadline.hasExpired();
         live = running()) {
        for (const qint64 pid : live) {
            if (!seen.contains(pid))
                seen.append(pid);
            ::kill(pid_t(pid), SIGKILL);
        }
        QThread::msleep(10);
    }
    return int(seen.size());
}

QString binDir() {
    return QStringLiteral(VARNHOLT_BIN_DIR);
}

QString binPath(const QString& name) {
    return binDir() + QLatin1Char('/') + name;
}

QString sourceDir() {
    return QStringLiteral(VARNHOLT_SOURCE_DIR);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

std::vector<platform::ScreenSize> screenSizes(const QStringList& modes) {
    std::vector<platform::ScreenSize> sizes;
    for (const QString& mode : modes) {
        const QStringList parts = mode.split(QStringLiteral(" x "));
        sizes.push_back({parts.value(0).toInt(), parts.value(1).toInt()});
    }
    return sizes;
}

} // namespace testsupport
