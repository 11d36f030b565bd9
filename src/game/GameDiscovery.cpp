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

} // namespace

QString GameFolderStoredByHand(const SettingsStore& store) {
    const QString byHand = store.ReadValue(SettingName::GamePath);
    if (!QDir::isAbsolutePath(byHand) || !IsGameFolder(byHand))
        return {};
    return withSlash(byHand);
}

GameFound FindThroughSteamKey(const QString& registryDirectory, const GameSearch& search) {
    GameFound found;
    Registry steam(RegRoot::CurrentUser, registryDirectory);
    if (!steam.openKey(SteamKeyPath(), false) || !steam.valueExists(QStringLiteral("SteamPath")))
        return found;
    found.steamFolder = steam.readString(QStringLiteral("SteamPath")) + QLatin1Char('/');
    for (const QString& folder : search(found.steamFolder))
        found.gameBase = BaseFromMatchFolder(folder);
    return found;
}

GameFound FindInTodaysSteam(const SteamPlaces& places) {
    TodaysSteam today = FindTodaysSteam(places);
    GameFound found;
    found.gameBase = today.gameFolder;
    found.episodicInBase = true;
    found.steamFolder = today.root;
    found.steamCommand = today.steamCommand;
    found.problems = std::move(today.problems);
    return found;
}

GameFound FindStoredGameFolder(const SettingsStore& store, const QString& steamFolder,
                               const QStringList& commandFolders) {
    GameFound found;
    found.gameBase = GameFolderStoredByHand(store);
    found.episodicInBase = true;
    found.steamFolder = steamFolder;
    if (found.found())
        found.steamCommand = SteamCommandFor(steamFolder, commandFolders);
    return found;
}

namespace {

// The first way that finds the game, in the fixed order; each later one is tried only when
// the earlier ones found nothing.
GameFound findGame(SettingsStore& store, const GameSearch& search, const QString& registryDirectory,
                   const SteamPlaces& places, QStringList& problems) {
    const GameFound throughKey = FindThroughSteamKey(registryDirectory, search);
    if (throughKey.found())
        return throughKey;
    GameFound today = FindInTodaysSteam(places);
    problems << today.problems;
    if (today.found())
        return today;
    const GameFound byHand = FindStoredGameFolder(
        store, today.steamFolder.isEmpty() ? throughKey.steamFolder : today.steamFolder,
        places.commandFolders);
    if (byHand.found())
        return byHand;
    // No game; the client still counts.
    return throughKey.steamFolder.isEmpty() ? today : throughKey;
}

} // namespace

GamePaths DiscoverGame(GamePaths paths, SettingsStore& store, const GameSearch& search,
                       const QString& registryDirectory, const SteamPlaces& places,
                       QStringList* problems) {
    QStringList met;
    const GameFound found = findGame(store, search, registryDirectory, places, met);
    if (problems)
        *problems << met;
    paths.SteamFolder = found.steamFolder;
    paths.SteamCommand = found.steamCommand;
    paths.GameBase = found.gameBase;
    store.WriteValue(SettingName::GamePath, paths.GameBase);
    if (found.found() && found.episodicInBase) {
        paths.EpisodicFolder = paths.GameBase + QStringLiteral("episodic/");
        paths.CfgFolder = paths.GameBase + QStringLiteral("episodic/cfg/");
    } else {
        paths.CfgFolder = CfgFolderOf(paths.GameBase);
        paths.EpisodicFolder = EpisodicFolderOf(paths.GameBase);
    }
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
