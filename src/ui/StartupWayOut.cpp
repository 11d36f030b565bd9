#include "ui/StartupWayOut.h"

#include "game/SteamLibraries.h"
#include "model/SettingNames.h"

#include <QDir>

bool OfferStartupWayOut(const StartupResult& result, SettingsStore& store, Dialogs& dialogs) {
    QString text = result.failureMessage;
    if (!result.failureDetails.isEmpty())
        text += QStringLiteral("\n\n") + result.failureDetails;
    if (result.failure != StartupResult::Failure::GameNotFound) {
        dialogs.showMessage(text);
        return false;
    }
    const QString question =
        text + QStringLiteral("\n\nChoose the game folder now (Steam's \"steamapps/common/"
                              "Half-Life 2\", the one holding episodic/)? It is kept as "
                              "\"Path\" and used at every start.");
    while (dialogs.askYesNo(question)) {
        const QString chosen =
            dialogs.chooseFolder(QStringLiteral("The Half-Life 2 folder (holding episodic/)"));
        if (chosen.isEmpty())
            return false;
        const QString folder = QDir::cleanPath(chosen) + QLatin1Char('/');
        if (QDir::isAbsolutePath(folder) && IsGameFolder(folder)) {
            store.WriteValue(SettingName::GamePath, folder);
            return true;
        }
        dialogs.showMessage(QStringLiteral("\"%1\" is not the game folder: it has no episodic/ "
                                           "beside hl2_linux, hl2.sh or hl2.exe.")
                                .arg(QDir::toNativeSeparators(chosen)));
    }
    return false;
}
