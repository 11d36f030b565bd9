#include "ui/NewsAndLinks.h"

#include "model/Maker.h"
#include "platform/SuperUser.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QNetworkInformation>
#include <QPluginLoader>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>

void PrepareWebEngine() {
    // Only takes effect before the application object exists.
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (platform::RunningAsSuperUser() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

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

void ShowNews(NewsWindow& news, const QString& programFolder,
              const std::function<bool()>& isOnline) {
    const QUrl address = NewsAddress(isOnline(), programFolder,
                                     [](const QString& page) { return QFileInfo(page).isFile(); });
    if (!address.isEmpty())
        news.Navigate(address);
    news.Window()->show();
}

QPoint NewsPlace(const QRect& mainFrame, const QSize& newsFrame, const QRect& screen) {
    constexpr int gap = 12;
    QPoint place = mainFrame.topRight() + QPoint(gap, 0);
    if (place.x() + newsFrame.width() > screen.right())
        place.setX(std::max(screen.left(), mainFrame.left() - gap - newsFrame.width()));
    return place;
}

NewsHost::NewsHost(QString programFolder, std::function<bool()> isOnline)
    : programFolder_(std::move(programFolder)), isOnline_(std::move(isOnline)) {}

NewsHost::~NewsHost() = default;

void NewsHost::Open(QWidget* mainWindow) {
    if (mainWindow_ || window_)
        return;
    mainWindow_ = mainWindow;
    // Loading the browser holds the user-interface thread for a while: the main window
    // paints itself first.
    mainWindow->installEventFilter(this);
}

bool NewsHost::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mainWindow_ && event->type() == QEvent::Paint && !buildQueued_) {
        buildQueued_ = true;
        mainWindow_->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] { Build(); });
    }
    return QObject::eventFilter(watched, event);
}

void NewsHost::Build() {
    if (!mainWindow_ || window_)
        return;
    const QString plugin = programFolder_ + QLatin1String(NewsPluginFile);
    loader_ = std::make_unique<QPluginLoader>(plugin);
    QObject* root = loader_->instance();
    auto* maker = qobject_cast<NewsWindowMaker*>(root);
    if (!maker) {
        // Without its plugin the program runs on, with no news window.
        loadError_ = QStringLiteral("%1: %2").arg(
            plugin,
            root ? QStringLiteral("not the news plugin of this program") : loader_->errorString());
        std::fprintf(stderr, "Quillon Varnholt: no news window: %s\n", qPrintable(loadError_));
        return;
    }
    window_.reset(maker->MakeNewsWindow());
    QWidget* news = window_->Window();
    const QRect screen = mainWindow_->screen()->availableGeometry();
    news->move(NewsPlace(mainWindow_->frameGeometry(), news->frameGeometry().size(), screen));
    if (seriesRunning_)
        window_->Sleep();
    ShowNews(*window_, programFolder_, isOnline_);
    // The news is beside the work, not in front of it.
    mainWindow_->raise();
    mainWindow_->activateWindow();
}

void NewsHost::SeriesRunning(bool running) {
    seriesRunning_ = running;
    if (!window_)
        return;
    if (running)
        window_->Sleep();
    else
        window_->Wake();
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
