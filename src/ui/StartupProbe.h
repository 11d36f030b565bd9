#pragma once

// The start-up benchmark's view into a program (bench/startup.cpp). With the environment
// variable VARNHOLT_BENCH_STARTUP set to a number of milliseconds, the program prints
//   "window shown"                  when its main window is first shown,
//   "rss <kB> tree <kB>"            that many milliseconds later: its own resident memory and
//                                   that of itself and all its descendants (the browser's
//                                   helper processes), from /proc,
// and then quits. Without the variable nothing happens. Header-only, so that the benchmark's
// minimal peer program measures itself with the very same code.

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHash>
#include <QTimer>
#include <QWidget>
#include <cstdio>

class StartupProbe : public QObject {
public:
    static void Install(QWidget* window) {
        bool ok = false;
        const int idleMs = qEnvironmentVariableIntValue("VARNHOLT_BENCH_STARTUP", &ok);
        if (!ok || idleMs < 0)
            return;
        window->installEventFilter(new StartupProbe(window, idleMs));
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

    // Resident memory of a process and all its descendants, in kB.
    static qint64 TreeResidentKb(qint64 root) {
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
        qint64 total = 0;
        QList<qint64> pending{root};
        while (!pending.isEmpty()) {
            const qint64 pid = pending.takeLast();
            total += ResidentKb(pid);
            pending += children.value(pid);
        }
        return total;
    }

private:
    StartupProbe(QWidget* window, int idleMs) : QObject(window), idleMs_(idleMs) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !shown_) {
            shown_ = true;
            std::puts("window shown");
            std::fflush(stdout);
            QTimer::singleShot(idleMs_, watched, [] {
                const qint64 self = QCoreApplication::applicationPid();
                std::printf("rss %lld tree %lld\n", static_cast<long long>(ResidentKb(self)),
                            static_cast<long long>(TreeResidentKb(self)));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

    int idleMs_;
    bool shown_ = false;
};
