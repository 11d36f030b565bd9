#include "update/UpgradePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cmath>
#include <utility>

namespace {

QString AsFolder(const QString& path) {
    if (path.isEmpty())
        return {};
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString UserFolder(QStandardPaths::StandardLocation location) {
    return AsFolder(QStandardPaths::writableLocation(location));
}

} // namespace

UpgradeFolders CurrentUpgradeFolders(const QString& appFolder, const QString& tempFolder) {
    UpgradeFolders folders;
    folders.AppFolder = AsFolder(appFolder);
    folders.TempFolder = tempFolder.isEmpty() ? folders.AppFolder : AsFolder(tempFolder);
    folders.Desktop = UserFolder(QStandardPaths::DesktopLocation);
    folders.MyDocuments = UserFolder(QStandardPaths::DocumentsLocation);
    folders.MyPictures = UserFolder(QStandardPaths::PicturesLocation);
    folders.AppData = UserFolder(QStandardPaths::GenericDataLocation);
    folders.ProgramFiles = QStringLiteral("/opt/");
    folders.System = folders.AppFolder + QStringLiteral("system/");
    return folders;
}

QString ExpandFolderMacros(const QString& text, const UpgradeFolders& folders) {
    const std::pair<const char*, const QString*> macros[] = {
        {"%current%", &folders.AppFolder},
        {"%desktop%", &folders.Desktop},
        {"%mydocuments%", &folders.MyDocuments},
        {"%mypictures%", &folders.MyPictures},
        {"%appdata%", &folders.AppData},
        {"%programfiles%", &folders.ProgramFiles},
        {"%windows%", &folders.Windows},
        {"%system%", &folders.System},
        {"%temp%", &folders.TempFolder},
        {"%help%", &folders.Help},
        {"%media%", &folders.Media},
        {"%cursors%", &folders.Cursors},
    };
    QString out = text;
    for (const auto& [macro, folder] : macros) {
        if (folder->isEmpty())
            continue;
        out.replace(QLatin1StringView(macro), *folder, Qt::CaseInsensitive);
    }
    if (!out.startsWith(QLatin1Char('/')))
        out.prepend(folders.AppFolder);
    return out;
}

FileEntryTarget ResolveFileEntry(const QString& entry, const UpgradeFolders& folders) {
    FileEntryTarget result;
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    if (eq >= 0) {
        result.Url = entry.left(eq);
        result.Named = true;
        // Cleaned once, here: the containment check, the queue and the helper's moves all see
        // the same path, so "%current%/x" or "./x" cannot pass for a file other than "x".
        result.Target = QDir::cleanPath(ExpandFolderMacros(entry.mid(eq + 1), folders));
        result.Entry = result.Url + QLatin1Char('=') + result.Target;
    } else {
        result.Url = entry;
        result.Target = folders.AppFolder + entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
        result.Entry = entry;
    }
    result.DownloadPath = result.Target + QLatin1StringView(DownloadSuffix);
    return result;
}

namespace {

// `path` lies below `folder` (both cleaned, absolute).
bool Below(const QString& path, const QString& folder) {
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.size() > prefix.size() && path.startsWith(prefix);
}

} // namespace

bool TargetInsideFolders(const QString& target, const QStringList& folders) {
    if (!target.startsWith(QLatin1Char('/')))
        return false;
    const QString clean = QDir::cleanPath(target);
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString root = QDir::cleanPath(folder);
        if (!Below(clean, root))
            continue;
        // The deepest folder on the way that exists must really lie within the folder too: a
        // link inside it may lead anywhere.
        QString existing = QFileInfo(clean).path();
        while (!QFileInfo::exists(existing) && Below(existing, root))
            existing = QFileInfo(existing).path();
        const QString realRoot = QFileInfo(root).canonicalFilePath();
        const QString realExisting = QFileInfo(existing).canonicalFilePath();
        if (realRoot.isEmpty() || realExisting.isEmpty())
            continue;
        if (realExisting == realRoot || Below(realExisting, realRoot))
            return true;
    }
    return false;
}

int TotalPercentsDone(int index, int count, int percentsDone) {
    if (count <= 0)
        return 0;
    const int done = static_cast<int>(std::lround(index * 100.0 / count));
    return done + percentsDone / count;
}

QString QueueFileText(const QStringList& entries) {
    QString text;
    for (const QString& entry : entries) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        if (eq >= 0)
            text += entry.mid(eq + 1) + QStringLiteral("\r\n");
    }
    return text;
}

QString VerifiedQueueText(const QList<QueuedFile>& files) {
    QString text = QLatin1StringView(VerifiedQueueFirstLine) + QStringLiteral("\r\n");
    for (const QueuedFile& file : files)
        text += file.Target + QLatin1Char('\t') + QString::fromLatin1(file.Sha256.toHex()) +
                QStringLiteral("\r\n");
    return text;
}

QString HelperCommandLine(const QString& helperPath, const QString& programPath,
                          const QString& restartParams, UpgradeMethod method) {
    return helperPath + QLatin1Char(' ') + programPath + QStringLiteral(" +") + restartParams +
           QString::number(static_cast<int>(method));
}
