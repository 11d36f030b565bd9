#include "game/GameDiscovery.h"
#include "game/TFindFile.h"

QStringList SearchGameFolders(const QString& root) {
    QStringList folders;
    TFindFile finder;
    finder.Criteria.Files.FileName = QStringLiteral("hl2.exe");
    finder.Criteria.Files.Location = root;
    finder.OnFileMatch = [&folders](TFindFile&, const QString& folder, const TFileInfo&) {
        folders.append(folder);
    };
    finder.RunSearch();
    return folders;
}
