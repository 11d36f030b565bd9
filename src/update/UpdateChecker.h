#pragma once

#include "update/HttpClient.h"
#include "update/ReleaseManifest.h"
#include "update/UpdateInfo.h"
#include "update/UpgradePaths.h"
#include "update/UpgraderViews.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

class QEventLoop;
class ShellOpen;

// The message boxes the checker may show on its own.
enum class UpdateMessage : unsigned {
    AskUpgrade = 1u << 0,      // the question whether to upgrade now
    ConnectionLost = 1u << 1,  // a transfer broke off
    HostUnreachable = 1u << 2, // the server could not be reached (not on an automatic check)
    LostFile = 1u << 3,        // an update file is missing on the server
    NoInfoFile = 1u << 4,      // the information file is missing or unusable
    NoUpdate = 1u << 5,        // no newer version (not on an automatic check)
    PasswordRequest = 1u << 6, // the credentials window on a 401
};
Q_DECLARE_FLAGS(UpdateMessages, UpdateMessage)
Q_DECLARE_OPERATORS_FOR_FLAGS(UpdateMessages)

// Whether an update file other than the program itself is fetched when a file of the same
// size is already in its place.
enum class OtherFilesPolicy { AlwaysDownload, OnlyIfSizeDiffers };

struct WizardSettings {
    bool Enabled = true;
    bool HideFileLocation = false;
    QString PicturePath; // a picture file or resource; empty: none
    bool StayOnTop = true;
};

// The online test of the automatic check: the "Remote Connection" value of the remote access
// service equal to 1 decides when it could be read (`remoteConnection`); otherwise the local
// host name must resolve to at least one address and the last one listed must not be
// 127.0.0.1. Pure.
bool OnlineByRule(std::optional<qint32> remoteConnection, const QStringList& hostAddresses);

// The same on this machine: the value from the registry store in `registryDir`, the addresses
// from the resolver.
bool ComputerIsOnline(const QString& registryDir);

// The program's temporary folder: the user's private one, or `appFolder` when none can be had.
QString ProgramTempFolder(const QString& appFolder);

// The update checker: fetches the update information file, decides whether it announces a
// newer version, asks, downloads the files beside their places and hands over to the upgrade
// helper. Every step runs on the owner's thread; the transfers run on the HTTP client's worker.
class UpdateChecker : public QObject {
    Q_OBJECT
public:
    // Deletes a helper left in the temporary folder by the last upgrade.
    explicit UpdateChecker(QObject* parent = nullptr);
    // Once the owner has set the properties and events: fires OnAfterRestart when the first
    // argument after the program's own (`arguments` as the program got them) is RestartParams.
    void ApplyStartArguments(const QStringList& arguments);
    ~UpdateChecker() override;

    QString InfoFileURL = QStringLiteral("http://");
    VersionComparison CompareBy = VersionComparison::ByDate;
    QString VersionNumber;
    QString VersionDate; // MM/DD/YYYY; today when created
    UpdateMessages ShowMessages = UpdateMessage::AskUpgrade | UpdateMessage::ConnectionLost |
                                  UpdateMessage::LostFile | UpdateMessage::PasswordRequest;
    OtherFilesPolicy OtherFiles = OtherFilesPolicy::AlwaysDownload;
    // Of every transfer; the information file and the manifest add PragmaNoCache.
    HttpCacheOptions CacheOptions;
    WizardSettings Wizard;
    // The maker's Ed25519 public key (32 bytes). Set, only the release manifest signed with it
    // (at InfoFileURL + ManifestUrlSuffix, see ReleaseManifest.h) is believed: the information
    // file must be the one it lists, the version it names must be newer, it must not have
    // expired, and every download must have exactly the size and SHA-256 it lists before it
    // counts. Whatever fails cancels the upgrade with a message, and no download that was not
    // verified is left anywhere for the helper. A key of another length fails every check.
    // Empty: no manifest is asked for and the checker works as it always did.
    QByteArray PublicKey;
    // With a key: a download slower than this on average over its window ends as broken off
    // (tests shorten it).
    TransferRateFloor DownloadFloor{1024, 30000};
    HttpProxy& Proxy() { return http_.Proxy; }
    HttpTimeouts& Timeouts() { return http_.Timeouts; }
    // What a time-out of 0 stands for (tests shorten it).
    HttpTimeouts& SystemTimeouts() { return http_.SystemTimeouts; }
    // Credentials for a server that asks for them; the credentials window fills them in.
    QString& HTTPUsername() { return http_.HTTPUsername; }
    QString& HTTPPassword() { return http_.HTTPPassword; }

    // The timer-driven check. Switched on, a timer of AutoCheckDelay milliseconds starts (none
    // for a delay of 0 or less); when it fires and IsOnline() holds, the timer stops and a check
    // runs as an automatic one: it shows no "newer version not found" and no "host
    // unreachable" box, and an unreachable host arms the timer again.
    bool AutoCheck() const { return autoCheckOn_; }
    void SetAutoCheck(bool on);
    int AutoCheckDelay() const { return autoCheckDelay_; }
    void SetAutoCheckDelay(int milliseconds);
    std::function<bool()> IsOnline; // default: ComputerIsOnline(registryDir())

    // An empty value is kept as " ".
    void SetRestartParams(const QString& params);
    const QString& RestartParams() const { return restartParams_; }

    // Where the program lives and what the helper restarts; default: the running executable.
    QString ProgramPath;
    QString AppFolder;  // ends with "/"
    QString TempFolder; // ends with "/"; AppFolder when the temporary folder is missing
    // The helper program's bytes are read from here.
    QString HelperSource = QStringLiteral(":/helper/Upgrader4.exe");

    void SetPrompts(UpgraderPrompts* prompts) { prompts_ = prompts; }
    void SetWizardView(UpgradeWizardView* view);
    void SetShell(ShellOpen* shell) { shell_ = shell; }
    // Closes the program after the helper was started, unless OnCloseInstead is set.
    std::function<void()> CloseApplication;

    // Starts a check (nothing while a transfer of the component runs). With checkOnly it waits,
    // processing events, for the decision, asks nothing and downloads nothing.
    bool RunUpdateCheck(bool checkOnly);

    // Aborts a running upgrade.
    void CancelUpgrade();

    // Events, fired only when set.
    std::function<void(const QString& upgradeMsg, UpgradeMethod method, const QStringList& files,
                       bool& canUpgrade)>
        OnBeginUpgrade;
    std::function<void()> OnLaterUpgrade;
    std::function<void()> OnNoUpdateAvailable;
    std::function<void()> OnNoInfoFile;
    std::function<void(const QString& url, const QString& hostName)> OnHostUnreachable;
    std::function<void()> OnConnectionLost;
    std::function<void()> OnAborted;
    std::function<void(const QString& fileUrl, qint64 fileSize, const QDateTime& fileTime,
                       bool& canUpgrade)>
        OnFileStart;
    std::function<void(const QString& fileUrl, qint64 fileSize, qint64 bytesRead,
                       qint64 elapsedTime, qint64 estimatedTimeLeft, int percentsDone,
                       int totalPercentsDone, float transferRate)>
        OnProgress;
    std::function<void(const QString& fileName)> OnFileDone;
    std::function<void(const QString& fileUrl, int errorCode, bool& continueUpgrade)> OnLostFile;
    std::function<void(bool& restartImmediately)> OnEndUpgrade;
    std::function<void()> OnCloseInstead;
    std::function<void()> OnAfterRestart;
    // The server asked for credentials (401): set `tryAgain` to send the request again with
    // HTTPUsername() and HTTPPassword(). Left false, the credentials window asks when
    // UpdateMessage::PasswordRequest is shown; its Cancel cancels the upgrade.
    std::function<void(const QString& realm, bool& tryAgain)> OnPasswordRequest;

    // State a caller may look at.
    bool UpdateAvailable() const { return updateAvailable_; }
    bool Busy() const { return http_.Active() || downloading_; }
    bool Aborted() const { return aborted_; }
    bool Finished() const { return finished_; }
    const QStringList& Files() const { return files_; }
    // How the information file says the update is applied.
    UpgradeMethod AnnouncedUpgradeMethod() const { return upgradeMethod_; }
    const QString& UpgradeMsg() const { return upgradeMsg_; }

private:
    bool Signed() const { return !PublicKey.isEmpty(); }
    QString ManifestUrl() const { return InfoFileURL + QLatin1StringView(ManifestUrlSuffix); }
    void FetchManifest();
    void ManifestArrived(const std::optional<QByteArray>& text);
    void SignatureFailed(const QString& fileUrl);
    void Refuse(const QString& message);
    void InformationExpired();
    bool ManifestNewer(const ReleaseManifest& manifest) const;
    bool TargetsDistinct();
    void CheckDownload();
    void DiscardDownloads();
    void ListDownloads();
    void RemoveListedDownloads();
    void FileComplete();
    bool StartCheck(bool checkOnly, bool automatic);
    void AutoCheckTimerFired();
    void ArmAutoCheck();
    void PasswordRequested(const QString& realm, bool& retry);
    bool TargetsAllowed();
    void InfoFileUnusable();
    void InstallHandlers();
    void InfoFileArrived(const QByteArray& body, const ReleaseManifest* manifest);
    void DecisionDone();
    void DownloadLoop(bool first);
    void EndPageClosed();
    void FinishUpgrade();
    void LostFile(int statusCode);
    void TransferBroken(bool hostUnreachable);
    void DeleteDownloadsInAppFolder();
    void RestartThroughHelper();
    void OpenBrowser(const QString& url);
    void CloseWizard();
    bool WizardOpen() const { return wizard_ && wizard_->IsOpen(); }

    HttpClient http_;
    QString restartParams_ = QStringLiteral("/afterupgrade");
    UpgraderPrompts* prompts_ = nullptr;
    UpgradeWizardView* wizard_ = nullptr;
    ShellOpen* shell_ = nullptr;

    bool infoMode_ = false;
    bool updateAvailable_ = false;
    bool checkOnly_ = false;
    bool autoCheck_ = false;
    bool aborted_ = false;
    bool finished_ = false;
    bool downloading_ = false; // from acceptance to the end of the upgrade
    bool endPage_ = false;
    QEventLoop* checkWait_ = nullptr;

    QStringList files_;
    QString upgradeMsg_;
    UpgradeMethod upgradeMethod_ = UpgradeMethod::SelfUpgrade;
    int index_ = 0;
    QString currentUrl_;
    QString currentDownload_;
    QString currentTarget_;
    QDateTime lastModified_;

    bool manifestMode_ = false;               // the running transfer fetches the manifest
    QByteArray unverifiedInfo_;               // the information file awaiting the manifest
    std::optional<ReleaseManifest> manifest_; // of the running upgrade, once believed
    QList<QueuedFile> verified_;              // downloads that matched the manifest, in order
    QStringList downloads_;                   // the download paths of this upgrade
    qint64 memoryLimit_ = 0;                  // the client's own, for the information file

    bool autoCheckOn_ = false;
    int autoCheckDelay_ = 10000;
    QTimer autoCheckTimer_;
};
