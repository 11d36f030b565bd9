#pragma once

#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "ui/Links.h"

#include <QString>

// The help file shipped in the program folder.
inline constexpr char HelpFile[] = "Help.pdf";
// The tweak guide for the game, as host and path without a scheme.
inline constexpr char TweakGuidePage[] = "www.pcgamingwiki.com/wiki/Half-Life_2:_Episode_One";
inline constexpr char HelpFileMissingMessage[] =
    "Corrupt Help file, please reinstall the Quillon Varnholt.";

// A web address given without a scheme, as the shell takes it ("http://" added).
QString WebAddress(const QString& hostAndPath);

// The main window's links through the shell; the shell's result is not looked at.
class ShellLinks : public Links {
public:
    ShellLinks(const QString& programFolder, ShellOpen& shell, Dialogs& dialogs);

    void openHomePage() override;
    void openTweakGuide() override;
    // Opens "Help.pdf" in the program folder, or says that it is missing.
    void openHelpFile() override;

private:
    QString programFolder_;
    ShellOpen& shell_;
    Dialogs& dialogs_;
};
