#include "game/FileFinder.h"
#include "game/GameDiscovery.h"

QStringList SearchGameFolders(const QString& root) {
    QStringList folders;
    FileFinder finder;
    finder.Search.FileName = QStringLiteral("hl2.exe");
    finder.Search.Location = root;
    finder.OnMatch = [&folders](const QString& folder, const FoundFile&) {
        folders.append(folder);
    };
    finder.Run();
    return folders;
}
