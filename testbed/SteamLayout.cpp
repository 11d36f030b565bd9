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

namespace {

QString placeDemoIn(const QString& episodicDir, const QString& name) {
    const QString path = episodicDir + name + QStringLiteral(".dem");
    QFile file(path);
    // The stand-in game looks only at the file's presence; the header is the real format's.
    const QByteArray bytes = QByteArray("HL2DEMO\0", 8) + "testbed recording\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write %1").arg(path));
    return path;
}

void writeText(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        fail(QStringLiteral("cannot write %1").arg(path));
}

void writeScript(const QString& path, const QByteArray& bytes) {
    if (QFileInfo::exists(path) && !QFile::remove(path))
        fail(QStringLiteral("cannot replace %1").arg(path));
    writeText(path, bytes);
    if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                         QFile::ExeOther))
        fail(QStringLiteral("cannot make %1 executable").arg(path));
}

QByteArray shellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return (QLatin1Char('\'') + quoted + QLatin1Char('\'')).toUtf8();
}

// Steam's own quoting: a backslash and a double quote are escaped.
QByteArray vdfQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return (QLatin1Char('"') + quoted + QLatin1Char('"')).toUtf8();
}

void makeLink(const QString& target, const QString& link) {
    makeFolder(QFileInfo(link).absolutePath());
    const QFileInfo existing(link);
    if (existing.isSymLink() && existing.symLinkTarget() == QFileInfo(target).absoluteFilePath())
        return;
    if ((existing.exists() || existing.isSymLink()) && !QFile::remove(link))
        fail(QStringLiteral("cannot replace %1").arg(link));
    if (!QFile::link(target, link))
        fail(QStringLiteral("cannot link %1 to %2").arg(link, target));
}

} // namespace

QString placeDemo(const SteamLayout& layout, const QString& name) {
    return placeDemoIn(layout.episodicDir, name);
}

QString placeDemo(const ModernSteamLayout& layout, const QString& name) {
    return placeDemoIn(layout.episodicDir, name);
}

ModernSteamLayout layOutModernSteam(const QString& dir, bool withDemo, const QString& standInDir,
                                    const QString& libraryName) {
    if (dir.isEmpty())
        fail(QStringLiteral("no folder given"));
    if (libraryName.isEmpty() || libraryName.contains(QLatin1Char('/')) ||
        libraryName == QLatin1String("home"))
        fail(QStringLiteral("not a library folder name: %1").arg(libraryName));
    const QString base = withSlash(QDir(dir).absolutePath());

    ModernSteamLayout layout;
    layout.home = base + QStringLiteral("home/");
    layout.steamRoot = layout.home + QLatin1String(kModernRootPath) + QLatin1Char('/');
    layout.steamScript = layout.steamRoot + QLatin1String(kSteamScriptName);
    layout.commandDir = layout.home + QStringLiteral("bin/");
    layout.steamCommand = layout.commandDir + QLatin1String(kSteamCommandName);
    layout.library = base + libraryName + QLatin1Char('/');
    layout.gameDir = layout.library + QLatin1String(kModernGameFolder) + QLatin1Char('/');
    layout.gameExe = layout.gameDir + QLatin1String(kModernGameExeName);
    layout.gameScript = layout.gameDir + QLatin1String(kModernGameScriptName);
    layout.episodicDir = layout.gameDir + QStringLiteral("episodic/");
    layout.cfgDir = layout.episodicDir + QStringLiteral("cfg/");

    const QString from = standInDir.isEmpty() ? executableFolder() : withSlash(standInDir);
    makeFolder(layout.steamRoot + QStringLiteral("steamapps"));
    makeFolder(layout.commandDir);
    makeFolder(layout.cfgDir);
    makeLink(layout.steamRoot, layout.home + QLatin1String(kSteamRootLink));
    makeLink(layout.steamRoot, layout.home + QStringLiteral(".steam/steam"));

    copyExecutable(from + QLatin1String(kSteamCommandName), layout.steamCommand);
    copyExecutable(from + QLatin1String(kModernGameExeName), layout.gameExe);
    writeScript(layout.steamScript,
                "#!/bin/sh\nexec " + shellQuoted(layout.steamCommand) + " \"$@\"\n");
    writeScript(layout.gameScript, "#!/bin/sh\nexec \"$(dirname \"$0\")/" +
                                       QByteArray(kModernGameExeName) + "\" \"$@\"\n");

    writeText(layout.steamRoot + QLatin1String(kLibraryListPath),
              "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t" +
                  vdfQuoted(layout.steamRoot.chopped(1)) +
                  "\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t}\n\t}\n"
                  "\t\"1\"\n\t{\n\t\t\"path\"\t\t" +
                  vdfQuoted(layout.library.chopped(1)) +
                  "\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"220\"\t\t"
                  "\"5000000000\"\n\t\t}\n\t}\n}\n");
    writeText(layout.library + QStringLiteral("steamapps/appmanifest_220.acf"),
              "\"AppState\"\n{\n\t\"appid\"\t\t\"220\"\n\t\"name\"\t\t\"Half-Life 2\"\n"
              "\t\"StateFlags\"\t\t\"4\"\n\t\"installdir\"\t\t\"Half-Life 2\"\n}\n");
    if (withDemo)
        placeDemo(layout);
    return layout;
}

namespace {

QList<QJsonObject> readGameLogIn(const QString& gameDir) {
    QFile file(gameDir + QLatin1String(kGameLogFileName));
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

} // namespace

QList<QJsonObject> readGameLog(const SteamLayout& layout) {
    return readGameLogIn(layout.gameDir);
}

QList<QJsonObject> readGameLog(const ModernSteamLayout& layout) {
    return readGameLogIn(layout.gameDir);
}

namespace {

qint64 clientOf(const QString& steamDir, const QString& exePath) {
    QFile file(steamDir + QLatin1String(kClientPidFileName));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.readAll();
    if (!text.endsWith('\n'))
        return 0; // not yet written in full
    const qint64 pid = text.trimmed().toLongLong();
    if (pid <= 0 || !processRunning(pid))
        return 0;
    const QString exe = readLink(QStringLiteral("/proc/%1/exe").arg(pid));
    return RunsProgramAt(exe, QFileInfo(exePath).canonicalFilePath()) ? pid : 0;
}

} // namespace

qint64 runningClient(const SteamLayout& layout) {
    return clientOf(layout.steamDir, layout.steamExe);
}

qint64 runningClient(const ModernSteamLayout& layout) {
    return clientOf(layout.steamRoot, layout.steamCommand);
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
