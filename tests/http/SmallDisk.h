#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A tmpfs of a few KiB mounted on a folder of its own, for writes that run out of room and for
// a folder that turns read-only. Mounting needs root (as the tests run here and in CI); where
// it is not permitted, why() says so and the test skips.
class SmallDisk {
public:
    explicit SmallDisk(int kib) {
        if (!dir_.isValid()) {
            why_ = QStringLiteral("no temporary folder");
            return;
        }
        mounted_ = Run({"mount", "-t", "tmpfs", "-o", QStringLiteral("size=%1k,mode=0700").arg(kib),
                        "tmpfs", dir_.path()});
    }
    ~SmallDisk() {
        if (mounted_)
            Run({"umount", "-l", dir_.path()});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    // Why the disk could not be had.
    QString why() const { return why_; }
    // The mount point, ending with "/".
    QString path() const { return dir_.path() + QLatin1Char('/'); }
    // From now on nothing on the disk can be created, changed or removed.
    bool makeReadOnly() { return Run({"mount", "-o", "remount,ro", dir_.path()}); }

private:
    bool Run(const QStringList& command) {
        QProcess process;
        process.start(command.first(), command.mid(1));
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            why_ = QStringLiteral("cannot %1 a tmpfs here (needs root): %2")
                       .arg(command.first(),
                            QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
            return false;
        }
        return true;
    }

    QTemporaryDir dir_;
    QString why_;
    bool mounted_ = false;
};
