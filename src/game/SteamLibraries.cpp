#include "game/SteamLibraries.h"

#include "platform/OutsideFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool allDigits(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// The real folder a path names, ending with "/"; empty when it is no folder (missing, a file,
// a loop of links).
QString realFolder(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir())
        return {};
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QString() : withSlash(canonical);
}

// A small regular file read whole; a FIFO or a device is never read, so nothing hangs, and a
// link only to a regular file of the user's (Steam's files kept on another disk). Nothing when
// it is not there; `problem` is set when it is there but cannot be read.
std::optional<KvParse> readKeyValuesFile(const QString& path, QString& problem) {
    const KvLimits limits;
    const platform::OutsideFile file = platform::ReadUsersFile(path, limits.maxBytes);
    if (file.outcome == platform::OutsideFile::Outcome::Missing)
        return std::nullopt;
    if (!file.ok()) {
        problem = KvErrorText(path, {0, file.reason});
        return std::nullopt;
    }
    KvParse parsed = ParseKeyValues(file.bytes, limits);
    if (parsed.error)
        problem = KvErrorText(path, *parsed.error);
    return parsed;
}

} // namespace

SteamPlaces SteamPlacesOfThisMachine() {
    SteamPlaces places;
    places.homeFolder = qEnvironmentVariable("HOME");
    const QStringList path = qEnvironmentVariable("PATH").split(QLatin1Char(':'));
    // A relative entry would make the working folder's "steam" a candidate.
    for (const QString& folder : path) {
        if (QDir::isAbsolutePath(folder))
            places.commandFolders << folder;
    }
    return places;
}

QStringList SteamRootCandidates(const QString& home) {
    if (home.isEmpty())
        return {};
    const QString h = withSlash(home);
    return {
        h + QStringLiteral(".local/share/Steam"),
        h + QStringLiteral(".steam/steam"),
        h + QStringLiteral(".steam/root"),
        h + QStringLiteral(".var/app/com.valvesoftware.Steam/.local/share/Steam"),
        h + QStringLiteral(".var/app/com.valvesoftware.Steam/data/Steam"),
        h + QStringLiteral("snap/steam/common/.local/share/Steam"),
    };
}

QStringList LibraryFoldersIn(const KeyValues& libraryList) {
    QStringList folders;
    const int root = libraryList.FindBlock(-1, QStringLiteral("libraryfolders"));
    if (root < 0)
        return folders;
    for (int child : libraryList.Children(root)) {
        const KvEntry& entry = libraryList.entries[static_cast<size_t>(child)];
        if (!allDigits(entry.key))
            continue; // "TimeNextStatsReport", "contentstatsid"
        if (entry.block) {
            if (const std::optional<QString> path =
                    libraryList.Value(child, QStringLiteral("path")))
                folders << *path;
        } else {
            folders << entry.value;
        }
    }
    return folders;
}

std::optional<QString> InstallDirIn(const KeyValues& manifest) {
    const int root = manifest.FindBlock(-1, QStringLiteral("AppState"));
    if (root < 0)
        return std::nullopt;
    const std::optional<QString> dir = manifest.Value(root, QStringLiteral("installdir"));
    if (!dir || dir->isEmpty() || dir->contains(QLatin1Char('/')) ||
        dir->contains(QLatin1Char('\\')) || *dir == QLatin1String(".") ||
        *dir == QLatin1String(".."))
        return std::nullopt;
    return dir;
}

bool IsGameFolder(const QString& gameFolder) {
    const QString g = withSlash(gameFolder);
    if (!QFileInfo(g + QStringLiteral("episodic")).isDir())
        return false;
    for (const char* exe : {"hl2_linux", "hl2.sh", "hl2.exe"}) {
        if (QFileInfo(g + QLatin1String(exe)).isFile())
            return true;
    }
    return false;
}

QStringList ExistingSteamRoots(const SteamPlaces& places) {
    QStringList roots;
    for (const QString& candidate : SteamRootCandidates(places.homeFolder)) {
        const QString real = realFolder(candidate);
        if (!real.isEmpty() && !roots.contains(real))
            roots << real;
    }
    return roots;
}

QString SteamCommandFor(const QString& root, const QStringList& commandFolders) {
    if (!root.isEmpty() && QFileInfo(withSlash(root) + QStringLiteral("steam.exe")).isFile())
        return {};
    auto runnable = [](const QString& path) {
        const QFileInfo info(path);
        return info.isFile() && info.isExecutable();
    };
    for (const QString& folder : commandFolders) {
        if (!QDir::isAbsolutePath(folder))
            continue;
        const QString steam = withSlash(folder) + QStringLiteral("steam");
        if (runnable(steam))
            return steam;
    }
    if (!root.isEmpty() && runnable(withSlash(root) + QStringLiteral("steam.sh")))
        return withSlash(root) + QStringLiteral("steam.sh");
    return {};
}

TodaysSteam FindTodaysSteam(const SteamPlaces& places) {
    TodaysSteam found;
    const QStringList roots = ExistingSteamRoots(places);
    QStringList seenLibraries;
    for (const QString& root : roots) {
        QStringList libraries;
        QString problem;
        if (const std::optional<KvParse> list =
                readKeyValuesFile(root + QStringLiteral("steamapps/libraryfolders.vdf"), problem);
            list && !list->error)
            libraries = LibraryFoldersIn(list->tree);
        if (!problem.isEmpty())
            found.problems << problem;
        // The root is always a library, listed or not (the older form leaves it out).
        libraries.prepend(root);

        for (const QString& listed : libraries) {
            if (!QDir::isAbsolutePath(listed))
                continue;
            const QString library = realFolder(listed);
            if (library.isEmpty() || seenLibraries.contains(library))
                continue;
            seenLibraries << library;
            const QString apps = library + QStringLiteral("steamapps/");
            QStringList folderNames;
            QString manifestProblem;
            if (const std::optional<KvParse> manifest = readKeyValuesFile(
                    apps + QStringLiteral("appmanifest_%1.acf").arg(QLatin1String(kHalfLife2AppId)),
                    manifestProblem);
                manifest && !manifest->error) {
                if (const std::optional<QString> dir = InstallDirIn(manifest->tree))
                    folderNames << *dir;
            }
            if (!manifestProblem.isEmpty())
                found.problems << manifestProblem;
            if (!folderNames.contains(QLatin1String(kHalfLife2Folder)))
                folderNames << QLatin1String(kHalfLife2Folder);
            for (const QString& name : folderNames) {
                const QString game = apps + QStringLiteral("common/") + name + QLatin1Char('/');
                if (IsGameFolder(game)) {
                    found.root = root;
                    found.gameFolder = game;
                    found.steamCommand = SteamCommandFor(root, places.commandFolders);
                    return found;
                }
            }
        }
    }
    if (!roots.isEmpty()) {
        found.root = roots.first();
        found.steamCommand = SteamCommandFor(found.root, places.commandFolders);
    }
    return found;
}
