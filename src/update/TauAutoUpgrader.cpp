#include "update/TauAutoUpgrader.h"

#include "platform/Errors.h"
#include "platform/FileAttributes.h"
#include "platform/Process.h"
#include "platform/Shell.h"
#include "update/UpgraderMessages.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <QUrl>

namespace {

QString Title() {
    return QString::fromLatin1(UpgraderApplicationTitle);
}

QString AsFolder(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

} // namespace

TauAutoUpgrader::TauAutoUpgrader(QObject* parent) : QObject(parent) {
    VersionDate = QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
    ProgramPath = QCoreApplication::applicationFilePath();
    AppFolder = AsFolder(QFileInfo(ProgramPath).absolutePath());
    TempFolder = CurrentUpgradeFolders(AppFolder).TempFolder;
    CloseApplication = [] { QCoreApplication::quit(); };
    QFile::remove(TempFolder + QLatin1StringView(UpgradeHelperFileName));
    InstallHandlers();
}

TauAutoUpgrader::~TauAutoUpgrader() {
    if (wizard_) {
        wizard_->OnCancelConfirmed = nullptr;
        wizard_->OnFinished = nullptr;
    }
    if (checkWait_)
        checkWait_->quit();
}

void TauAutoUpgrader::SetRestartParams(const QString& params) {
    restartParams_ = params.isEmpty() ? QStringLiteral(" ") : params;
}

void TauAutoUpgrader::SetWizardView(UpgradeWizardView* view) {
    wizard_ = view;
    if (!wizard_)
        return;
    wizard_->OnCancelConfirmed = [this] { CancelUpgrade(); };
    wizard_->OnFinished = [this] { EndPageClosed(); };
}

bool TauAutoUpgrader::RunUpdateCheck(bool checkOnly) {
    checkOnly_ = checkOnly;
    aborted_ = false;
    autoCheck_ = false;
    if (!Busy()) {
        infoMode_ = true;
        updateAvailable_ = false;
        http_.CacheOptions = CacheOptions | coPragmaNoCache;
        if (http_.StartTransfer(InfoFileURL, QString()) && checkOnly) {
            QEventLoop wait;
            checkWait_ = &wait;
            connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &wait,
                    &QEventLoop::quit);
            wait.exec();
            checkWait_ = nullptr;
        }
    }
    checkOnly_ = false;
    return updateAvailable_;
}

void TauAutoUpgrader::DecisionDone() {
    if (checkWait_)
        checkWait_->quit();
}

// The client's outcome handlers run while its transfer still counts as active; everything
// that may start another transfer or open a modal box goes to the next turn of the loop.
void TauAutoUpgrader::InstallHandlers() {
    http_.HeaderInfoHandler = [this](const TauHeaderInfo& info, bool& continueTransfer) {
        if (infoMode_)
            return;
        lastModified_ = info.LastModified;
        if (WizardOpen())
            wizard_->SetFileSize(FileSizeText(info.ContentLength, QLocale()));
        bool go = continueTransfer;
        if (MiscFilesUpgrade == mfuOnlyIfSizeDifferent && info.ContentLength != 0 &&
            files_.size() > 1 &&
            QFileInfo(currentTarget_)
                    .fileName()
                    .compare(QFileInfo(ProgramPath).fileName(), Qt::CaseInsensitive) != 0 &&
            QFileInfo::exists(currentTarget_))
            go = info.ContentLength != QFileInfo(currentTarget_).size();
        if (OnFileStart)
            OnFileStart(currentUrl_, info.ContentLength, info.LastModified, go);
        continueTransfer = go;
    };
    http_.ProgressHandler = [this](const QString&, qint64 contentLength, qint64 bytesRead,
                                   const ProgressFigures& figures, const QByteArray*) {
        if (infoMode_)
            return;
        const int total =
            TotalPercentsDone(index_, static_cast<int>(files_.size()), figures.percentDone);
        if (OnProgress)
            OnProgress(currentUrl_, contentLength, bytesRead, figures.elapsedSeconds,
                       figures.estimatedSecondsLeft, figures.percentDone, total,
                       figures.transferRate);
        if (WizardOpen()) {
            wizard_->SetProgress(figures.percentDone, total);
            wizard_->SetTransferRate(TransferRateText(figures.transferRate, QLocale()));
            wizard_->SetEstimatedTime(EstimatedTimeText(figures.estimatedSecondsLeft));
        }
    };
    http_.DoneHandler = [this](const QString&, const QByteArray* output, qint64) {
        if (infoMode_) {
            const QByteArray body = output ? *output : http_.MemoryOutput();
            QTimer::singleShot(0, this, [this, body] { InfoFileArrived(body); });
            return;
        }
        QTimer::singleShot(0, this, [this] {
            if (lastModified_.isValid()) {
                QFile file(currentDownload_);
                if (file.open(QIODevice::ReadWrite))
                    file.setFileTime(lastModified_, QFileDevice::FileModificationTime);
            }
            if (OnFileDone)
                OnFileDone(currentDownload_);
            DownloadLoop(false);
        });
    };
    http_.SkippedHandler = [this] {
        if (!infoMode_)
            QTimer::singleShot(0, this, [this] { DownloadLoop(false); });
    };
    http_.HTTPErrorHandler = [this](int statusCode, const QByteArray*) {
        QTimer::singleShot(0, this, [this, statusCode] {
            if (!infoMode_) {
                LostFile(statusCode);
                return;
            }
            infoMode_ = false;
            DecisionDone();
            if (OnNoInfoFile)
                OnNoInfoFile();
            if ((ShowMessages & mNoInfoFile) && prompts_)
                prompts_->ShowError(UpgraderMessages(25));
        });
    };
    http_.ConnLostHandler = [this](const QString&, const QByteArray*, qint64, qint64) {
        QTimer::singleShot(0, this, [this] { TransferBroken(false); });
    };
    http_.HostUnreachableHandler = [this] {
        QTimer::singleShot(0, this, [this] { TransferBroken(true); });
    };
    // An output file that cannot be created would leave the wizard waiting for nothing: the
    // upgrade is cancelled with the reason shown.
    http_.OutputFailedHandler = [this](const QString& message) {
        QTimer::singleShot(0, this, [this, message] {
            if (prompts_)
                prompts_->ShowError(message);
            CancelUpgrade();
        });
    };
}

void TauAutoUpgrader::TransferBroken(bool hostUnreachable) {
    const QString url = infoMode_ ? InfoFileURL : currentUrl_;
    infoMode_ = false;
    downloading_ = false;
    DecisionDone();
    if (hostUnreachable) {
        const QString host = QUrl(url).host();
        if (OnHostUnreachable)
            OnHostUnreachable(url, host);
        if (!autoCheck_ && (ShowMessages & mHostUnreachable) && prompts_)
            prompts_->ShowError(HostUnreachableText(host));
    } else {
        if (OnConnLost)
            OnConnLost();
        if ((ShowMessages & mConnLost) && prompts_)
            prompts_->ShowError(UpgraderMessages(30));
    }
    http_.StopTransfer(false, false);
    CloseWizard();
}

void TauAutoUpgrader::InfoFileArrived(const QByteArray& body) {
    infoMode_ = false;
    const UpdateInfo info = ParseUpdateInfo(InfoText(body));
    files_ = info.Files;
    const VersionCheck check{VersionControl, VersionNumber, VersionDate, QDate::currentDate()};
    updateAvailable_ = UpdateAvailable(info, check);
    if (!updateAvailable_) {
        DecisionDone();
        if (OnNoUpdateAvailable)
            OnNoUpdateAvailable();
        if (!autoCheck_ && (ShowMessages & mNoUpdateAvailable) && prompts_)
            prompts_->ShowInformation(UpgraderMessages(24));
        return;
    }
    upgradeMsg_ = info.UpgradeMsg;
    upgradeMethod_ = info.UpgradeMethod;
    bool canUpgrade = true;
    if (OnBeginUpgrade)
        OnBeginUpgrade(upgradeMsg_, upgradeMethod_, files_, canUpgrade);
    updateAvailable_ = canUpgrade;
    if (checkOnly_) {
        DecisionDone();
        return;
    }
    DecisionDone();
    if (!updateAvailable_ ||
        ((ShowMessages & mAskUpgrade) &&
         !(prompts_ && prompts_->AskUpgrade(AskUpgradeText(Title(), upgradeMsg_))))) {
        if (OnLaterUpgrade)
            OnLaterUpgrade();
        return;
    }
    if (upgradeMethod_ == umRedirectToURL) {
        OpenBrowser(files_.first());
        return;
    }
    DownloadLoop(true);
}

// The desktop's handler for web addresses is the user's browser.
void TauAutoUpgrader::OpenBrowser(const QString& url) {
    const QString full =
        url.contains(QStringLiteral("://")) ? url : QStringLiteral("http://") + url;
    if (shell_)
        shell_->open(full);
}

void TauAutoUpgrader::DownloadLoop(bool first) {
    if (first) {
        infoMode_ = false;
        downloading_ = true;
        finished_ = false;
        endPage_ = false;
        index_ = 0;
        if (Wizard.Enabled && wizard_)
            wizard_->Open(Wizard);
    } else {
        ++index_;
    }
    if (aborted_)
        return;
    const int count = static_cast<int>(files_.size());
    if (index_ < count) {
        UpgradeFolders folders = CurrentUpgradeFolders(AppFolder);
        folders.TempFolder = TempFolder;
        const FileEntryTarget target = ResolveFileEntry(files_[index_], folders);
        if (WizardOpen()) {
            wizard_->SetFileUrl(target.Url);
            wizard_->SetAllDownloading(DownloadingText(index_ + 1, count));
        }
        files_[index_] = target.Entry;
        if (target.Named)
            QDir().mkpath(QFileInfo(target.Target).absolutePath());
        currentUrl_ = target.Url;
        currentTarget_ = target.Target;
        currentDownload_ = target.DownloadPath;
        lastModified_ = QDateTime();
        http_.CacheOptions = CacheOptions;
        // Hidden and temporary until the helper puts the file in its place.
        http_.OutputFileAttributes = {atrHidden | atrTemporary, atrHidden | atrTemporary};
        http_.StartTransfer(currentUrl_, currentDownload_);
        return;
    }
    if (WizardOpen()) {
        endPage_ = true;
        wizard_->ShowEndPage(UpgradeCompletedText(Title()));
        return; // EndPageClosed or CancelUpgrade goes on
    }
    FinishUpgrade();
}

void TauAutoUpgrader::EndPageClosed() {
    if (!endPage_ || aborted_)
        return;
    endPage_ = false;
    FinishUpgrade();
}

void TauAutoUpgrader::FinishUpgrade() {
    finished_ = true;
    downloading_ = false;
    bool restart = true;
    if (OnEndUpgrade)
        OnEndUpgrade(restart);
    if (restart)
        RestartThroughHelper();
}

void TauAutoUpgrader::LostFile(int statusCode) {
    bool continueUpgrade = false;
    if (OnLostFile)
        OnLostFile(currentUrl_, statusCode, continueUpgrade);
    if (ShowMessages & mLostFile)
        continueUpgrade = prompts_ && prompts_->AskYesNoWarning(LostFileCaption(statusCode),
                                                                LostFileText(currentUrl_));
    if (continueUpgrade)
        DownloadLoop(false);
    else
        CancelUpgrade();
}

void TauAutoUpgrader::CancelUpgrade() {
    aborted_ = true;
    endPage_ = false;
    downloading_ = false;
    http_.StopTransfer(false, false);
    CloseWizard();
    DeleteDownloadsInAppFolder();
    if (OnAborted)
        OnAborted();
}

void TauAutoUpgrader::CloseWizard() {
    if (WizardOpen())
        wizard_->Close();
}

void TauAutoUpgrader::DeleteDownloadsInAppFolder() {
    QDir folder(AppFolder);
    const QStringList found =
        folder.entryList({QStringLiteral("*") + QLatin1StringView(DownloadSuffix)},
                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : found)
        folder.remove(name);
}

void TauAutoUpgrader::RestartThroughHelper() {
    if (!finished_)
        DeleteDownloadsInAppFolder();

    // A helper that cannot be written is still started: an older copy may be there.
    const QString helper = TempFolder + QLatin1StringView(UpgradeHelperFileName);
    QFile::remove(helper);
    QFile source(HelperSource);
    QFile out(helper);
    if (source.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly)) {
        out.write(source.readAll());
        out.close();
        out.setPermissions(out.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
        platform::SetFileAttributes(helper, platform::DosAttribute::Temporary);
    }

    const QString queue = QueueFileText(files_);
    if (!queue.isEmpty()) {
        QFile queueFile(TempFolder + QLatin1StringView(UpgradeQueueFileName));
        if (queueFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            queueFile.write(queue.toUtf8());
    }

    SpawnRequest request;
    request.commandLine = HelperCommandLine(helper, ProgramPath, restartParams_, upgradeMethod_);
    // The helper outlives the program: its own session keeps it out of the program's end.
    request.newSession = true;
    try {
        spawnProcess(request);
    } catch (const OsError&) {
        // Nothing to do about it: the program closes either way.
    }

    if (OnDoOwnCloseAppMethod)
        OnDoOwnCloseAppMethod();
    else if (CloseApplication)
        CloseApplication();
}
