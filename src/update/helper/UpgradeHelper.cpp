#include "update/helper/UpgradeHelper.h"

#include "platform/CheckedFile.h"
#include "platform/Digest.h"
#include "platform/FileAttributes.h"
#include "platform/FileOps.h"
#include "update/UpgradePaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace {

// The largest download the helper checks: as large as a manifest may list.
constexpr qint64 HelperDownloadLimit = qint64(4) * 1024 * 1024 * 1024;

// Execute permission for whoever may read the file: a moved program must stay runnable.
void KeepRunnable(const QString& path) {
    QFileDevice::Permissions permissions =
        QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (permissions & QFileDevice::ReadGroup)
        permissions |= QFileDevice::ExeGroup;
    if (permissions & QFileDevice::ReadOther)
        permissions |= QFileDevice::ExeOther;
    QFile::setPermissions(path, permissions);
}

// Attributes after a move, and the execute permission a program needs.
void Settle(const QString& path, quint32 attributes, bool runnable) {
    platform::SetFileAttributes(path, attributes);
    if (runnable)
        KeepRunnable(path);
}

// A running program's file cannot be opened for writing (ETXTBSY), nor can one that a setup
// still holds; a file that is gone has nobody left to wait for.
bool Released(const QString& path) {
    if (!QFileInfo::exists(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    file.close();
    return true;
}

} // namespace

UpgradeHelper::UpgradeHelper(UpgradePlan plan, int pollIntervalMs, QObject* parent)
    : QObject(parent), plan_(std::move(plan)) {
    poll_.setInterval(pollIntervalMs);
    connect(&poll_, &QTimer::timeout, this, &UpgradeHelper::pollWait);
}

QString UpgradeHelper::QueuePath() {
    const QString told = qEnvironmentVariable(UpgradeQueueVariable);
    if (!told.isEmpty())
        return told;
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') +
           QLatin1StringView(UpgradeQueueFileName);
}

HelperFacts UpgradeHelper::GatherFacts(const QStringList& args, const QString& queuePath) {
    HelperFacts facts;
    facts.Args = args;
    facts.QueueFilePath = queuePath;
    // A queue says which files are replaced: only one the user's own program wrote counts.
    QString why;
    if (const std::optional<QByteArray> queue =
            platform::ReadOwnFile(queuePath, HelperQueueLimit, &why)) {
        facts.QueueText = QString::fromUtf8(*queue);
    } else if (QFileInfo::exists(queuePath) || QFileInfo(queuePath).isSymLink()) {
        facts.QueueRefused = true;
        qWarning("Upgrader: the queue %s is not used: %s", qPrintable(queuePath), qPrintable(why));
    }
    const std::optional<HelperCommand> command = ParseHelperCommand(args);
    if (!command)
        return facts;
    facts.ProgramExists = QFileInfo(command->ProgramPath).isFile();
    facts.OwnDownloaded =
        QFileInfo::exists(command->ProgramPath + QLatin1StringView(DownloadSuffix));
    const QString folder = command->Folder.isEmpty() ? QStringLiteral(".") : command->Folder;
    const QFileInfoList found =
        QDir(folder).entryInfoList({QStringLiteral("*") + QLatin1StringView(DownloadSuffix)},
                                   QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo& file : found)
        facts.Scan << ScannedFile{file.fileName(), file.isExecutable()};
    return facts;
}

void UpgradeHelper::run() {
    nextStep();
}

void UpgradeHelper::nextStep() {
    while (next_ < plan_.Steps.size()) {
        const HelperStep& step = plan_.Steps[next_++];
        if (step.Kind == HelperStepKind::WaitForEnd) {
            if (Released(step.Path))
                continue;
            waitingFor_ = step.Path;
            QThread::currentThread()->setPriority(QThread::IdlePriority);
            poll_.start();
            return;
        }
        carryOut(step);
    }
    Q_EMIT finished();
}

void UpgradeHelper::pollWait() {
    if (!Released(waitingFor_))
        return;
    poll_.stop();
    QThread::currentThread()->setPriority(QThread::NormalPriority);
    nextStep();
}

void UpgradeHelper::carryOut(const HelperStep& step) {
    switch (step.Kind) {
    case HelperStepKind::MoveQueued: {
        const bool wasExecutable = QFileInfo(step.Target).isExecutable();
        if (!platform::RenameReplacing(step.Path, step.Target))
            Settle(step.Target, platform::DosAttribute::Archive, wasExecutable);
        break;
    }
    case HelperStepKind::MoveVerified: {
        // The download is checked again here: whatever changed it since the program checked it
        // (or lies there in its place) is removed, never moved.
        const std::optional<QByteArray> digest =
            platform::Sha256OfOwnFile(step.Path, HelperDownloadLimit);
        if (!digest || *digest != step.Sha256) {
            qWarning("Upgrader: %s is not the file that was checked; it is removed",
                     qPrintable(step.Path));
            QFile::remove(step.Path);
            break;
        }
        const bool wasExecutable = QFileInfo(step.Target).isExecutable();
        if (!platform::RenameReplacing(step.Path, step.Target)) {
            const quint32 attributes =
                step.Hidden ? platform::DosAttribute::Hidden | platform::DosAttribute::Archive
                            : platform::DosAttribute::Archive;
            Settle(step.Target, attributes, step.Executable || wasExecutable);
        }
        break;
    }
    case HelperStepKind::ReplaceScanned: {
        // A download already moved (or gone) leaves its target alone: deleting the target
        // without anything to put in its place would lose the file.
        if (!QFileInfo(step.Path).isFile())
            break;
        const bool wasExecutable = QFileInfo(step.Target).isExecutable();
        platform::SetFileAttributes(step.Target, 0);
        QFile::remove(step.Target);
        // Failures are left as they are: the target keeps its content, the download stays.
        if (QFile::rename(step.Path, step.Target)) {
            const quint32 attributes =
                step.Hidden ? platform::DosAttribute::Hidden | platform::DosAttribute::Archive
                            : platform::DosAttribute::Archive;
            Settle(step.Target, attributes, step.Executable || wasExecutable);
        }
        break;
    }
    case HelperStepKind::Start:
        QProcess::startDetached(step.Path, step.Arguments);
        break;
    case HelperStepKind::Remove:
        QFile::remove(step.Path);
        break;
    case HelperStepKind::WaitForEnd:
        break;
    }
}
