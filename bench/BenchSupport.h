#pragma once

// What the program benchmarks share: medians and timings, the demo set-up a program needs to
// come up (a private registry with the program key and Steam's key pointing at a stand-in Steam
// folder), and figures of a process tree read from /proc.

#include "SteamLayout.h"
#include "game/GameDiscovery.h"
#include "game/SettingsStore.h"
#include "platform/Registry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace bench {

inline double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

inline double millisecondsOf(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The machine's load average over the last minute, as the kernel reports it.
inline QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().split(' ').value(0))
                                          : QStringLiteral("?");
}

// What an installation and a Steam client leave behind, in `folder`: the program key and
// Steam's key pointing at a stand-in Steam folder with the game, plus the game's settings key.
// Without them the program stops at a message box before its window appears. Returns the
// environment to start the program in (Qt's offscreen platform unless QT_QPA_PLATFORM says
// otherwise).
inline std::optional<QProcessEnvironment> demoSetUp(const QString& binDir, const QString& folder,
                                                    testbed::SteamLayout* layoutOut = nullptr) {
    const QString registry = folder + QStringLiteral("/registry/");
    try {
        const testbed::SteamLayout layout = testbed::layOutSteamFolder(
            folder + QStringLiteral("/steam"), QStringLiteral("player"), false, binDir);
        Registry machine(RegRoot::LocalMachine, registry);
        Registry user(RegRoot::CurrentUser, registry);
        Registry users(RegRoot::Users, registry);
        if (!machine.openKey(SettingsStore::ProgramKey(), true) ||
            !user.openKey(SteamKeyPath(), true) ||
            !users.openKey(GameSettingsKey(CurrentUserSidText()), true))
            throw std::runtime_error("a registry key cannot be made");
        user.writeString(QStringLiteral("SteamPath"), layout.steamDir.chopped(1));
        if (layoutOut)
            *layoutOut = layout;
    } catch (const std::exception& error) {
        QTextStream(stderr) << "demo set-up in " << folder << " failed: " << error.what()
                            << Qt::endl;
        return std::nullopt;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VARNHOLT_REGISTRY_DIR"), registry);
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

inline QByteArray readProc(qint64 pid, const char* file) {
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The value of a "Name:   123 kB" line, in kB; 0 when missing.
inline qint64 kbField(const QByteArray& text, const QByteArray& name) {
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The largest resident size this process has had, in bytes.
inline qint64 peakResident() {
    return kbField(readProc(QCoreApplication::applicationPid(), "status"), "VmHWM") * 1024;
}

// Starts the peak anew at what the process holds now.
inline void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

struct Footprint {
    int processes = 0;
    qint64 rssKb = 0; // resident memory, summed
    qint64 pssKb = 0; // proportional share: shared pages divided among their users
    qint64 cpuNs = 0; // processor time so far, all threads
};

// Every process below `root`.
inline QList<qint64> descendants(qint64 root) {
    QHash<qint64, QList<qint64>> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        const QByteArray stat = numeric ? readProc(pid, "stat") : QByteArray();
        const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1)
            children[rest[1].toLongLong()].append(pid);
    }
    QList<qint64> found = children.value(root);
    for (qsizetype i = 0; i < found.size(); ++i)
        found += children.value(found[i]);
    return found;
}

// A process and its descendants, without those whose executable lies below `excludeBelow`
// (the stand-in Steam client and game).
inline Footprint treeFootprint(qint64 root, const QString& excludeBelow = QString()) {
    Footprint sum;
    for (qint64 pid : QList<qint64>{root} + descendants(root)) {
        if (!excludeBelow.isEmpty() &&
            testbed::readLink(QStringLiteral("/proc/%1/exe").arg(pid)).startsWith(excludeBelow))
            continue;
        const QByteArray status = readProc(pid, "status");
        if (status.isEmpty())
            continue;
        sum.processes += 1;
        sum.rssKb += kbField(status, "VmRSS");
        sum.pssKb += kbField(readProc(pid, "smaps_rollup"), "Pss");
        const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile schedstat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
            if (schedstat.open(QIODevice::ReadOnly))
                sum.cpuNs += schedstat.readAll().split(' ').value(0).toLongLong();
        }
    }
    return sum;
}

// Ends a started program and then whatever it started that outlives it (the browser engine's
// helpers end by themselves once it has gone).
inline void endProgram(QProcess& program) {
    const qint64 pid = program.processId();
    if (pid <= 0)
        return;
    const QList<qint64> below = descendants(pid);
    program.kill();
    program.waitForFinished();
    const auto alive = [](qint64 p) { return QFile::exists(QStringLiteral("/proc/%1").arg(p)); };
    QDeadlineTimer deadline(10000);
    while (std::any_of(below.begin(), below.end(), alive) && !deadline.hasExpired())
        QThread::msleep(50);
    for (qint64 p : below)
        if (alive(p))
            QProcess::execute(QStringLiteral("kill"),
                              {QStringLiteral("-KILL"), QString::number(p)});
}

// A private X server (Xvfb) with one screen of `size` ("1024x768"): the only display mode it
// reports, so the resolution of that size can be chosen. `display()` is empty when it could
// not be started.
class Xvfb {
public:
    explicit Xvfb(const QString& size) {
        // With -displayfd the server picks a free number and writes it once it accepts clients.
        server_.setStandardErrorFile(QProcess::nullDevice());
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-screen"), QStringLiteral("0"), size + QStringLiteral("x24"),
                       QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                       QStringLiteral("-displayfd"), QStringLiteral("1")});
        if (server_.waitForReadyRead(15000)) {
            const QByteArray number = server_.readLine().trimmed();
            if (!number.isEmpty())
                display_ = QStringLiteral(":") + QString::fromLatin1(number);
        }
    }
    ~Xvfb() {
        server_.terminate();
        if (!server_.waitForFinished(5000))
            server_.kill();
        server_.waitForFinished(5000);
    }
    const QString& display() const { return display_; }

private:
    QProcess server_;
    QString display_;
};

} // namespace bench
