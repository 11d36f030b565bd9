#pragma once

#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "ui/Links.h"
#include "ui/NewsWindow.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QPluginLoader;
class QWidget;

// Files shipped in the program folder.
inline constexpr char OfflineNewsFile[] = "offlinenews.html";
inline constexpr char HelpFile[] = "Help.pdf";
// The tweak guide for the game, as host and path without a scheme.
inline constexpr char TweakGuidePage[] = "www.pcgamingwiki.com/wiki/Half-Life_2:_Episode_One";
inline constexpr char HelpFileMissingMessage[] =
    "Corrupt Help file, please reinstall the Quillon Varnholt.";
// The news window's browser, a plugin in the program folder.
inline constexpr char NewsPluginFile[] = "newswindow.so";

// Settings the browser engine needs before the QApplication exists: the shared graphics
// contexts it renders with, and (as the super-user, where its sandbox refuses to start) the
// sandbox switched off. A sandbox setting already in the environment is left alone. Called
// later (tests), it still settles the sandbox before the first browser starts. Touches
// nothing of the engine itself.
void PrepareWebEngine();

// The maker's news page on its web server.
QUrl OnlineNewsAddress();

// A web address given without a scheme, as the shell takes it ("http://" added).
QString WebAddress(const QString& hostAndPath);

// Where the news window goes: the online page when online; offline the shipped page in the
// program folder when `offlinePageExists` says it is there (asked only then), else nowhere
// (an empty address).
QUrl NewsAddress(bool online, const QString& programFolder,
                 const std::function<bool(const QString&)>& offlinePageExists);

// Whether the computer counts as online: the reachability that the network
// information backend reports is "online". No backend, or an unknown state, is offline.
bool SystemIsOnline();

// Shown once, when the main window is first shown: lets the news window's browser go to the
// news page for the online state `isOnline` gives and shows the window, not modally, in every
// case (it may stay empty).
void ShowNews(NewsWindow& news, const QString& programFolder,
              const std::function<bool()>& isOnline = SystemIsOnline);

// Where the news window's frame goes: beside the main window's frame, 12 pixels to its right,
// or to its left where the screen has no room on the right (never off the screen's left).
QPoint NewsPlace(const QRect& mainFrame, const QSize& newsFrame, const QRect& screen);

// The news window of a program run. The main window's first showing opens it: once the main
// window has painted itself, the plugin is loaded from the program folder, the window is made,
// placed beside the main window and shown with the news, and the main window stays in front.
// While a series runs the browser sleeps. The window lives as long as the host.
class NewsHost : public QObject {
public:
    explicit NewsHost(QString programFolder, std::function<bool()> isOnline = SystemIsOnline);
    ~NewsHost() override;

    // Called when the main window is first shown.
    void Open(QWidget* mainWindow);
    // A series has started (true) or ended (false).
    void SeriesRunning(bool running);

    // The news window; none before it is made, or when the plugin could not be loaded.
    NewsWindow* Window() const { return window_.get(); }
    // Why the plugin could not be loaded; empty otherwise.
    const QString& LoadError() const { return loadError_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();

    QString programFolder_;
    std::function<bool()> isOnline_;
    QPointer<QWidget> mainWindow_;
    bool buildQueued_ = false;
    bool seriesRunning_ = false;
    // Kept loaded for the program run: the window's code lives in it.
    std::unique_ptr<QPluginLoader> loader_;
    std::unique_ptr<NewsWindow> window_;
    QString loadError_;
};

// The main window's links through the shell; the shell's result is not looked at.
class NewsAndLinks : public Links {
public:
    NewsAndLinks(const QString& programFolder, ShellOpen& shell, Dialogs& dialogs);

    void openHomePage() override;
    void openTweakGuide() override;
    // Opens "Help.pdf" in the program folder, or says that it is missing.
    void openHelpFile() override;

private:
    QString programFolder_;
    ShellOpen& shell_;
    Dialogs& dialogs_;
};
