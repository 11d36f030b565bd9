#include "ui/DesktopShellOpen.h"

#include <QDesktopServices>
#include <QFileInfo>

QUrl ShellOpenUrl(const QString& target) {
    if (QFileInfo(target).isAbsolute())
        return QUrl::fromLocalFile(target);
    return QUrl::fromUserInput(target);
}

void DesktopShellOpen::open(const QString& target) {
    QDesktopServices::openUrl(ShellOpenUrl(target));
}
