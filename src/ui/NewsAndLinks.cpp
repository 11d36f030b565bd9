#include "ui/NewsAndLinks.h"

#include "model/Maker.h"
#include "ui/TForm5.h"

#include <QFileInfo>
#include <QNetworkInformation>

QUrl OnlineNewsAddress() {
    return QUrl(QStringLiteral("http://") + QLatin1String(MakerWebHost) +
                QStringLiteral("/benchmarks/news.html"));
}

QString WebAddress(const QString& hostAndPath) {
    return QUrl::fromUserInput(hostAndPath).toString();
}

QUrl NewsAddress(bool online, const QString& programFolder,
                 const std::function<bool(const QString&)>& offlinePageExists) {
    if (online)
        return OnlineNewsAddress();
    const QString page = programFolder + QLatin1String(OfflineNewsFile);
    if (offlinePageExists(page))
        return QUrl::fromLocalFile(page);
    return QUrl();
}

bool SystemIsOnline() {
    // Loaded once; it stays loaded for the program run.
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend())
        return false;
    return QNetworkInformation::instance()->reachability() ==
           QNetworkInformation::Reachability::Online;
}

void ShowNews(TForm5& news, const QString& programFolder, const std::function<bool()>& isOnline) {
    const QUrl address = NewsAddress(isOnline(), programFolder,
                                     [](const QString& page) { return QFileInfo(page).isFile(); });
    if (!address.isEmpty())
        news.Navigate(address);
    news.show();
}

NewsAndLinks::NewsAndLinks(const QString& programFolder, ShellOpen& shell, Dialogs& dialogs)
    : programFolder_(programFolder), shell_(shell), dialogs_(dialogs) {}

void NewsAndLinks::openHomePage() {
    shell_.open(WebAddress(QLatin1String(MakerHomePage)));
}

void NewsAndLinks::openTweakGuide() {
    shell_.open(WebAddress(QLatin1String(TweakGuidePage)));
}

void NewsAndLinks::openHelpFile() {
    const QString help = programFolder_ + QLatin1String(HelpFile);
    if (QFileInfo(help).isFile())
        shell_.open(help);
    else
        dialogs_.showMessage(QLatin1String(HelpFileMissingMessage));
}
