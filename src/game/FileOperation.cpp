#include "game/FileOperation.h"

#include "platform/Errors.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFileInfo>
#include <optional>
#include <vector>

namespace {

QString fullPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool hasWildcard(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

// The files a wildcard source names: files only, hidden ones too, letter case ignored.
QStringList expandWildcard(const QString& path) {
    const QFileInfo info(path);
    QDir folder = info.dir();
    QStringList files;
    const QStringList names = folder.entryList(
        QStringList{info.fileName()},
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        files.append(folder.filePath(name));
    return files;
}

QString describe(const platform::FileError& error) {
    return QStringLiteral("%1: %2").arg(error.path, error.reason);
}

} // namespace

FileOperation::FileOperation(Dialogs& dialogs) : dialogs_(dialogs) {}

void FileOperation::Clear() {
    SourceFiles.clear();
    Destinations.clear();
}

bool FileOperation::fail(const QString& action, const QString& message) {
    dialogs_.showMessage(action + QLatin1Char('\n') + message);
    return false;
}

bool FileOperation::Run() {
    if (SourceFiles.join(QString()).isEmpty())
        throw AppError(QStringLiteral("No files specified to TJvSHFileOperation Execute function"));

    // Each source with the destination given for it by position (empty when none). One
    // destination shared by several files is a folder that receives them.
    struct Pair {
        QString source;
        QString dest;
        bool intoFolder;
    };
    std::vector<Pair> pairs;
    const bool shared = SourceFiles.size() > 1 && Destinations.size() == 1;
    for (qsizetype i = 0; i < SourceFiles.size(); ++i) {
        if (SourceFiles.at(i).isEmpty())
            continue; // names nothing
        const QString source = fullPath(SourceFiles.at(i));
        const QString dest = i < Destinations.size()    ? Destinations.at(i)
                             : Destinations.size() == 1 ? Destinations.first()
                                                        : QString();
        if (!hasWildcard(source)) {
            pairs.push_back({source, dest, shared});
            continue;
        }
        const QStringList matches = expandWildcard(source);
        if (matches.isEmpty())
            return fail(QStringLiteral("Cannot find \"%1\".").arg(source),
                        QStringLiteral("No file matches the name."));
        for (const QString& match : matches)
            pairs.push_back({match, dest, true});
    }

    for (const auto& [source, givenDest, intoFolder] : pairs) {
        if (Operation == Kind::Delete) {
            if (const auto error = platform::RemoveFile(source))
                return fail(QStringLiteral("Cannot delete \"%1\".").arg(source), describe(*error));
            continue;
        }

        const QString verb =
            Operation == Kind::Copy ? QStringLiteral("copy") : QStringLiteral("move");
        if (givenDest.isEmpty())
            return fail(QStringLiteral("Cannot %1 \"%2\".").arg(verb, source),
                        QStringLiteral("No destination is given for it."));
        QString dest = fullPath(givenDest);
        if (intoFolder || QFileInfo(dest).isDir() || givenDest.endsWith(QLatin1Char('/')))
            dest = QDir(dest).filePath(QFileInfo(source).fileName());
        const QString action =
            QStringLiteral("Cannot %1 \"%2\" to \"%3\".").arg(verb, source, dest);

        if (const auto error = platform::MakeFolders(QFileInfo(dest).absolutePath()))
            return fail(action, describe(*error));
        if (Operation == Kind::Copy) {
            if (const auto error = platform::CopyFileReplacing(source, dest))
                return fail(action, describe(*error));
            continue;
        }
        std::optional<platform::FileError> error = platform::RenameReplacing(source, dest);
        if (error && error->crossDevice) {
            // Another file system: copy, and drop the source only once the copy is complete.
            error = platform::CopyFileReplacing(source, dest);
            if (!error)
                error = platform::RemoveFile(source);
        }
        if (error)
            return fail(action, describe(*error));
    }
    return true;
}
