#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A file system of its own, a few kilobytes large, to run out of space in: a tmpfs mounted on
// a temporary folder for the life of the object. Mounting needs root (or the right to mount);
// where it is refused, ready() is false and reason() says why, for the test to skip with.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes = 64) {
        if (!folder_.isValid()) {
            reason_ = QStringLiteral("no temporary folder");
            return;
        }
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=%1k,mode=0700").arg(kilobytes), QStringLiteral("tmpfs"),
                     folder_.path()});
        if (!mount.waitForFinished(30000) || mount.exitStatus() != QProcess::NormalExit ||
            mount.exitCode() != 0) {
            reason_ = QStringLiteral("a tmpfs cannot be mounted here (%1)")
                          .arg(QString::fromLocal8Bit(mount.readAllStandardError()).trimmed() +
                               mount.errorString());
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), folder_.path()});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool ready() const { return mounted_; }
    QString reason() const { return reason_; }
    // The mounted folder, with a trailing "/".
    QString path() const { return folder_.path() + QLatin1Char('/'); }

    // From now on nothing on the disk can be created, changed or removed.
    bool makeReadOnly() const {
        return QProcess::execute(
                   QStringLiteral("mount"),
                   {QStringLiteral("-o"), QStringLiteral("remount,ro"), folder_.path()}) == 0;
    }

    // Takes every free block, so that the next byte written anywhere on the disk fails.
    void fill() const {
        QFile filler(path() + QStringLiteral("filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
    }

    // The names in a folder of the disk (hidden ones too), the filler left out.
    QStringList entries(const QString& folder) const {
        QStringList names = QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        names.removeAll(QStringLiteral("filler"));
        return names;
    }

private:
    QTemporaryDir folder_;
    bool mounted_ = false;
    QString reason_;
};
