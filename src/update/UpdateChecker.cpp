#include "update/UpdateChecker.h"

#include "platform/CheckedFile.h"
#include "platform/Digest.h"
#include "platform/Errors.h"
#include "platform/FileAttributes.h"
#include "platform/NetworkFacts.h"
#include "platform/PrivateFolder.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
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
#include <QSet>
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

UpdateChecker::UpdateChecker(QObject* parent) : QObject(parent) {
    VersionDate = QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
    ProgramPath = QCoreApplication::applicationFilePath();
    AppFolder = AsFolder(QFileInfo(ProgramPath).absolutePath());
    TempFolder = ProgramTempFolder(AppFolder);
    CloseApplication = [] { QCoreApplication::quit(); };
    IsOnline = [] { return ComputerIsOnline(registryDir()); };
    QFile::remove(TempFolder + QLatin1StringView(UpgradeHelperFileName));
    RemoveListedDownloads();
    memoryLimit_ = http_.MemoryLimit;
    autoCheckTimer_.setSingleShot(false);
    connect(&autoCheckTimer_, &QTimer::timeout, this, &UpdateChecker::AutoCheckTimerFired);
    InstallHandlers();
}

void UpdateChecker::ApplyStartArguments(const QStringList& arguments) {
    if (OnAfterRestart && arguments.size() > 1 && arguments.at(1) == restartParams_)
        OnAfterRestart();
}

void UpdateChecker::SetAutoCheck(bool on) {
    autoCheckOn_ = on;
    ArmAutoCheck();
}

void UpdateChecker::SetAutoCheckDelay(int milliseconds) {
    autoCheckDelay_ = milliseconds;
    if (autoCheckTimer_.isActive())
        ArmAutoCheck();
}

void UpdateChecker::ArmAutoCheck() {
    autoCheckTimer_.stop();
    if (autoCheckOn_ && autoCheckDelay_ > 0)
        autoCheckTimer_.start(autoCheckDelay_);
}

void UpdateChecker::AutoCheckTimerFired() {
    if (!IsOnline || !IsOnline())
        return; // the timer keeps running: the next tick tries again
    autoCheckTimer_.stop();
    StartCheck(false, true);
}

UpdateChecker::~UpdateChecker() {
    // Closed during a verified upgrade: nothing downloaded (and so far verified) stays for
    // anyone to move later; the transfer is stopped first so that it writes nothing more.
    if (Signed() && downloading_ && !finished_) {
        http_.StopTransfer(true, true);
        DiscardDownloads();
    }
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

void UpdateChecker::SetRestartParams(const QString& params) {
    restartParams_ = params.isEmpty() ? QStringLiteral(" ") : params;
}

void UpdateChecker::SetWizardView(UpgradeWizardView* view) {
    wizard_ = view;
    if (!wizard_)
        return;
    wizard_->OnCancelConfirmed = [this] { CancelUpgrade(); };
    wizard_->OnFinished = [this] { EndPageClosed(); };
}

bool UpdateChecker::RunUpdateCheck(bool checkOnly) {
    return StartCheck(checkOnly, false);
}

bool UpdateChecker::StartCheck(bool checkOnly, bool automatic) {
    checkOnly_ = checkOnly;
    aborted_ = false;
    if (!Busy()) {
        // Only a check that starts is automatic or not: a tick during a check changes nothing.
        autoCheck_ = automatic;
        infoMode_ = true;
        updateAvailable_ = false;
        manifestMode_ = false;
        manifest_.reset();
        http_.MemoryLimit = memoryLimit_;
        http_.BodyLimit = -1;
        http_.RateFloor = Signed() ? DownloadFloor : TransferRateFloor{};
        http_.CacheOptions = CacheOptions | HttpCacheOption::PragmaNoCache;
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

void UpdateChecker::DecisionDone() {
    if (checkWait_)
        checkWait_->quit();
}

// The client's outcome handlers run while its transfer still counts as active; everything
// that may start another transfer or open a modal box goes to the next turn of the loop.
void UpdateChecker::InstallHandlers() {
    http_.HeaderInfoHandler = [this](const ResponseHead& info, bool& continueTransfer) {
        if (infoMode_ || manifestMode_)
            return;
        lastModified_ = info.LastModified;
        if (WizardOpen())
            wizard_->SetFileSize(FileSizeText(info.ContentLength, QLocale()));
        bool go = continueTransfer;
        if (OtherFiles == OtherFilesPolicy::OnlyIfSizeDiffers && info.ContentLength != 0 &&
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
        if (infoMode_ || manifestMode_)
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
        if (manifestMode_) {
            const QByteArray body = output ? *output : http_.MemoryOutput();
            QTimer::singleShot(0, this, [this, body] { ManifestArrived(body); });
            return;
        }
        if (infoMode_) {
            const QByteArray body = output ? *output : http_.MemoryOutput();
            QTimer::singleShot(0, this, [this, body] {
                if (!Signed()) {
                    InfoFileArrived(body, nullptr);
                    return;
                }
                unverifiedInfo_ = body;
                FetchManifest();
            });
            return;
        }
        QTimer::singleShot(0, this, [this] {
            if (Signed() && aborted_)
                return; // cancelled meanwhile: nothing to check
            if (Signed())
                CheckDownload();
            else
                FileComplete();
        });
    };
    // Whatever keeps the manifest from arriving whole counts as a missing manifest.
    const auto noSignature = [this] {
        QTimer::singleShot(0, this, [this] { ManifestArrived(std::nullopt); });
    };
    http_.SkippedHandler = [this, noSignature] {
        if (manifestMode_)
            noSignature();
        else if (!infoMode_)
            QTimer::singleShot(0, this, [this] { DownloadLoop(false); });
    };
    http_.HttpErrorHandler = [this, noSignature](int statusCode, const QByteArray*) {
        if (manifestMode_) {
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
    http_.ConnectionLostHandler = [this, noSignature](const QString&, const QByteArray*, qint64,
                                                      qint64) {
        if (manifestMode_)
            noSignature();
        else
            QTimer::singleShot(0, this, [this] { TransferBroken(false); });
    };
    http_.HostUnreachableHandler = [this, noSignature] {
        if (manifestMode_)
            noSignature();
        else
            QTimer::singleShot(0, this, [this] { TransferBroken(true); });
    };
    // An information file too large to hold is a damaged one. A download that cannot be
    // written whole (no file, a full disk) would leave the wizard waiting for nothing, or the
    // helper installing a short file: the upgrade is cancelled with the reason shown.
    // A manifest larger than one may be is none; an update file longer than the manifest says
    // is not the maker's.
    http_.OutputFailedHandler = [this, noSignature](const QString& message) {
        if (manifestMode_) {
            noSignature();
            return;
        }
        const bool overLimit = http_.State().OverLimit;
        QTimer::singleShot(0, this, [this, message, overLimit] {
            if (infoMode_) {
                InfoFileUnusable();
                return;
            }
            if (Signed() && overLimit) {
                Refuse(NotReleasedText(currentUrl_));
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
void UpdateChecker::PasswordRequested(const QString& realm, bool& retry) {
    bool tryAgain = false;
    if (OnPasswordRequest)
        OnPasswordRequest(realm, tryAgain);
    if (!tryAgain && (ShowMessages & UpdateMessage::PasswordRequest) && prompts_) {
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

void UpdateChecker::InfoFileUnusable() {
    infoMode_ = false;
    DecisionDone();
    if (OnNoInfoFile)
        OnNoInfoFile();
    if ((ShowMessages & UpdateMessage::NoInfoFile) && prompts_)
        prompts_->ShowError(UpgraderMessages(25));
}

void UpdateChecker::TransferBroken(bool hostUnreachable) {
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
        else if ((ShowMessages & UpdateMessage::HostUnreachable) && prompts_)
            prompts_->ShowError(HostUnreachableText(host));
    } else {
        if (OnConnectionLost)
            OnConnectionLost();
        if ((ShowMessages & UpdateMessage::ConnectionLost) && prompts_)
            prompts_->ShowError(UpgraderMessages(30));
    }
    http_.StopTransfer(false, false);
    CloseWizard();
}

// The release manifest beside the information file, held in memory.
void UpdateChecker::FetchManifest() {
    manifestMode_ = true;
    http_.MemoryLimit = ManifestLimits::Bytes;
    http_.CacheOptions = CacheOptions | HttpCacheOption::PragmaNoCache;
    if (!http_.StartTransfer(ManifestUrl(), QString()))
        ManifestArrived(std::nullopt);
}

// The checker believes the manifest only: signed with the maker's key, not expired, naming
// the information file that came by its size and digest, and every entry of it in order.
void UpdateChecker::ManifestArrived(const std::optional<QByteArray>& text) {
    manifestMode_ = false;
    http_.MemoryLimit = memoryLimit_;
    const QByteArray info = std::exchange(unverifiedInfo_, QByteArray());
    if (!text) {
        SignatureFailed(ManifestUrl());
        return;
    }
    const ParsedManifest parsed = ParseManifest(*text, PublicKey);
    switch (parsed.Problem) {
    case ManifestProblem::None:
        break;
    case ManifestProblem::TargetTwice:
        Refuse(TargetTwiceText(ManifestUrl()));
        return;
    case ManifestProblem::Malformed:
    case ManifestProblem::BadSignature:
        SignatureFailed(ManifestUrl());
        return;
    }
    const ReleaseManifest& manifest = parsed.Manifest;
    // An old manifest replayed for ever would keep every newer release away unseen.
    if (ManifestExpired(manifest, QDateTime::currentDateTimeUtc().date())) {
        InformationExpired();
        return;
    }
    const UpdateInfo parsedInfo = ParseUpdateInfo(InfoText(info));
    QStringList entries;
    for (const ManifestFile& file : manifest.Files)
        entries << file.Entry;
    if (info.size() != manifest.InfoSize || platform::Sha256(info) != manifest.InfoSha256 ||
        parsedInfo.Damaged || parsedInfo.Files != entries ||
        parsedInfo.InfoVersion != manifest.Version) {
        Refuse(NotReleasedText(InfoFileURL));
        return;
    }
    manifest_ = manifest;
    InfoFileArrived(info, &*manifest_);
}

bool UpdateChecker::ManifestNewer(const ReleaseManifest& manifest) const {
    if (CompareBy == VersionComparison::ByNumber)
        return CompareVersionText(manifest.Version, VersionNumber) > 0;
    const QDate today = QDate::currentDate();
    return ParseInfoDate(VersionDate, today) < manifest.Released;
}

void UpdateChecker::SignatureFailed(const QString& fileUrl) {
    Refuse(SignatureFailedText(fileUrl));
}

void UpdateChecker::Refuse(const QString& message) {
    infoMode_ = false;
    DiscardDownloads();
    if (prompts_)
        prompts_->ShowError(message);
    CancelUpgrade();
}

// Said plainly, also in an automatic check: "no update" would be the attacker's word.
void UpdateChecker::InformationExpired() {
    infoMode_ = false;
    updateAvailable_ = false;
    DecisionDone();
    if (prompts_)
        prompts_->ShowError(UpdateInfoExpiredText());
}

// The download as it lies on disk now, which is what the helper will move: exactly the size
// and digest the manifest lists for this entry.
void UpdateChecker::CheckDownload() {
    const ManifestFile& listed = manifest_->Files.at(index_);
    qint64 size = -1;
    const std::optional<QByteArray> digest =
        platform::Sha256OfOwnFile(currentDownload_, listed.Size, &size);
    if (!digest || size != listed.Size || *digest != listed.Sha256) {
        Refuse(NotReleasedText(currentUrl_));
        return;
    }
    verified_ << QueuedFile{QDir::cleanPath(currentTarget_), listed.Sha256};
    FileComplete();
}

// Removes every file this upgrade downloaded, wherever its target lies.
void UpdateChecker::DiscardDownloads() {
    for (const QString& path : std::as_const(downloads_))
        QFile::remove(path);
    downloads_.clear();
}

// Every path this upgrade may download to, before the first byte: whatever ends the program
// before the downloads are moved or removed, the next start removes them.
void UpdateChecker::ListDownloads() {
    const UpgradeFolders folders = CurrentUpgradeFolders(AppFolder, TempFolder);
    QByteArray list;
    for (const QString& entry : std::as_const(files_))
        list += ResolveFileEntry(entry, folders).DownloadPath.toUtf8() + '\n';
    platform::WriteNewFile(TempFolder + QLatin1StringView(DownloadListFileName), list, 0600);
}

void UpdateChecker::RemoveListedDownloads() {
    const QString listPath = TempFolder + QLatin1StringView(DownloadListFileName);
    if (const std::optional<QByteArray> list =
            platform::ReadOwnFile(listPath, qint64(InfoFileLimits::Files + 1) * 4 * 8192)) {
        for (const QByteArray& line : list->split('\n')) {
            const QString path = QString::fromUtf8(line);
            if (path.startsWith(QLatin1Char('/')) &&
                path.endsWith(QLatin1StringView(DownloadSuffix)))
                QFile::remove(path);
        }
    }
    QFile::remove(listPath);
}

void UpdateChecker::FileComplete() {
    if (lastModified_.isValid()) {
        QFile file(currentDownload_);
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(lastModified_, QFileDevice::FileModificationTime);
    }
    if (OnFileDone)
        OnFileDone(currentDownload_);
    DownloadLoop(false);
}

void UpdateChecker::InfoFileArrived(const QByteArray& body, const ReleaseManifest* manifest) {
    const UpdateInfo info = ParseUpdateInfo(InfoText(body));
    if (info.Damaged) {
        InfoFileUnusable();
        return;
    }
    infoMode_ = false;
    files_ = info.Files;
    const VersionCheck check{CompareBy, VersionNumber, VersionDate, QDate::currentDate()};
    updateAvailable_ = ::UpdateAvailable(info, check);
    // A verified release is newer by the manifest's word, or it is no update (a rollback).
    if (manifest && !ManifestNewer(*manifest))
        updateAvailable_ = false;
    if (!updateAvailable_) {
        DecisionDone();
        if (OnNoUpdateAvailable)
            OnNoUpdateAvailable();
        if (!autoCheck_ && (ShowMessages & UpdateMessage::NoUpdate) && prompts_)
            prompts_->ShowInformation(UpgraderMessages(24));
        return;
    }
    upgradeMsg_ = info.UpgradeMsg;
    upgradeMethod_ = info.Method;
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
        ((ShowMessages & UpdateMessage::AskUpgrade) &&
         !(prompts_ && prompts_->AskUpgrade(AskUpgradeText(Title(), upgradeMsg_))))) {
        if (OnLaterUpgrade)
            OnLaterUpgrade();
        return;
    }
    if (upgradeMethod_ == UpgradeMethod::RedirectToUrl) {
        OpenBrowser(files_.first());
        return;
    }
    DownloadLoop(true);
}

// The desktop's handler for web addresses is the user's browser. Only web addresses go there:
// the desktop would open anything else (a local program, a file) as well.
void UpdateChecker::OpenBrowser(const QString& url) {
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

// Two entries of a verified release that land on one file would have the helper move one
// download twice, or the second over the first: the release is refused before any download.
bool UpdateChecker::TargetsDistinct() {
    const UpgradeFolders folders = CurrentUpgradeFolders(AppFolder, TempFolder);
    QSet<QString> seen;
    for (const QString& entry : std::as_const(files_)) {
        const QString target = QDir::cleanPath(ResolveFileEntry(entry, folders).Target);
        if (seen.contains(target)) {
            Refuse(TargetTwiceText(ManifestUrl()));
            return false;
        }
        seen.insert(target);
    }
    return true;
}

// Every target lies in the program's folder or the temporary folder; the first that does not
// cancels the upgrade before anything is downloaded.
bool UpdateChecker::TargetsAllowed() {
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

void UpdateChecker::DownloadLoop(bool first) {
    if (first) {
        infoMode_ = false;
        downloading_ = true;
        finished_ = false;
        endPage_ = false;
        index_ = 0;
        downloads_.clear();
        verified_.clear();
        if (!TargetsAllowed() || (Signed() && !TargetsDistinct()))
            return;
        // The helper moves every download it finds in the program's folder: one left by an
        // earlier upgrade was never verified.
        if (Signed()) {
            DeleteDownloadsInAppFolder();
            ListDownloads();
        }
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
        // Not a byte more than the manifest lists is read, and no slower than the floor.
        http_.BodyLimit = Signed() ? manifest_->Files.at(index_).Size : -1;
        http_.RateFloor = Signed() ? DownloadFloor : TransferRateFloor{};
        // Hidden and temporary until the helper puts the file in its place.
        namespace dos = platform::DosAttribute;
        http_.IncompleteFileAttributes = dos::Hidden | dos::Temporary;
        http_.CompleteFileAttributes = dos::Archive | dos::Hidden | dos::Temporary;
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

void UpdateChecker::EndPageClosed() {
    if (!endPage_ || aborted_)
        return;
    endPage_ = false;
    FinishUpgrade();
}

void UpdateChecker::FinishUpgrade() {
    finished_ = true;
    downloading_ = false;
    bool restart = true;
    if (OnEndUpgrade)
        OnEndUpgrade(restart);
    if (restart)
        RestartThroughHelper();
}

void UpdateChecker::LostFile(int statusCode) {
    bool continueUpgrade = false;
    if (OnLostFile)
        OnLostFile(currentUrl_, statusCode, continueUpgrade);
    if (ShowMessages & UpdateMessage::LostFile)
        continueUpgrade = prompts_ && prompts_->AskYesNoWarning(LostFileCaption(statusCode),
                                                                LostFileText(currentUrl_));
    if (continueUpgrade) {
        // Left out: in a verified upgrade it is not in the queue, and nothing is left under
        // its download name either.
        if (Signed())
            QFile::remove(currentDownload_);
        DownloadLoop(false);
    } else {
        CancelUpgrade();
    }
}

void UpdateChecker::CancelUpgrade() {
    aborted_ = true;
    manifestMode_ = false;
    unverifiedInfo_.clear();
    endPage_ = false;
    const bool wasDownloading = std::exchange(downloading_, false);
    infoMode_ = false;
    DecisionDone();
    // A verified upgrade keeps no partial file, in any folder: the stopped transfer deletes its
    // own, and every earlier download goes now.
    http_.StopTransfer(Signed(), false);
    CloseWizard();
    if (Signed() && wasDownloading)
        DiscardDownloads();
    DeleteDownloadsInAppFolder();
    if (OnAborted)
        OnAborted();
}

void UpdateChecker::CloseWizard() {
    if (WizardOpen())
        wizard_->Close();
}

void UpdateChecker::DeleteDownloadsInAppFolder() {
    QDir folder(AppFolder);
    const QStringList found =
        folder.entryList({QStringLiteral("*") + QLatin1StringView(DownloadSuffix)},
                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : found)
        folder.remove(name);
}

void UpdateChecker::RestartThroughHelper() {
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
        const QString queue = Signed() ? VerifiedQueueText(verified_) : QueueFileText(files_);
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

    if (OnCloseInstead)
        OnCloseInstead();
    else if (CloseApplication)
        CloseApplication();
}
