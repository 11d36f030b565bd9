#include "ui/UpdaterHandlers.h"

namespace updater {

void Configure(UpdateChecker& updater, const QString& versionNumber) {
    updater.InfoFileURL = QString::fromLatin1(InfoFileURL);
    updater.CompareBy = VersionComparison::ByNumber;
    updater.VersionNumber = versionNumber;
    updater.VersionDate = QStringLiteral("03/12/2008");
    updater.ShowMessages =
        UpdateMessage::AskUpgrade | UpdateMessage::ConnectionLost | UpdateMessage::LostFile;
    updater.SetRestartParams(QStringLiteral("/afterupgrade"));
    updater.OtherFiles = OtherFilesPolicy::AlwaysDownload;
    // Updates come over plain HTTP: only what the maker's signed manifest lists is used.
    updater.PublicKey = QByteArray::fromBase64(ReleasePublicKey);
    updater.Wizard.Enabled = true;
    updater.Wizard.HideFileLocation = true;
    updater.Wizard.StayOnTop = true;
    // The program's own 118 x 218 picture in the wizard's left panel.
    updater.Wizard.PicturePath = QStringLiteral(":/pictures/wizard.png");
}

void ConnectHandlers(UpdateChecker& updater, Dialogs& dialogs) {
    Dialogs* box = &dialogs;
    const auto aborted = [box] { box->showMessage(QStringLiteral("Update aborted.")); };
    updater.OnAborted = aborted;
    updater.OnLaterUpgrade = aborted;
    updater.OnNoUpdateAvailable = [box] {
        box->showMessage(QStringLiteral("No update available."));
    };
    updater.OnHostUnreachable = [box](const QString&, const QString&) {
        box->showMessage(QStringLiteral("No internet connection."));
    };
}

void CheckForUpdate(UpdateChecker& updater) {
    updater.Proxy().Mode = ProxyMode::Direct;
    updater.RunUpdateCheck(false);
}

} // namespace updater
