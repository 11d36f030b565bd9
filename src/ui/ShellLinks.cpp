#include "ui/ShellLinks.h"

#include "model/Maker.h"

#include <QFileInfo>
#include <QUrl>

QString WebAddress(const QString& hostAndPath) {
    return QUrl::fromUserInput(hostAndPath).toString();
}

ShellLinks::ShellLinks(const QString& programFolder, ShellOpen& shell, Dialogs& dialogs)
    : programFolder_(programFolder), shell_(shell), dialogs_(dialogs) {}

void ShellLinks::openHomePage() {
    shell_.open(WebAddress(QLatin1String(MakerHomePage)));
}

void ShellLinks::openTweakGuide() {
    shell_.open(WebAddress(QLatin1String(TweakGuidePage)));
}

void ShellLinks::openHelpFile() {
    const QString help = programFolder_ + QLatin1String(HelpFile);
    if (QFileInfo(help).isFile())
        shell_.open(help);
    else
        dialogs_.showMessage(QLatin1String(HelpFileMissingMessage));
}
