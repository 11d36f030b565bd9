#include "game/GameDiscovery.h"

#include "game/ProgramFolder.h"
#include "model/SettingNames.h"
#include "platform/UserIdentity.h"

#include <QDir>

QString SteamKeyPath() {
    return QStringLiteral("\\Software\\Valve\\Steam");
}

bool SteamKeyPresent(const QString& registryDirectory) {
    return Registry(RegRoot::CurrentUser, registryDirectory).keyExists(SteamKeyPath());
}

bool SteamInstalled(const QString& registryDirectory, const SteamPlaces& places) {
    return SteamKeyPresent(registryDirectory) || !ExistingSteamRoots(places).isEmpty();
}

QString BaseFromMatchFolder(const QString& folder) {
    const QString trimmed = folder.left(folder.size() - 1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : trimmed.left(slash + 1);
}

QString CfgFolderOf(const QString& gameBase) {
    return gameBase + QStringLiteral("half-life 2 episode one/episodic/cfg/");
}

QString EpisodicFolderOf(const QString& gameBase) {
    return gameBase + QStringLiteral("half-life 2 episode one/episodic/");
}

namespace {

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Today's layout: the game folder holds the mod folder itself.
GamePaths takeGameFolder(GamePaths paths, const QString& gameFolder) {
    paths.GameBase = gameFolder;
    paths.EpisodicFolder = gameFolder + QStringLiteral("episodic/");
    paths.CfgFolder = gameFolder + QStringLiteral("episodic/cfg/");
    return paths;
}

} // namespace

QString GameFolderStoredByHand(const SettingsStore& store) {
    const QString byHand = store.ReadValue(SettingName::GamePath);
    if (!QDir::isAbsolutePath(byHand) || !IsGameFolder(byHand))
        return {};
    return withSlash(byHand);
}

GamePaths DiscoverGame(GamePaths paths, SettingsStore& store, const GameSearch& search,
                       const QString& registryDirectory, const SteamPlaces& places,
                       QStringList* problems) {
    paths.SteamFolder.clear();
    paths.GameBase.clear();
    paths.SteamCommand.clear();
    Registry steam(RegRoot::CurrentUser, registryDirectory);
    if (steam.openKey(SteamKeyPath(), false) && steam.valueExists(QStringLiteral("SteamPath"))) {
        paths.SteamFolder = steam.readString(QStringLiteral("SteamPath")) + QLatin1Char('/');
        for (const QString& folder : search(paths.SteamFolder))
            paths.GameBase = BaseFromMatchFolder(folder);
    }

    if (paths.GameBase.isEmpty()) {
        const TodaysSteam today =
            places.homeFolder.isEmpty() ? TodaysSteam{} : FindTodaysSteam(places);
        if (problems)
            *problems << today.problems;
        QString gameFolder = today.gameFolder;
        if (gameFolder.isEmpty())
            gameFolder = GameFolderStoredByHand(store);
        if (!gameFolder.isEmpty()) {
            paths = takeGameFolder(paths, gameFolder);
            if (!today.root.isEmpty() || paths.SteamFolder.isEmpty())
                paths.SteamFolder = today.root;
            // Found in today's layout: its root's command is known already.
            paths.SteamCommand = !today.gameFolder.isEmpty()
                                     ? today.steamCommand
                                     : SteamCommandFor(paths.SteamFolder, places.commandFolders);
            store.WriteValue(SettingName::GamePath, paths.GameBase);
            return paths;
        }
        if (paths.SteamFolder.isEmpty() && !today.root.isEmpty()) {
            // No game, but a client the "Run now?" question can start.
            paths.SteamFolder = today.root;
            paths.SteamCommand = today.steamCommand;
        }
    }

    store.WriteValue(SettingName::GamePath, paths.GameBase);
    paths.CfgFolder = CfgFolderOf(paths.GameBase);
    paths.EpisodicFolder = EpisodicFolderOf(paths.GameBase);
    return paths;
}

QString FormatSid(unsigned revision, const unsigned char (&authority)[6],
                  const std::vector<unsigned>& subAuthorities) {
    QString text = QStringLiteral("S-%1-").arg(revision);
    if (authority[0] != 0 || authority[1] != 0) {
        text += QStringLiteral("0x");
        for (unsigned char byte : authority)
            text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
    } else {
        const unsigned value = (unsigned(authority[2]) << 24) | (unsigned(authority[3]) << 16) |
                               (unsigned(authority[4]) << 8) | unsigned(authority[5]);
        text += QString::number(value);
    }
    for (unsigned sub : subAuthorities)
        text += QStringLiteral("-%1").arg(sub);
    return text;
}

QString CurrentUserSidText() {
    // The usual identifier of a Unix user: authority 22, sub-authorities 1 and the uid.
    const unsigned char authority[6] = {0, 0, 0, 0, 0, 22};
    return FormatSid(1, authority, {1u, currentUserId()});
}

QString GameSettingsKey(const QString& userSid) {
    return QLatin1Char('\\') + userSid +
           QStringLiteral("\\Software\\Valve\\Source\\episodic\\Settings");
}

void EnsureBenchmarkFolder(const QString& programFolder) {
    QDir().mkpath(WritableFolder(programFolder) + QStringLiteral("Benchmark/"));
}
