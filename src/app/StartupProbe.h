#pragma once

// The benchmarks' view into a program (bench/startup.cpp, bench/series_footprint.cpp). Without
// the environment variables below nothing happens. Header-only, so that the benchmarks'
// minimal peer program measures itself with the very same code.
//
// VARNHOLT_BENCH_STARTUP=<ms>: the program prints
//   "window shown"                       when its main window is first shown,
//   "shown cpu-us <n> libraries <name> <name> ..."
//                                        right after: the processor time it has used so far
//                                        (all its threads) and the file names of the shared
//                                        libraries it has mapped,
//   "other window shown: <title>"        whenever another top-level window is shown,
//   "rss <kB> tree <kB> processes <n>"   that many milliseconds after the first line: its own
//                                        resident memory and that of itself and all its
//                                        descendants (the news window's process and the
//                                        browser's helpers), and how many processes they are,
// and then quits.
// VARNHOLT_BENCH_SERIES=<ms>: that many milliseconds after the main window is shown, its
// "Run benchmark" button (the child named BenchButton) is clicked, as the user would.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <cstdio>

class StartupProbe : public QObject {
public:
    static void Install(QWidget* window) {
        bool ok = false;
        const int idleMs = qEnvironmentVariableIntValue("VARNHOLT_BENCH_STARTUP", &ok);
        const int seriesMs = qEnvironmentVariableIntValue("VARNHOLT_BENCH_SERIES");
        if ((!ok || idleMs < 0) && seriesMs <= 0)
            return;
        auto* probe = new StartupProbe(window, ok ? idleMs : -1, seriesMs);
        window->installEventFilter(probe);
        if (probe->idleMs_ >= 0)
            qApp->installEventFilter(probe);
    }

    // Resident memory of a process in kB, 0 when it is gone.
    static qint64 ResidentKb(qint64 pid) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        return 0;
    }

    // Every process below `root`, `root` not included.
    static QList<qint64> Descendants(qint64 root) {
        QHash<qint64, QList<qint64>> children;
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString& entry : entries) {
            bool numeric = false;
            const qint64 pid = entry.toLongLong(&numeric);
            if (!numeric)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // The name in parentheses may hold blanks; the parent pid follows the state.
            const QByteArray text = stat.readAll();
            const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (rest.size() > 1)
                children[rest[1].toLongLong()].append(pid);
        }
        QList<qint64> found;
        QList<qint64> pending = children.value(root);
        while (!pending.isEmpty()) {
            const qint64 pid = pending.takeLast();
            found.append(pid);
            pending += children.value(pid);
        }
        return found;
    }

    // Resident memory of a process and all its descendants, in kB.
    static qint64 TreeResidentKb(qint64 root) {
        qint64 total = ResidentKb(root);
        for (qint64 pid : Descendants(root))
            total += ResidentKb(pid);
        return total;
    }

    // Processor time a process has used, all its threads, in nanoseconds.
    static qint64 CpuNs(qint64 pid) {
        qint64 total = 0;
        const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
            if (stat.open(QIODevice::ReadOnly))
                total += stat.readAll().split(' ').value(0).toLongLong();
        }
        return total;
    }

    // The shared libraries a process has mapped, by path.
    static QSet<QByteArray> MappedLibraries(qint64 pid) {
        QSet<QByteArray> found;
        QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
        if (!maps.open(QIODevice::ReadOnly))
            return found;
        for (const QByteArray& line : maps.readAll().split('\n')) {
            const qsizetype path = line.indexOf('/');
            if (path >= 0 && (line.endsWith(".so") || line.contains(".so.")))
                found.insert(line.mid(path));
        }
        return found;
    }

private:
    StartupProbe(QWidget* window, int idleMs, int seriesMs)
        : QObject(window), window_(window), idleMs_(idleMs), seriesMs_(seriesMs) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show)
            return QObject::eventFilter(watched, event);
        if (watched == window_ && !shown_) {
            shown_ = true;
            if (idleMs_ >= 0)
                ReportShown();
            if (seriesMs_ > 0)
                QTimer::singleShot(seriesMs_, this, [this] {
                    if (auto* run = window_->findChild<QAbstractButton*>("BenchButton"))
                        run->click();
                });
        } else if (watched != window_ && watched->isWidgetType() &&
                   static_cast<QWidget*>(watched)->isWindow()) {
            std::printf("other window shown: %s\n",
                        qPrintable(static_cast<QWidget*>(watched)->windowTitle()));
            std::fflush(stdout);
        }
        return QObject::eventFilter(watched, event);
    }

    void ReportShown() {
        std::puts("window shown");
        std::fflush(stdout);
        const qint64 self = QCoreApplication::applicationPid();
        const qint64 cpuNs = CpuNs(self);
        QByteArray names;
        for (const QByteArray& library : MappedLibraries(self))
            names += ' ' + library.mid(library.lastIndexOf('/') + 1);
        std::printf("shown cpu-us %lld libraries%s\n", static_cast<long long>(cpuNs / 1000),
                    names.constData());
        std::fflush(stdout);
        QTimer::singleShot(idleMs_, this, [self] {
            std::printf("rss %lld tree %lld processes %lld\n",
                        static_cast<long long>(ResidentKb(self)),
                        static_cast<long long>(TreeResidentKb(self)),
                        static_cast<long long>(Descendants(self).size() + 1));
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }

    QPointer<QWidget> window_;
    int idleMs_;
    int seriesMs_;
    bool shown_ = false;
};
