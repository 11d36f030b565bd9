#pragma once

#include "ui/NewsProcess.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QProcess;
class QWidget;

// The news page shipped in the program folder, shown when offline.
inline constexpr char OfflineNewsFile[] = "offlinenews.html";

// The maker's news page on its web server.
QUrl OnlineNewsAddress();

// Where the news window goes: the online page when online; offline the shipped page in the
// program folder when `offlinePageExists` says it is there (asked only then), else nowhere
// (an empty address).
QUrl NewsAddress(bool online, const QString& programFolder,
                 const std::function<bool(const QString&)>& offlinePageExists);

// Whether the computer counts as online: the reachability that the network
// information backend reports is "online". No backend, or an unknown state, is offline.
bool SystemIsOnline();

// Where the news window's frame goes: beside the main window's frame, 12 pixels to its right,
// or to its left where the screen has no room on the right (never off the screen's left).
QPoint NewsPlace(const QRect& mainFrame, const QSize& newsFrame, const QRect& screen);

// The news window of a program run, in its own process (ui/NewsProcess.h). The main window's
// first showing opens it: once the main window has painted itself, the host decides online or
// offline, starts the news process with the page and a place beside the main window, and
// brings the main window back to the front once the news shows. While a series runs the news
// process is told to go (the browser engine with it), and afterwards it is started again where
// and as it was. A news window that the user closed, or whose process failed, is not reopened.
class NewsHost : public QObject {
public:
    // `program`: the program's own executable, which runs the news process.
    NewsHost(QString programFolder, QString program,
             std::function<bool()> isOnline = SystemIsOnline);
    ~NewsHost() override;

    // Called when the main window is first shown.
    void Open(QWidget* mainWindow);
    // A series has started (true) or ended (false).
    void SeriesRunning(bool running);

    // The news process runs.
    bool Running() const;
    qint64 ProcessId() const;
    // The arguments of the news process last started; empty before.
    const QStringList& Arguments() const { return arguments_; }
    // Where the news window showed last; nothing before it did.
    std::optional<QPoint> ShownAt() const { return shownAt_; }
    // How often it has shown.
    int Showings() const { return showings_; }
    // Why the news could not be shown; empty otherwise.
    const QString& Failure() const { return failure_; }

    // How long the news process gets to go when told, before it is ended.
    int quitTimeoutMs = 5000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Start();
    void Stop();
    void Heard(const QByteArray& line);
    void Ended();

    QString programFolder_;
    QString program_;
    std::function<bool()> isOnline_;
    QPointer<QWidget> mainWindow_;
    bool openQueued_ = false;
    bool decided_ = false; // the page and the first place are known
    bool opened_ = false;  // started once
    bool closed_ = false;  // closed by the user or failed: not started again
    bool seriesRunning_ = false;
    bool stopping_ = false;
    NewsArguments next_; // for the next start
    QProcess* process_ = nullptr;
    QByteArray pending_;
    QStringList arguments_;
    std::optional<QPoint> shownAt_;
    int showings_ = 0;
    QString failure_;
};
