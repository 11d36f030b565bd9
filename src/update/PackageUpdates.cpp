#include "update/PackageUpdates.h"

std::function<void()> UpdateCheckAction(bool packaged, Dialogs& dialogs,
                                        std::function<void()> check) {
    if (!packaged)
        return check;
    Dialogs* box = &dialogs;
    return [box] { box->showMessage(QString::fromLatin1(PackageUpdatesText)); };
}
