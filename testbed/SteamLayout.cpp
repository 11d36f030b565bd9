#include "SteamLayout.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QThread>
#include <csignal>
#include <stdexcept>

namespace testbed {

namespace {

[[noreturn]] void fail(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

QString withSlash(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

void makeFolder(const QString& path) {
    if (!QDir().mkpath(path))
        fail(QStringLiteral("cannot create folder %1").arg(path));
}

void copyExecutable(const QString& from, const QString& to) {
    if (!QFileInfo(from).isFile())
        fail(QStringLiteral("stand-in not found: %1").arg(from));
    // Removing first also works while an earlier copy is running.
    if (QFileInfo::exists(to) && !QFile::remove(to))
        fail(QStringLiteral("cannot replace %1").arg(to));
    if (!QFile::copy(from, to))
        fail(QStringLiteral("cannot copy %1 to %2").arg(from, to));
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (!QFile::setPermissions(to, mode))
        fail(QStringLiteral("cannot make %1 executable").arg(to));
}

QByteArray readProcFile(qint64 pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

SteamLayout layOutSteamFolder(const QString& steamDir, const QString& account, bool withDemo,
                              const QString& standInDir) {
    if (steamDir.isEmpty())
        fail(QStringLiteral("no Steam folder given"));
    if (account.isEmpty() || account.contains(QLatin1Char('/')) || account == QLatin1String(".") ||
        account == QLatin1String(".."))
        fail(QStringLiteral("not an account folder name: %1").arg(account));

    SteamLayout layout;
    layout.steamDir = withSlash(QDir(steamDir).absolutePath());
    layout.steamExe = layout.steamDir + QLatin1String(kSteamExeName);
    layout.gameDir = layout.steamDir + QStringLiteral("steamapps/") + account + QLatin1Char('/') +
                     QLatin1String(kGameFolderName) + QLatin1Char('/');
    layout.gameExe = layout.gameDir + QLatin1String(kGameExeName);
    layout.episodicDir = layout.gameDir + QStringLiteral("episodic/");
    layout.cfgDir = layout.episodicDir + QStringLiteral("cfg/");

    const QString from = standInDir.isEmpty() ? executableFolder() : withSlash(standInDir);
    makeFolder(layout.cfgDir);
    copyExecutable(from + QLatin1String(kSteamExeName), layout.steamExe);
    copyExecutable(from + QLatin1String(kGameExeName), layout.gameExe);
    if (withDemo)
        placeDemo(layout);
    return layout;
}

QString placeDemo(const SteamLayout& layout, const QString& name) {
    const QString path = layout.episodicDir + name + QStringLiteral(".dem");
    QFile file(path);
    // The stand-in game looks only at the file's presence; the header is the real format's.
    const QByteArray bytes = QByteArray("HL2DEMO\0", 8) + "testbed recording\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write %1").arg(path));
    return path;
}

QList<QJsonObject> readGameLog(const SteamLayout& layout) {
    QFile file(layout.gameDir + QLatin1String(kGameLogFileName));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(file.fileName()));
    QList<QJsonObject> starts;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            fail(QStringLiteral("not a game log line: %1").arg(QString::fromUtf8(line)));
        starts.append(doc.object());
    }
    return starts;
}

qint64 runningClient(const SteamLayout& layout) {
    QFile file(layout.steamDir + QLatin1String(kClientPidFileName));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.readAll();
    if (!text.endsWith('\n'))
        return 0; // not yet written in full
    const qint64 pid = text.trimmed().toLongLong();
    if (pid <= 0 || !processRunning(pid))
        return 0;
    const QString exe = readLink(QStringLiteral("/proc/%1/exe").arg(pid));
    return exe == QFileInfo(layout.steamExe).canonicalFilePath() ? pid : 0;
}

bool processRunning(qint64 pid) {
    const QByteArray stat = readProcFile(pid, "stat");
    // The state follows the command name, which is in parentheses and may hold anything.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return false;
    const char state = stat[close + 2];
    return state != 'Z' && state != 'X';
}

QStringList processArguments(qint64 pid) {
    QByteArray cmdline = readProcFile(pid, "cmdline");
    if (cmdline.endsWith('\0'))
        cmdline.chop(1);
    QStringList args;
    if (cmdline.isEmpty())
        return args;
    for (const QByteArray& arg : cmdline.split('\0'))
        args.append(QString::fromLocal8Bit(arg));
    return args;
}

QList<qint64> standInProcesses(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString root = withSlash(canonical.isEmpty() ? QDir(folder).absolutePath() : canonical);
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        // The link of a deleted executable reads "<path> (deleted)": still below the folder.
        const QString exe = readLink(QStringLiteral("/proc/%1/exe").arg(pid));
        if (exe.startsWith(root) && processRunning(pid))
            found.append(pid);
    }
    return found;
}

int stopStandIns(const QString& folder) {
    QList<qint64> seen;
    QDeadlineTimer deadline(5000);
    // Repeated, because a launcher being killed may just have started a game.
    for (QList<qint64> live = standInProcesses(folder); !live.isEmpty();
         live = standInProcesses(folder)) {
        for (qint64 pid : live) {
            if (!seen.contains(pid))
                seen.append(pid);
            ::kill(pid_t(pid), SIGKILL);
        }
        if (deadline.hasExpired())
            fail(QStringLiteral("stand-ins below %1 do not end").arg(folder));
        QThread::msleep(10);
    }
    return int(seen.size());
}

} // namespace testbed
