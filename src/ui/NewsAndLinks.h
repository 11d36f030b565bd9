#pragma once

#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "ui/Links.h"

#include <QString>
#include <QUrl>
#include <functional>

class TForm5;

// Files shipped in the program folder.
inline constexpr char OfflineNewsFile[] = "offlinenews.html";
inline constexpr char HelpFile[] = "Help.pdf";
// The tweak guide for the game, as host and path without a scheme.
inline constexpr char TweakGuidePage[] = "www.pcgamingwiki.com/wiki/Half-Life_2:_Episode_One";
inline constexpr char HelpFileMissingMessage[] =
    "Corrupt Help file, please reinstall the Quillon Varnholt.";

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
void ShowNews(TForm5& news, const QString& programFolder,
              const std::function<bool()>& isOnline = SystemIsOnline);

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
