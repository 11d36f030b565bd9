#pragma once

#include "platform/Shell.h"

#include <QObject>
#include <QString>
#include <QUrl>

class Dialogs;

// The shell's "open": documents and folders by their path (absolute, or relative to the
// current folder when something is there), web addresses as given (any other text without a
// scheme is taken as a web address). The desktop's opener does the opening; when there is
// none, or it fails, the user is told what could not be opened.
class DesktopShellOpen : public ShellOpen {
public:
    // `opener`: the desktop's opener, looked up on the PATH unless it is a path.
    explicit DesktopShellOpen(Dialogs& dialogs, QString opener = QStringLiteral("xdg-open"));
    void open(const QString& target) override;

private:
    void failed(const QString& shown, const QString& reason);

    Dialogs& dialogs_;
    QString opener_;
    // Receives the openers' ends; gone with this object, so no end reaches a deleted one.
    QObject context_;
};

// The address handed to the desktop for a target.
QUrl ShellOpenUrl(const QString& target);

// The message when a target could not be opened: `shown` is the file's path or the address.
QString ShellOpenFailureText(const QString& shown, const QString& reason);
