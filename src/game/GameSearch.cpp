#include "game/FileFinder.h"
#include "game/GameDiscovery.h"

QStringList SearchGameFolders(const QString& root) {
    QStringList folders;
    FileFinder finder;
    finder.Criteria.Files.FileName = QStringLiteral("hl2.exe");
    finder.Criteria.Files.Location = root;
    finder.OnMatch = [&folders](FileFinder&, const QString& folder, const FoundFile&) {
        folders.append(folder);
    };
    finder.Run();
    return folders;
}
