#include "update/TauAutoUpgrader.h"

#include "platform/CheckedFile.h"
#include "platform/Errors.h"
#include "platform/FileAttributes.h"
#include "platform/NetworkFacts.h"
#include "platform/PrivateFolder.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Signature.h"
#include "update/HttpUrl.h"
#include "update/UpgraderMessages.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcessEnvironment>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace {

QString Title() {
    return QString::fromLatin1(UpgraderApplicationTitle);
}

QString AsFolder(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

// The remote access service's "Remote Connection" value, when it can be read.
std::optional<qint32> RemoteConnectionValue(const QString& registryDir) {
    try {
        Registry key(RegRoot::LocalMachine, registryDir);
        if (!key.openKey(QStringLiteral("System\\CurrentControlSet\\Services\\RemoteAccess"),
                         false))
            return std::nullopt;
        const QString name = QStringLiteral("Remote Connection");
        switch (key.valueType(name).value_or(RegValueType::String)) {
        case RegValueType::DWord:
            return key.readInteger(name);
        case RegValueType::Binary: {
            const QByteArray bytes = key.readBinary(name);
            if (bytes.size() < 4)
                return std::nullopt;
            return qint32(quint8(bytes[0]) | quint8(bytes[1]) << 8 | quint8(bytes[2]) << 16 |
                          quint32(quint8(bytes[3])) << 24);
        }
        default:
            return std::nullopt;
        }
    } catch (const AppError&) {
        return std::nullopt; // a damaged store tells nothing
    }
}

} // namespace

bool OnlineByRule(std::optional<qint32> remoteConnection, const QStringList& hostAddresses) {
    if (remoteConnection)
        return *remoteConnection == 1;
    return !hostAddresses.isEmpty() && hostAddresses.last() != QLatin1String("127.0.0.1");
}

bool ComputerIsOnline(const QString& registryDir) {
    const std::optional<qint32> remote = RemoteConnectionValue(registryDir);
    return OnlineByRule(remote, remote ? QStringList() : platform::LocalHostAddresses());
}

QString ProgramTempFolder(const QString& appFolder) {
    const QString folder = platform::PrivateTempFolder();
    return folder.isEmpty() ? appFolder : folder;
}

TauAutoUpgrader::TauAutoUpgrader(QObject* parent) : QObject(parent) {
    VersionDate = QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
    ProgramPath = QCoreApplication::applicationFilePath();
    AppFolder = AsFolder(QFileInfo(ProgramPath).absolutePath());
    TempFolder = ProgramTempFolder(AppFolder);
    CloseApplication = [] { QCoreApplication::quit(); };
    IsOnline = [] { return ComputerIsOnline(registryDir()); };
    QFile::remove(TempFolder + QLatin1StringView(UpgradeHelperFileName));
    memoryLimit_ = http_.MemoryLimit;
    autoCheckTimer_.setSingleShot(false);
    connect(&autoCheckTimer_, &QTimer::timeout, this, &TauAutoUpgrader::AutoCheckTimerFired);
    InstallHandlers();
}

void TauAutoUpgrader::Loaded(const QStringList& arguments) {
    if (OnAfterRestart && arguments.size() > 1 && arguments.at(1) == restartParams_)
        OnAfterRestart();
}

void TauAutoUpgrader::SetAutoCheck(bool on) {
    autoCheckOn_ = on;
    ArmAutoCheck();
}

void TauAutoUpgrader::SetAutoCheckDelay(int milliseconds) {
    autoCheckDelay_ = milliseconds;
    if (autoCheckTimer_.isActive())
        ArmAutoCheck();
}

void TauAutoUpgrader::ArmAutoCheck() {
    autoCheckTimer_.stop();
    if (autoCheckOn_ && autoCheckDelay_ > 0)
        autoCheckTimer_.start(autoCheckDelay_);
}

void TauAutoUpgrader::AutoCheckTimerFired() {
    if (!IsOnline || !IsOnline())
        return; // the timer keeps running: the next tick tries again
    autoCheckTimer_.stop();
    StartCheck(false, true);
}

TauAutoUpgrader::~TauAutoUpgrader() {
    if (wizard_) {
        wizard_->OnCancelConfirmed = nullptr;
        wizard_->OnFinished = nullptr;
    }
    if (checkWait_)
        checkWait_->quit();
    // The temporary folder goes when nothing is left in it (a helper that runs on after the
    // program removes it itself), so no start leaves a folder behind.
    if (TempFolder != AppFolder)
        QDir().rmdir(TempFolder);
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
    return StartCheck(checkOnly, false);
}

bool TauAutoUpgrader::StartCheck(bool checkOnly, bool automatic) {
    checkOnly_ = checkOnly;
    aborted_ = false;
    if (!Busy()) {
        // Only a check that starts is automatic or not: a tick during a check changes nothing.
        autoCheck_ = automatic;
        infoMode_ = true;
        updateAvailable_ = false;
        signatureOf_ = SignatureOf::Nothing;
        http_.MemoryLimit = memoryLimit_;
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
        if (infoMode_ || signatureOf_ != SignatureOf::Nothing)
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
        if (infoMode_ || signatureOf_ != SignatureOf::Nothing)
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
        if (signatureOf_ != SignatureOf::Nothing) {
            const QByteArray body = output ? *output : http_.MemoryOutput();
            QTimer::singleShot(0, this, [this, body] { SignatureArrived(body); });
            return;
        }
        if (infoMode_) {
            const QByteArray body = output ? *output : http_.MemoryOutput();
            QTimer::singleShot(0, this, [this, body] {
                if (!Signed()) {
                    InfoFileArrived(body);
                    return;
                }
                unverifiedInfo_ = body;
                FetchSignature(SignatureOf::InfoFile, InfoFileURL);
            });
            return;
        }
        QTimer::singleShot(0, this, [this] {
            if (Signed() && aborted_)
                return; // cancelled meanwhile: no signature to fetch
            if (Signed())
                FetchSignature(SignatureOf::UpdateFile, currentUrl_);
            else
                FileComplete();
        });
    };
    // Whatever keeps a signature from arriving whole counts as a missing signature.
    const auto noSignature = [this] {
        QTimer::singleShot(0, this, [this] { SignatureArrived(std::nullopt); });
    };
    http_.SkippedHandler = [this, noSignature] {
        if (signatureOf_ != SignatureOf::Nothing)
            noSignature();
        else if (!infoMode_)
            QTimer::singleShot(0, this, [this] { DownloadLoop(false); });
    };
    http_.HTTPErrorHandler = [this, noSignature](int statusCode, const QByteArray*) {
        if (signatureOf_ != SignatureOf::Nothing) {
            noSignature();
            return;
        }
        QTimer::singleShot(0, this, [this, statusCode] {
            if (!infoMode_) {
                LostFile(statusCode);
                return;
            }
            InfoFileUnusable();
        });
    };
    http_.ConnLostHandler = [this, noSignature](const QString&, const QByteArray*, qint64, qint64) {
        if (signatureOf_ != SignatureOf::Nothing)
            noSignature();
        else
            QTimer::singleShot(0, this, [this] { TransferBroken(false); });
    };
    http_.HostUnreachableHandler = [this, noSignature] {
        if (signatureOf_ != SignatureOf::Nothing)
            noSignature();
        else
            QTimer::singleShot(0, this, [this] { TransferBroken(true); });
    };
    // An information file too large to hold is a damaged one. A download that cannot be
    // written whole (no file, a full disk) would leave the wizard waiting for nothing, or the
    // helper installing a short file: the upgrade is cancelled with the reason shown.
    // A signature longer than one is no signature.
    http_.OutputFailedHandler = [this, noSignature](const QString& message) {
        if (signatureOf_ != SignatureOf::Nothing) {
            noSignature();
            return;
        }
        QTimer::singleShot(0, this, [this, message] {
            if (infoMode_) {
                InfoFileUnusable();
                return;
            }
            if (prompts_)
                prompts_->ShowError(message);
            CancelUpgrade();
        });
    };
    http_.PasswordHandler = [this](const QString& realm, bool& retry) {
        PasswordRequested(realm, retry);
    };
}

// Runs while the transfer waits for the answer.
void TauAutoUpgrader::PasswordRequested(const QString& realm, bool& retry) {
    bool tryAgain = false;
    if (OnPasswordRequest)
        OnPasswordRequest(realm, tryAgain);
    if (!tryAgain && (ShowMessages & mPasswordRequest) && prompts_) {
        QString user = http_.HTTPUsername;
        QString password;
        const QString remote = infoMode_ ? InfoFileURL : currentUrl_;
        if (prompts_->AskPassword(PasswordRequestText(remote), user, password)) {
            http_.HTTPUsername = user;
            http_.HTTPPassword = password;
            tryAgain = true;
        } else {
            // Cancel: the transfer ends without an outcome of its own, the upgrade is cancelled.
            http_.StopTransfer(false, false);
            QTimer::singleShot(0, this, [this] { CancelUpgrade(); });
        }
    }
    retry = tryAgain;
}

void TauAutoUpgrader::InfoFileUnusable() {
    infoMode_ = false;
    DecisionDone();
    if (OnNoInfoFile)
        OnNoInfoFile();
    if ((ShowMessages & mNoInfoFile) && prompts_)
        prompts_->ShowError(UpgraderMessages(25));
}

void TauAutoUpgrader::TransferBroken(bool hostUnreachable) {
    const QString url = infoMode_ ? InfoFileURL : currentUrl_;
    // Files that were never verified are not left for a later helper to move into place.
    if (Signed() && !infoMode_ && downloading_)
        DiscardDownloads();
    infoMode_ = false;
    downloading_ = false;
    DecisionDone();
    if (hostUnreachable) {
        const QString host = QUrl(url).host();
        if (OnHostUnreachable)
            OnHostUnreachable(url, host);
        if (autoCheck_)
            ArmAutoCheck(); // silently: the next tick tries again
        else if ((ShowMessages & mHostUnreachable) && prompts_)
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

// The signature of the information file or of the update file just downloaded; its URL is the
// file's own with the suffix. It is held in memory and can be no longer than a signature.
void TauAutoUpgrader::FetchSignature(SignatureOf what, const QString& fileUrl) {
    signatureOf_ = what;
    http_.MemoryLimit = platform::SignatureBytes;
    http_.CacheOptions =
        what == SignatureOf::InfoFile ? CacheOptions | coPragmaNoCache : CacheOptions;
    if (!http_.StartTransfer(fileUrl + QLatin1StringView(SignatureUrlSuffix), QString()))
        SignatureArrived(std::nullopt);
}

void TauAutoUpgrader::SignatureArrived(const std::optional<QByteArray>& signature) {
    const SignatureOf what = std::exchange(signatureOf_, SignatureOf::Nothing);
    http_.MemoryLimit = memoryLimit_;
    if (what == SignatureOf::InfoFile) {
        const QByteArray info = std::exchange(unverifiedInfo_, QByteArray());
        if (signature && platform::VerifySignature(PublicKey, info, *signature))
            InfoFileArrived(info);
        else
            SignatureFailed(InfoFileURL);
    } else if (what == SignatureOf::UpdateFile) {
        // The download as it lies on disk now, which is what the helper will move.
        const std::optional<QByteArray> bytes =
            platform::ReadOwnFile(currentDownload_, SignedFileLimit);
        if (signature && bytes && platform::VerifySignature(PublicKey, *bytes, *signature))
            FileComplete();
        else
            SignatureFailed(currentUrl_);
    }
}

void TauAutoUpgrader::SignatureFailed(const QString& fileUrl) {
    infoMode_ = false;
    DiscardDownloads();
    if (prompts_)
        prompts_->ShowError(SignatureFailedText(fileUrl));
    CancelUpgrade();
}

// Removes every file this upgrade downloaded, wherever its target lies.
void TauAutoUpgrader::DiscardDownloads() {
    for (const QString& path : std::as_const(downloads_))
        QFile::remove(path);
    downloads_.clear();
}

void TauAutoUpgrader::FileComplete() {
    if (lastModified_.isValid()) {
        QFile file(currentDownload_);
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(lastModified_, QFileDevice::FileModificationTime);
    }
    if (OnFileDone)
        OnFileDone(currentDownload_);
    DownloadLoop(false);
}

void TauAutoUpgrader::InfoFileArrived(const QByteArray& body) {
    const UpdateInfo info = ParseUpdateInfo(InfoText(body));
    if (info.Damaged) {
        InfoFileUnusable();
        return;
    }
    infoMode_ = false;
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

// The desktop's handler for web addresses is the user's browser. Only web addresses go there:
// the desktop would open anything else (a local program, a file) as well.
void TauAutoUpgrader::OpenBrowser(const QString& url) {
    const QString full =
        url.contains(QStringLiteral("://")) ? url : QStringLiteral("http://") + url;
    const QString scheme = full.left(full.indexOf(QStringLiteral("://"))).toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        if (prompts_)
            prompts_->ShowError(AddressRefusedText(full));
        if (OnAborted)
            OnAborted();
        return;
    }
    if (shell_)
        shell_->open(full);
}

// Every target lies in the program's folder or the temporary folder; the first that does not
// cancels the upgrade before anything is downloaded.
bool TauAutoUpgrader::TargetsAllowed() {
    const UpgradeFolders folders = CurrentUpgradeFolders(AppFolder, TempFolder);
    for (const QString& entry : files_) {
        const QString target = ResolveFileEntry(entry, folders).Target;
        if (!TargetInsideFolders(target, {AppFolder, TempFolder})) {
            if (prompts_)
                prompts_->ShowError(TargetOutsideText(target));
            CancelUpgrade();
            return false;
        }
    }
    return true;
}

void TauAutoUpgrader::DownloadLoop(bool first) {
    if (first) {
        infoMode_ = false;
        downloading_ = true;
        finished_ = false;
        endPage_ = false;
        index_ = 0;
        downloads_.clear();
        if (!TargetsAllowed())
            return;
        // The helper moves every download it finds in the program's folder: one left by an
        // earlier upgrade was never verified.
        if (Signed())
            DeleteDownloadsInAppFolder();
        if (Wizard.Enabled && wizard_)
            wizard_->Open(Wizard);
    } else {
        ++index_;
    }
    if (aborted_)
        return;
    const int count = static_cast<int>(files_.size());
    if (index_ < count) {
        const UpgradeFolders folders = CurrentUpgradeFolders(AppFolder, TempFolder);
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
        downloads_ << currentDownload_;
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
    signatureOf_ = SignatureOf::Nothing;
    unverifiedInfo_.clear();
    endPage_ = false;
    downloading_ = false;
    infoMode_ = false;
    DecisionDone();
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

    // Only a helper written here, now, is started: whatever else lies under its name (a file
    // of another user, a link) is removed or refused, never run. The same goes for the queue.
    const QString helper = TempFolder + QLatin1StringView(UpgradeHelperFileName);
    const QString queuePath = TempFolder + QLatin1StringView(UpgradeQueueFileName);
    std::optional<QString> failure;
    QFile source(HelperSource);
    if (!source.open(QIODevice::ReadOnly))
        failure = QStringLiteral("Cannot create file \"%1\". %2").arg(helper, source.errorString());
    else
        failure = platform::WriteNewFile(helper, source.readAll(), 0700);
    if (!failure) {
        platform::SetFileAttributes(helper, platform::DosAttribute::Temporary);
        const QString queue = QueueFileText(files_);
        if (!queue.isEmpty())
            failure = platform::WriteNewFile(queuePath, queue.toUtf8(), 0600);
        else
            QFile::remove(queuePath); // a queue of an earlier upgrade must not be applied now
    }

    if (!failure) {
        SpawnRequest request;
        // The exact file: no prefix of a path with blanks can be started in its place.
        request.applicationName = helper;
        request.commandLine =
            HelperCommandLine(helper, ProgramPath, restartParams_, upgradeMethod_);
        request.environment = QProcessEnvironment::systemEnvironment().toStringList();
        request.environment << QLatin1StringView(UpgradeQueueVariable) + QLatin1Char('=') +
                                   queuePath;
        // The helper outlives the program: its own session keeps it out of the program's end.
        request.newSession = true;
        try {
            spawnProcess(request);
        } catch (const OsError& error) {
            failure = error.message();
        }
    }

    // Without its helper the program would close for nothing: it stays, and says why.
    if (failure) {
        QFile::remove(helper);
        if (prompts_)
            prompts_->ShowError(*failure);
        CancelUpgrade();
        return;
    }

    if (OnDoOwnCloseAppMethod)
        OnDoOwnCloseAppMethod();
    else if (CloseApplication)
        CloseApplication();
}
