#pragma once

#include "platform/Shell.h"

#include <QUrl>

// The shell's "open": documents and folders by their path (absolute, or relative to the
// current folder when something is there), web addresses as given (any other text without a
// scheme is taken as a web address).
class DesktopShellOpen : public ShellOpen {
public:
    void open(const QString& target) override;
};

// The address handed to the desktop for a target.
QUrl ShellOpenUrl(const QString& target);
