#include "ui/DesktopShellOpen.h"

#include <QDesktopServices>
#include <QFileInfo>

QUrl ShellOpenUrl(const QString& target) {
    const QFileInfo file(target);
    // A relative path of something that is there (a results folder given as "results/", say)
    // is a file too, not a host name.
    if (file.isAbsolute() || (!target.isEmpty() && file.exists()))
        return QUrl::fromLocalFile(file.absoluteFilePath());
    return QUrl::fromUserInput(target);
}

void DesktopShellOpen::open(const QString& target) {
    QDesktopServices::openUrl(ShellOpenUrl(target));
}
