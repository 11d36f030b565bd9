#include "ui/NewsHost.h"

#include "model/Maker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QNetworkInformation>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>

QUrl OnlineNewsAddress() {
    return QUrl(QStringLiteral("http://") + QLatin1String(MakerWebHost) +
                QStringLiteral("/benchmarks/news.html"));
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

QPoint NewsPlace(const QRect& mainFrame, const QSize& newsFrame, const QRect& screen) {
    constexpr int gap = 12;
    QPoint place = mainFrame.topRight() + QPoint(gap, 0);
    if (place.x() + newsFrame.width() > screen.right())
        place.setX(std::max(screen.left(), mainFrame.left() - gap - newsFrame.width()));
    return place;
}

NewsHost::NewsHost(QString programFolder, QString program, std::function<bool()> isOnline)
    : programFolder_(std::move(programFolder)), program_(std::move(program)),
      isOnline_(std::move(isOnline)) {}

NewsHost::~NewsHost() {
    if (!Running())
        return;
    // The program is ending: the news goes with it, on its own when it can.
    process_->disconnect(this);
    process_->write("quit\n");
    process_->closeWriteChannel();
    if (!process_->waitForFinished(quitTimeoutMs))
        process_->kill();
    process_->waitForFinished();
}

void NewsHost::Open(QWidget* mainWindow) {
    if (mainWindow_ || opened_)
        return;
    mainWindow_ = mainWindow;
    // Starting the news takes the machine for a while: the main window paints itself first.
    mainWindow->installEventFilter(this);
}

bool NewsHost::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mainWindow_ && event->type() == QEvent::Paint && !openQueued_) {
        openQueued_ = true;
        mainWindow_->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] {
            if (!mainWindow_)
                return;
            // The first showing: online or offline now, beside the main window as it is now.
            next_.address = NewsAddress(isOnline_(), programFolder_, [](const QString& page) {
                return QFileInfo(page).isFile();
            });
            next_.place = NewsPlace(mainWindow_->frameGeometry(), QSize(520, 500),
                                    mainWindow_->screen()->availableGeometry());
            decided_ = true;
            Start();
        });
    }
    return QObject::eventFilter(watched, event);
}

void NewsHost::Start() {
    // Not while a series runs: the series' end starts it.
    if (!decided_ || seriesRunning_ || closed_ || Running())
        return;
    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process_, &QProcess::readyReadStandardOutput, this, [this] {
        pending_ += process_->readAllStandardOutput();
        qsizetype end;
        while ((end = pending_.indexOf('\n')) >= 0) {
            const QByteArray line = pending_.left(end);
            pending_.remove(0, end + 1);
            Heard(line);
        }
    });
    connect(process_, &QProcess::finished, this, [this] { Ended(); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failure_ = QStringLiteral("%1: %2").arg(program_, process_->errorString());
            std::fprintf(stderr, "Quillon Varnholt: no news window: %s\n", qPrintable(failure_));
            Ended();
        }
    });
    // Only the first showing may bring the news to the front.
    next_.behind = opened_;
    opened_ = true;
    arguments_ = NewsCommandLine(next_);
    pending_.clear();
    process_->start(program_, arguments_);
}

void NewsHost::Stop() {
    if (!Running() || stopping_)
        return;
    stopping_ = true;
    process_->write("quit\n");
    // A news process that does not go in time is ended.
    QTimer::singleShot(quitTimeoutMs, process_, [process = process_] { process->kill(); });
}

void NewsHost::Heard(const QByteArray& line) {
    const QList<QByteArray> words = line.split(' ');
    const QPoint place(words.value(1).toInt(), words.value(2).toInt());
    if (words.value(0) == "shown") {
        const bool first = !shownAt_;
        shownAt_ = place;
        ++showings_;
        if (first && mainWindow_) {
            // The news is beside the work, not in front of it.
            mainWindow_->raise();
            mainWindow_->activateWindow();
        }
    } else if (words.value(0) == "left") {
        next_.place = place;
        next_.minimized = words.value(3) == "1";
    }
}

void NewsHost::Ended() {
    if (!process_)
        return;
    // Gone without being told: closed by the user, or failed.
    if (!stopping_) {
        closed_ = true;
        if (failure_.isEmpty() &&
            (process_->exitStatus() != QProcess::NormalExit || process_->exitCode() != 0))
            failure_ = QStringLiteral("%1: the news window ended with code %2")
                           .arg(program_)
                           .arg(process_->exitCode());
    }
    stopping_ = false;
    process_->disconnect(this);
    process_->deleteLater();
    process_ = nullptr;
    if (!seriesRunning_)
        Start();
}

void NewsHost::SeriesRunning(bool running) {
    seriesRunning_ = running;
    if (running)
        Stop();
    else
        Start();
}

bool NewsHost::Running() const {
    return process_ && process_->state() != QProcess::NotRunning;
}

qint64 NewsHost::ProcessId() const {
    return process_ ? process_->processId() : 0;
}
